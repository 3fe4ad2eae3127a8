#include "support/fake_dialogs.h"

#include <QDialog>
#include <QFileDialog>
#include <QStringList>

TDialogs::TAnswer TFakeDialogs::confirm(QWidget*, const QString& text) {
    return answer("confirm", text);
}

TDialogs::TAnswer TFakeDialogs::confirmWithoutEscape(QWidget*, const QString& text) {
    return answer("question", text);
}

TDialogs::TAnswer TFakeDialogs::answer(const QString& kind, const QString& text) {
    shown.push_back({kind, text});
    if (confirmAnswers.empty()) {
        ++unansweredConfirms;
        return TAnswer::No;
    }
    const TAnswer answer = confirmAnswers.front();
    confirmAnswers.pop_front();
    return answer;
}

void TFakeDialogs::information(QWidget*, const QString& text) {
    shown.push_back({"information", text});
}

void TFakeDialogs::warning(QWidget*, const QString& text) {
    shown.push_back({"warning", text});
}

void TFakeDialogs::error(QWidget* parent, const QString& text) {
    shown.push_back({"error", text});
    if (onError)
        onError(parent, text);
}

bool TFakeDialogs::execFileDialog(QFileDialog& dialog) {
    return onFileDialog ? onFileDialog(dialog) : false;
}

int TFakeDialogs::execModal(QDialog& dialog) {
    return onModal ? onModal(dialog) : QDialog::Rejected;
}

void TFakeDialogs::showProgress(QDialog& dialog) {
    ++progressShown;
    TDialogs::showProgress(dialog);
    if (onProgress)
        onProgress(dialog);
}

QStringList TFakeDialogs::texts(const QString& kind) const {
    QStringList out;
    for (const TShown& s : shown) {
        if (s.kind == kind)
            out << s.text;
    }
    return out;
}
