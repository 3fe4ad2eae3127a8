// The main window's construction: its actions, its widgets and the start-up steps.
#include "ui/main_form/main_form.h"
#include "ui/text.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QListView>
#include <QMenu>
#include <QStatusBar>
#include <QTabBar>
#include <QVBoxLayout>

#include <exception>
#include <string>
#include <utility>

#include "dictionary/term_index.h"
#include "settings/reg_setup.h"
#include "ui/dialogs/word_form.h"
#include "ui/instance_channel.h"
#include "ui/widgets/hints.h"
#include "ui/widgets/image_icon.h"
#include "ui/widgets/outer_size.h"
#include "ui/widgets/shortcut_guard.h"
#include "ui/widgets/word_list_model.h"
#include "ui/widgets/word_list_view.h"

namespace {

constexpr int kDesignedWidth = 273;
constexpr int kDesignedHeight = 396;
constexpr int kFixedFontPixels = 12;  // Courier New 9 point
constexpr int kCoolBarHeight = 27;
constexpr int kListRowHeight = 15;
constexpr int kHistoryVisibleRows = 12;
const char* const kFixedFont = "Courier New";

}  // namespace

TMainForm::TMainForm(TRegSetup& regSetup, program_folder::TFolders folders,
                     std::unique_ptr<TDialogs> dialogs, QWidget* parent)
    : QMainWindow(parent),
      regSetup_(regSetup),
      folders_(std::move(folders)),
      dialogs_(dialogs ? std::move(dialogs) : std::make_unique<TQtDialogs>()) {
    // The dictionaries load on the other processors while the window is built.
    startLoadingDics();
    setObjectName(QStringLiteral("MainForm"));
    setWindowIcon(programIcon());
    new TOuterSize(*this, QSize(kDesignedWidth, kDesignedHeight));
    createActions();
    createCentralWidgets();
    createMenus();
    createToolBar();
    createStatusBar();
    createViewMenu();
    createTrayIcon();
    applyFonts();
    // Keys that name a disabled command reach no control.
    new TShortcutGuard(*this);
    FormCreate();
}

TMainForm::~TMainForm() {
    // The translation windows report their end to this window; let them go while it is whole.
    const std::vector<TWordForm*> forms = std::move(wordForms_);
    wordForms_.clear();
    for (TWordForm* form : forms)
        delete form;
    // The word list reads the current dictionary: detach it before the dictionaries go.
    if (wordListModel_)
        wordListModel_->setDictionary(nullptr);
}

void TMainForm::reportError(const std::exception& error) {
    dialogs().error(this, errorText(error));
}

void TMainForm::guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const TDictionaryChanged& error) {
        // Another program changed a dictionary's file under a read: nothing of the new file was
        // shown; the dictionary is read afresh, unless a modal window or an import holds one,
        // when the message says what happened.
        if (QApplication::activeModalWidget() || importRunning_)
            reportError(error);
        else
            dictionaryChanged();
    } catch (const std::exception& error) {
        reportError(error);
    }
}

// --- Construction ---

QAction* TMainForm::newAction(const QString& caption, const QString& category, const QString& hint,
                              const QKeySequence& shortcut, bool enabled) {
    auto* action = new QAction(caption, this);
    action->setProperty("category", category);
    setHint(*action, hint);
    if (!shortcut.isEmpty()) {
        action->setShortcut(shortcut);
        // The shortcut also acts while a translation window has the focus; a modal window
        // still blocks it.
        action->setShortcutContext(Qt::ApplicationShortcut);
    }
    action->setEnabled(enabled);
    // Added to the window itself, the action's shortcut works whether or not a menu shows it.
    addAction(action);
    return action;
}

