#pragma once

#include <QString>

#include <deque>
#include <functional>
#include <vector>

#include "ui/dialogs.h"

// Answers the main window's modal questions from a script and records what was shown, so a
// test can both drive a command and check every message it produced.
class TFakeDialogs : public TDialogs {
public:
    struct TShown {
        // "confirm", "question" (a confirmation that Esc does not answer), "information",
        // "warning" or "error"
        QString kind;
        QString text;
    };

    // What was shown, in order.
    std::vector<TShown> shown;
    // Answers for the coming confirmations and questions, in order; when it runs dry the answer is
    // No and unansweredConfirms counts the surprise.
    std::deque<TAnswer> confirmAnswers;
    int unansweredConfirms = 0;
    // Decides a file dialog (set the selected file and return true to accept); default cancels.
    std::function<bool(QFileDialog&)> onFileDialog;
    // Decides a modal window (fill it in and return QDialog::Accepted); default rejects.
    std::function<int(QDialog&)> onModal;
    // Called as each error box is shown (after it is recorded), with the box's parent.
    std::function<void(QWidget* parent, const QString& text)> onError;
    // Progress windows put up, and what to do when one comes up (it is shown first).
    int progressShown = 0;
    std::function<void(QDialog&)> onProgress;
    // A task updates its progress window at every step unless a test asks for another pace.
    int progressIntervalMs = 0;

    TAnswer confirm(QWidget* parent, const QString& text) override;
    TAnswer confirmWithoutEscape(QWidget* parent, const QString& text) override;
    void information(QWidget* parent, const QString& text) override;
    void warning(QWidget* parent, const QString& text) override;
    void error(QWidget* parent, const QString& text) override;
    bool execFileDialog(QFileDialog& dialog) override;
    int execModal(QDialog& dialog) override;
    void showProgress(QDialog& dialog) override;
    int progressInterval() const override { return progressIntervalMs; }

    // Texts shown of one kind, in order.
    QStringList texts(const QString& kind) const;
    void clear() { shown.clear(); }

private:
    // Records the box and takes the next scripted answer.
    TAnswer answer(const QString& kind, const QString& text);
};
