#include "support/main_form_rig.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QListView>
#include <QStatusBar>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

#include "dictionary/dictionary.h"
#include "dictionary/term_index.h"
#include "platform/codepage.h"
#include "ui/dialogs/word_form.h"

namespace rig {

std::string cp(const QString& text) {
    return codepage::fromUtf8(text.toUtf8().toStdString()).value();
}

std::vector<std::string> cp(const QStringList& texts) {
    std::vector<std::string> out;
    for (const QString& text : texts)
        out.push_back(cp(text));
    return out;
}

QString qs(std::string_view cp1251) {
    return QString::fromStdString(codepage::toUtf8(cp1251));
}

void writeDic(const QString& path, const TDicFile& file) {
    TDictionary dictionary;
    dictionary.SetName(cp(file.name));
    for (const auto& [term, article] : file.terms)
        dictionary.AddTerm(cp(term), cp(article));
    dictionary.SaveToFile(path.toStdString());
}

QStringList termsOf(const TDictionary& dictionary) {
    QStringList out;
    for (int i = 0; i < dictionary.Count(); ++i)
        out << qs(dictionary.Term(i));
    return out;
}

QStringList rows(const TMainForm& form) {
    QStringList out;
    const QAbstractItemModel* model = TMainFormView(form).ListBox()->model();
    for (int i = 0; i < model->rowCount(); ++i)
        out << model->data(model->index(i, 0)).toString();
    return out;
}

QStringList tabs(const TMainForm& form) {
    QStringList out;
    for (int i = 0; i < TMainFormView(form).TabSet()->count(); ++i)
        out << form.tabCaption(i);
    return out;
}

QStringList windowTerms(const TMainForm& form) {
    QStringList out;
    for (const TWordForm* window : form.translationWindows())
        out << window->termText();
    return out;
}

QStringList history(const TMainForm& form) {
    QStringList out;
    for (int i = 0; i < TMainFormView(form).cmbString()->count(); ++i)
        out << TMainFormView(form).cmbString()->itemText(i);
    return out;
}

QString states(const TMainForm& form) {
    QString out;
    for (const QAction* action :
         {TMainFormView(form).actClose(), TMainFormView(form).actInfo(),
          TMainFormView(form).actAdd(), TMainFormView(form).actSave(), TMainFormView(form).actSub(),
          TMainFormView(form).actEdit(), TMainFormView(form).actTranslate()})
        out += action->isEnabled() ? '1' : '0';
    return out;
}

QString status(const TMainForm& form) {
    return TMainFormView(form).StatusBar()->currentMessage();
}

bool ownArticles(const TMainForm& form) {
    const auto& windows = form.translationWindows();
    return std::all_of(windows.begin(), windows.end(), [](const TWordForm* window) {
        return window->articleText() == QStringLiteral("article of ") + window->termText();
    });
}

void clickTab(TMainForm& form, int index) {
    TMainFormView(form).TabSet()->setCurrentIndex(index);
}

void clickRow(TMainForm& form, int row) {
    QListView* list = TMainFormView(form).ListBox();
    list->setCurrentIndex(list->model()->index(row, 0));
}

void useOwnCache() {
    static QTemporaryDir cache;
    qputenv("XDG_CACHE_HOME", cache.path().toLocal8Bit());
}

bool waitUntilPrepared(TMainForm& form, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (TMainFormView(form).preparingCount() > 0) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QTest::qWait(20);
    }
    return true;
}

}  // namespace rig

TLookupFolder::TLookupFolder() : setup_(std::make_unique<TRegSetup>(file("termovel.ini"))) {
    rig::useOwnCache();
}

TLookupFolder::~TLookupFolder() = default;

void TLookupFolder::writeDic(const std::string& fileName, const std::vector<std::string>& terms,
                             const std::string& name) {
    TDictionary dictionary;
    dictionary.SetName(name);
    for (const std::string& term : terms)
        dictionary.AddTerm(term, "article of " + term);
    dictionary.SaveToFile(file(fileName));
}

void TLookupFolder::writeList(const std::string& section, const std::string& count,
                              const std::vector<std::string>& entries) {
    setup_->ClearSection(section);
    setup_->WriteValue(section, "Count", count);
    for (size_t i = 0; i < entries.size(); ++i)
        setup_->WriteValue(section, "N" + std::to_string(i + 1), entries[i]);
}

bool TLookupFolder::makeIndex(const std::string& fileName) const {
    return TTermFile::open(file(fileName), termIndexFolder(), TTermFile::TOpen::CachedOrMade) !=
           nullptr;
}

TMainForm& TLookupFolder::open(const std::function<void(TFakeDialogs&)>& prepare,
                               bool untilPrepared) {
    auto fake = std::make_unique<TFakeDialogs>();
    dialogs_ = fake.get();
    if (prepare)
        prepare(*fake);
    form_ = std::make_unique<TMainForm>(
        *setup_, program_folder::TFolders(path(), {}, sourceFolders), std::move(fake));
    if (untilPrepared && !rig::waitUntilPrepared(*form_))
        qWarning("the window's tabs were still being prepared");
    return *form_;
}

namespace rig {

TWindow::TWindow(const std::vector<TDicFile>& files,
                 const std::vector<std::array<std::string, 3>>& settings) {
    for (const TDicFile& file : files)
        writeDic(path(file.fileName), file);
    setup = &folder_.setup();
    for (const auto& [section, key, value] : settings)
        setup->WriteValue(section, key, value);
    form = &folder_.open();
    fake = &folder_.dialogs();
    fake->onModal = [this](QDialog& dialog) { return answerModal(dialog); };
    fake->onFileDialog = [this](QFileDialog& dialog) { return answerFile(dialog); };
}

QString TWindow::path(const QString& fileName) const {
    return QString::fromStdString(folder_.path()) + "/" + fileName;
}

void TWindow::typeIntoNextWindow(const QString& term, const QString& article) {
    modalAnswers.push_back([term, article](TWordForm& window) {
        window.setTexts(term, article);
        return int(QDialog::Accepted);
    });
}

void TWindow::cancelNextWindow() {
    modalAnswers.push_back([](TWordForm&) { return int(QDialog::Rejected); });
}

void TWindow::chooseFile(const QString& fileName) {
    fileAnswers.push_back(fileName.startsWith('/') ? fileName : path(fileName));
}

void TWindow::clickRow(int row) {
    rig::clickRow(*form, row);
}

int TWindow::answerModal(QDialog& dialog) {
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

bool TWindow::answerFile(QFileDialog& dialog) {
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

}  // namespace rig