void TMainForm::createActions() {
    // Runs a handler through the guard, so an error it raises ends in the error box.
    auto run = [this](void (TMainForm::*handler)()) {
        return [this, handler] { guarded([this, handler] { (this->*handler)(); }); };
    };
    const QString none;
    const QKeySequence noKey;

    actTranslate = newAction(QStringLiteral("Перевести"), none, none, noKey, false);
    connect(actTranslate, &QAction::triggered, this, run(&TMainForm::actTranslateExecute));
    actInfo = newAction(QStringLiteral("Информация"), QStringLiteral("Словарь"),
                        QStringLiteral("Информация о словаре"), noKey, false);
    connect(actInfo, &QAction::triggered, this, run(&TMainForm::actInfoExecute));
    actSetup = newAction(QStringLiteral("&Настройки"), QStringLiteral("Опции"),
                         QStringLiteral("Опции программы"), QKeySequence(Qt::Key_F8), true);
    connect(actSetup, &QAction::triggered, this, run(&TMainForm::actSetupExecute));
    actExit =
        newAction(QStringLiteral("&Выход"), QStringLiteral("Файл"),
                  QStringLiteral("Выход из программы"), QKeySequence(Qt::CTRL | Qt::Key_Q), true);
    connect(actExit, &QAction::triggered, this, run(&TMainForm::actExitExecute));
    actNew =
        newAction(QStringLiteral("&Новый"), QStringLiteral("Файл"),
                  QStringLiteral("Начать новый словарь"), QKeySequence(Qt::CTRL | Qt::Key_N), true);
    connect(actNew, &QAction::triggered, this, run(&TMainForm::actNewExecute));
    actOpen = newAction(QStringLiteral("&Открыть"), QStringLiteral("Файл"),
                        QStringLiteral("Открыть сохраненный словарь"),
                        QKeySequence(Qt::CTRL | Qt::Key_O), true);
    connect(actOpen, &QAction::triggered, this, run(&TMainForm::actOpenExecute));
    actClose = newAction(QStringLiteral("Закрыть"), QStringLiteral("Файл"),
                         QStringLiteral("Закрыть текущий словарь"),
                         QKeySequence(Qt::CTRL | Qt::Key_W), false);
    connect(actClose, &QAction::triggered, this, run(&TMainForm::actCloseExecute));
    actSave = newAction(QStringLiteral("&Сохранить"), QStringLiteral("Файл"),
                        QStringLiteral("Сохранить текущий словарь"),
                        QKeySequence(Qt::CTRL | Qt::Key_S), false);
    connect(actSave, &QAction::triggered, this, run(&TMainForm::actSaveExecute));
    actAdd = newAction(QStringLiteral("Добавить термин"), QStringLiteral("Словарь"),
                       QStringLiteral("Добавить термин в словарь"), noKey, false);
    connect(actAdd, &QAction::triggered, this, run(&TMainForm::actAddExecute));
    actSub = newAction(QStringLiteral("Удалить термин"), QStringLiteral("Словарь"),
                       QStringLiteral("Удалить термин из словаря"), noKey, false);
    connect(actSub, &QAction::triggered, this, run(&TMainForm::actSubExecute));
    actEdit = newAction(QStringLiteral("Редактировать термин"), QStringLiteral("Словарь"),
                        QStringLiteral("Редактировать текущий термин"), noKey, false);
    connect(actEdit, &QAction::triggered, this, run(&TMainForm::actEditExecute));
    actSpravka = newAction(QStringLiteral("&Справка"), QStringLiteral("Помощь"),
                           QStringLiteral("Справка"), QKeySequence(Qt::Key_F1), true);
    connect(actSpravka, &QAction::triggered, this, run(&TMainForm::actSpravkaExecute));
    actWeb = newAction(QStringLiteral("Web-сайт"), QStringLiteral("Помощь"),
                       QStringLiteral("Web-сайт программы"), noKey, true);
    connect(actWeb, &QAction::triggered, this, run(&TMainForm::actWebExecute));
    actAbout = newAction(QStringLiteral("&О программе"), QStringLiteral("Помощь"),
                         QStringLiteral("О программе"), noKey, true);
    connect(actAbout, &QAction::triggered, this, run(&TMainForm::actAboutExecute));
    actOpenWin = newAction(QStringLiteral("Запустить"), none, none, noKey, true);
    connect(actOpenWin, &QAction::triggered, this, run(&TMainForm::actOpenWinExecute));
    actToolBar =
        newAction(QStringLiteral("&Панель инструментов"), QStringLiteral("Вид"), none, noKey, true);
    actToolBar->setCheckable(true);
    actToolBar->setChecked(true);
    connect(actToolBar, &QAction::triggered, this, run(&TMainForm::actToolBarExecute));
    actStatusBar =
        newAction(QStringLiteral("&Строка состояния"), QStringLiteral("Вид"), none, noKey, true);
    actStatusBar->setCheckable(true);
    actStatusBar->setChecked(true);
    connect(actStatusBar, &QAction::triggered, this, run(&TMainForm::actStatusBarExecute));
    // The import needs a current dictionary, so it follows the dictionary group.
    actImport =
        newAction(QStringLiteral("Импортировать"), QStringLiteral("Словарь"), none, noKey, false);
    connect(actImport, &QAction::triggered, this, run(&TMainForm::actImportExecute));
    actSearchArticles = newAction(QStringLiteral("Найти в статьях…"), QStringLiteral("Сервис"),
                                  QStringLiteral("Найти термины, в статьях которых есть текст"),
                                  QKeySequence(Qt::CTRL | Qt::Key_F), false);
    connect(actSearchArticles, &QAction::triggered, this,
            run(&TMainForm::actSearchArticlesExecute));
    setActionImages();
    createUnusedActions();
}

