// Nothing lost when the program is ended from outside: when the desktop session ends or a
// signal asks the program to stop, each dictionary with unsaved changes is kept in a recovery
// file of its own, and the next start offers to restore it.
#include <QFileInfo>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "platform/error.h"
#include "platform/recovery_folder.h"
#include "ui/main_form/main_form.h"
#include "ui/text.h"

namespace {

// The question for one recovery file; its origin as the user knows it, the file's name.
QString restoreQuestion(const QString& fileName) {
    return QStringLiteral(
               "Словарь %1 не был сохранён, когда программа завершилась в прошлый "
               "раз. Восстановить несохранённые изменения? При ответе «No» они "
               "будут удалены; если закрыть окно, вопрос повторится при следующем запуске.")
        .arg(fileName);
}

// A recovery file that cannot be read: which dictionary, which file, why, and that it stays.
QString unreadableText(const QString& fileName, const std::string& path,
                       const std::exception& error) {
    return QStringLiteral(
               "Не удалось прочитать несохранённые изменения словаря %1 из файла %2: "
               "%3. Файл оставлен на месте.")
        .arg(fileName, QString::fromStdString(path), errorText(error));
}

}  // namespace

int TMainForm::writeRecovery() {
    std::error_code ec;
    // What an earlier call wrote is replaced: only the dictionaries as they are now are kept.
    for (const std::string& written : recoveryWritten_)
        std::filesystem::remove(written, ec);
    recoveryWritten_.clear();
    const std::string folder = recovery_folder::path(folders_.program);
    // Made when first needed; never one that is a link, another user's or open to others.
    bool usable = false;
    bool prepared = false;
    int failed = 0;
    for (int i = 0; i < static_cast<int>(DicList.size()); ++i) {
        const TDictionary& dictionary = *DicList[static_cast<size_t>(i)];
        if (!dictionary.Modified())
            continue;
        // A dictionary of no file is recorded by its caption, so it comes back as it showed.
        const std::string origin =
            dictionary.fileName().empty() ? tabCaption(i).toStdString() : dictionary.fileName();
        try {
            if (!prepared) {
                usable = recovery_folder::prepare(folder);
                prepared = true;
            }
            if (!usable)
                throw TError(formatMessage(error_text::kCannotCreateFile, folder));
            const std::string path = folder + "/" + recovery_folder::newFileName(folder, origin);
            dictionary.saveCopy(path);
            recoveryWritten_.push_back(path);
        } catch (const std::exception& error) {
            // No window can be asked any more; the message goes where the session keeps them.
            std::fprintf(stderr, "termovel: %s\n", error.what());
            ++failed;
        }
    }
    return failed;
}

void TMainForm::offerRecovery() {
    const std::string folder = recovery_folder::path(folders_.program);
    std::error_code missing;
    if (std::filesystem::symlink_status(folder, missing).type() ==
        std::filesystem::file_type::not_found) {
        recovery_folder::useForSaves(folder);  // made when a save first needs it
        return;
    }
    if (!recovery_folder::prepare(folder)) {
        // What lies there may be anyone's: nothing is read from it or written to it.
        std::fprintf(stderr,
                     "termovel: папка %s не используется для восстановления: это ссылка, "
                     "чужая папка или папка, открытая другим пользователям\n",
                     folder.c_str());
        return;
    }
    // A save written in place keeps the old content here until it has finished.
    recovery_folder::useForSaves(folder);
    for (const recovery_folder::TRecoveryFile& kept : recovery_folder::list(folder)) {
        const bool hasFolder = kept.origin.find('/') != std::string::npos;
        const QString fileName = QFileInfo(QString::fromStdString(kept.origin)).fileName();
        // No throws the changes away, so only a click on No counts: Esc, like the close box,
        // gives no answer and the file is offered again at the next start.
        const TDialogs::TAnswer answer =
            dialogs().confirmWithoutEscape(this, restoreQuestion(fileName));
        if (answer == TDialogs::TAnswer::Closed)
            continue;
        if (answer == TDialogs::TAnswer::Yes) {
            auto dictionary = std::make_unique<TDictionary>();
            try {
                dictionary->LoadFromFile(kept.path);
            } catch (const std::exception& error) {
                // The file stays, so nothing is lost that might still be read another way.
                dialogs().error(this, unreadableText(fileName, kept.path, error));
                continue;
            }
            // Back under its own file's name, unsaved: Save writes it where it came from.
            dictionary->setFileName(hasFolder ? kept.origin : std::string());
            addDictionary(std::move(dictionary), fileName);
        }
        std::error_code ec;
        std::filesystem::remove(kept.path, ec);
    }
}

bool TMainForm::commitSession(bool mayInteract) {
    if (mayInteract) {
        // The questions of the exit command, and the close confirmation; a No keeps the
        // session going.
        if (importRunning_ || !confirmUnsavedDictionaries())
            return false;
        bool canClose = false;
        guarded([&] { FormCloseQuery(canClose); });
        if (!canClose)
            return false;
        sessionConfirmed_ = true;
    } else {
        // Nobody is asked, so the close confirmation that stores the history does not run.
        storeHistory();
    }
    // Whatever was left unsaved, by answer or for want of a question, is kept.
    writeRecovery();
    return true;
}
