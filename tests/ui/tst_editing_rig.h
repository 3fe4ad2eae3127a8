#pragma once
// A main window over a temporary program folder, with every modal question answered by a
// TFakeDialogs script. Shared by the editing, exit and property tests.

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QListView>
#include <QString>
#include <QStringList>
#include <QTabBar>
#include <QTemporaryDir>

#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/reg_setup.h"
#include "dictionary/dictionary.h"
#include "platform/codepage.h"
#include "support/fake_dialogs.h"
#include "ui/main_form.h"
#include "ui/word_form.h"

namespace rig {

inline std::string cp(const QString& text) {
    return codepage::fromUtf8(text.toUtf8().toStdString()).value();
}

inline QString qs(std::string_view cp1251) {
    return QString::fromStdString(codepage::toUtf8(cp1251));
}

// One dictionary file to lay into the program folder before the window starts.
struct DicFile {
    QString fileName;
    QString name;                                    // the dictionary's Name
    std::vector<std::pair<QString, QString>> terms;  // term, article
};

inline void writeDic(const QString& path, const DicFile& file) {
    TDictionary dictionary;
    dictionary.SetName(cp(file.name));
    for (const auto& [term, article] : file.terms)
        dictionary.AddTerm(cp(term), cp(article));
    dictionary.SaveToFile(path.toStdString());
}

inline QStringList termsOf(const TDictionary& dictionary) {
    QStringList out;
    for (int i = 0; i < dictionary.Count(); ++i)
        out << qs(dictionary.Term(i));
    return out;
}

class Window {
public:
    // Lays the files into a fresh program folder (opened in name order at start) and builds
    // the window with the settings given as (section, key, value).
    explicit Window(const std::vector<DicFile>& files = {},
                    const std::vector<std::array<std::string, 3>>& settings = {}) {
        for (const DicFile& file : files)
            writeDic(path(file.fileName), file);
        setup = std::make_unique<TRegSetup>(folder.path().toStdString() + "/termovel.ini");
        for (const auto& [section, key, value] : settings)
            setup->WriteValue(section, key, value);
        auto answerer = std::make_unique<TFakeDialogs>();
        fake = answerer.get();
        fake->onModal = [this](QDialog& dialog) { return answerModal(dialog); };
        fake->onFileDialog = [this](QFileDialog& dialog) { return answerFile(dialog); };
        form =
            std::make_unique<TMainForm>(*setup, folder.path().toStdString(), std::move(answerer));
    }

    QString path(const QString& fileName) const { return folder.path() + "/" + fileName; }

    // --- Scripted answers for the adding/editing window and the file dialogs ---

    // The next modal window gets term and article typed in and is accepted.
    void typeIntoNextWindow(const QString& term, const QString& article) {
        modalAnswers.push_back([term, article](TWordForm& window) {
            window.setTexts(term, article);
            return int(QDialog::Accepted);
        });
    }
    void cancelNextWindow() {
        modalAnswers.push_back([](TWordForm&) { return int(QDialog::Rejected); });
    }
    // The next file dialog chooses fileName inside the program folder (or an absolute path).
    void chooseFile(const QString& fileName) {
        fileAnswers.push_back(fileName.startsWith('/') ? fileName : path(fileName));
    }
    void cancelFileDialog() { fileAnswers.push_back(QString()); }

    // --- Observations ---

    QStringList rows() const {
        QStringList out;
        const QAbstractItemModel* model = form->ListBox->model();
        for (int i = 0; i < model->rowCount(); ++i)
            out << model->data(model->index(i, 0)).toString();
        return out;
    }
    QStringList tabs() const {
        QStringList out;
        for (int i = 0; i < form->TabSet->count(); ++i)
            out << form->tabCaption(i);
        return out;
    }
    // Enabled states as "1"/"0" in the order Close, Info, Add, Save, Sub, Edit, Translate.
    QString states() const {
        QString out;
        for (QAction* action : {form->actClose, form->actInfo, form->actAdd, form->actSave,
                                form->actSub, form->actEdit, form->actTranslate})
            out += action->isEnabled() ? '1' : '0';
        return out;
    }
    TDictionary& dic(int index) { return *form->DicList.at(static_cast<size_t>(index)); }

    // Selects a row as the user's click does.
    void clickRow(int row) {
        QListView* list = form->ListBox;
        list->setCurrentIndex(list->model()->index(row, 0));
    }

    QTemporaryDir folder;
    std::unique_ptr<TRegSetup> setup;
    TFakeDialogs* fake = nullptr;
    std::unique_ptr<TMainForm> form;
    std::deque<std::function<int(TWordForm&)>> modalAnswers;
    std::deque<QString> fileAnswers;
    // What the window showed when each modal window came up: caption, term, article.
    std::vector<QStringList> modalSeen;
    // The file name each file dialog offered when it came up.
    QStringList offeredFiles;

private:
    int answerModal(QDialog& dialog) {
        auto* window = dynamic_cast<TWordForm*>(&dialog);
        if (!window)
            return QDialog::Rejected;
        modalSeen.push_back({window->windowTitle(), window->termText(), window->articleText()});
        if (modalAnswers.empty())
            return QDialog::Rejected;
        auto answer = std::move(modalAnswers.front());
        modalAnswers.pop_front();
        return answer(*window);
    }
    bool answerFile(QFileDialog& dialog) {
        offeredFiles << dialog.selectedFiles().value(0).section('/', -1);
        if (fileAnswers.empty())
            return false;
        const QString chosen = fileAnswers.front();
        fileAnswers.pop_front();
        if (chosen.isEmpty())
            return false;
        dialog.selectFile(chosen);
        return true;
    }
};

}  // namespace rig