void TMainForm::setActionImages() {
    // Each command's picture by its number in the window's image list; menus, tool bar and the
    // tray take it from the action.
    const std::pair<QAction*, TImage> images[] = {
        {actNew, TImage::New},     {actOpen, TImage::Open},
        {actClose, TImage::Close}, {actSave, TImage::Save},
        {actExit, TImage::Exit},   {actSpravka, TImage::Help},
        {actAbout, TImage::About}, {actWeb, TImage::Web},
        {actInfo, TImage::Info},   {actTranslate, TImage::Translate},
        {actSetup, TImage::Setup}, {actOpenWin, TImage::OpenWin},
        {actAdd, TImage::Add},     {actSub, TImage::Sub},
        {actEdit, TImage::Edit},
    };
    for (const auto& [action, image] : images)
        action->setIcon(imageIcon(image));
}

void TMainForm::createUnusedActions() {
    // Commands the action list holds without a handler: placed nowhere and without a key, they
    // do nothing. They are kept so that every command the window knows is in one list.
    const std::pair<const char*, const char*> unused[] = {
        {"actFile", "&Файл"},
        {"actHelp", "&Помощь"},
        {"actPrint", "&Печать"},
        {"actPreview", "&Просмотр"},
        {"actEditMenu", "&Редактирование"},
        {"actCut", "&Вырезать"},
        {"actCopy", "&Копировать"},
        {"actPaste", "&Вставить"},
        {"actRun", "&Выполнить"},
        {"actStop", "&Остановить"},
        {"actDel", "&Удалить"},
        {"actUndo", "&Отменить"},
        {"actRedo", "&Повторить"},
        {"actFind", "&Найти"},
        {"actReplace", "&Заменить"},
        {"actClear", "&Очистить"},
        {"actOptions", "&Опции"},
        {"actView", "&Вид"},
        {"actDic", "Словарь"},
        {"actService", "Сервис"},
        {"actWord", "Слова"},
    };
    for (const auto& [name, caption] : unused) {
        auto* action = new QAction(QString::fromUtf8(caption), this);
        action->setObjectName(QString::fromLatin1(name));
    }
}

void TMainForm::createCentralWidgets() {
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    QFont fixedFont(QString::fromLatin1(kFixedFont));
    fixedFont.setPixelSize(kFixedFontPixels);

    // CoolBar1: the band that holds the search box.
    auto* coolBar = new QFrame(central);
    coolBar->setObjectName(QStringLiteral("CoolBar1"));
    coolBar->setFrameStyle(QFrame::Box | QFrame::Plain);
    coolBar->setFixedHeight(kCoolBarHeight);
    auto* coolLayout = new QVBoxLayout(coolBar);
    coolLayout->setContentsMargins(1, 1, 1, 1);
    cmbString = new TSearchBox(coolBar);
    cmbString->setObjectName(QStringLiteral("cmbString"));
    cmbString->setEditable(true);
    // The history is kept by AddHistory alone, most recent first; Enter never adds to it.
    cmbString->setInsertPolicy(QComboBox::NoInsert);
    cmbString->setDuplicatesEnabled(true);
    cmbString->setMaxVisibleItems(kHistoryVisibleRows);
    cmbString->setFont(fixedFont);
    coolLayout->addWidget(cmbString);
    layout->addWidget(coolBar);

    // Panel1: the word list above the tab strip.
    auto* panel = new QWidget(central);
    panel->setObjectName(QStringLiteral("Panel1"));
    auto* panelLayout = new QVBoxLayout(panel);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    panelLayout->setSpacing(0);
    wordListModel_ = new TWordListModel(this);
    auto* wordList = new TWordListView(panel);
    wordList->setRowHeight(kListRowHeight);
    ListBox = wordList;
    ListBox->setObjectName(QStringLiteral("ListBox"));
    ListBox->setFont(fixedFont);
    ListBox->setFrameStyle(QFrame::NoFrame);
    ListBox->setSelectionMode(QAbstractItemView::SingleSelection);
    ListBox->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListBox->setModel(wordListModel_);
    panelLayout->addWidget(ListBox, 1);
    TabSet = new QTabBar(panel);
    TabSet->setObjectName(QStringLiteral("TabSet"));
    TabSet->setShape(QTabBar::RoundedSouth);
    TabSet->setExpanding(false);
    TabSet->setDrawBase(false);
    panelLayout->addWidget(TabSet);
    layout->addWidget(panel, 1);
    setCentralWidget(central);

    connectLookupSignals();
    // Typing starts in the search box.
    cmbString->setFocus();
    connect(TabSet, &QTabBar::currentChanged, this, [this](int index) {
        // Code that adds, removes or selects tabs blocks this signal and decides itself whether
        // a tab change runs; what arrives here is the user's click on another tab.
        if (index < 0)
            return;
        guarded([this, index] {
            bool allowChange = true;
            TabSetChange(index, allowChange);
        });
    });
}

// --- Start-up ---

void TMainForm::FormCreate() {
    setWindowTitle(QString::fromLatin1(ProgramTitle));
    LoadDics();
    loadHistory();
    applyEditMode();
}
