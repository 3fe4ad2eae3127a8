// The window's frame: main menu, pop-up menu, tool bar, status bar with the current hint, the
// icon in the notification area, and the small commands that live only here (help, web site,
// restoring the window, showing and hiding the bars). Menus and tool bar only place the
// actions; every caption, shortcut, hint, picture and enabled state comes from the action.
#include <QAction>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTabBar>
#include <QToolBar>

#include <initializer_list>

#include "platform/program_folder.h"
#include "settings/help_file.h"
#include "settings/program_identity.h"
#include "ui/main_form/main_form.h"
#include "ui/shell_open.h"
#include "ui/widgets/hints.h"
#include "ui/widgets/image_icon.h"
#include "ui/widgets/search_box.h"
#include "ui/widgets/tray_icon.h"

namespace {

constexpr int kToolBarHeight = 26;
constexpr QSize kToolButtonSize(23, 22);
constexpr int kToolSeparatorWidth = 8;
constexpr int kStatusBarHeight = 19;
constexpr int kSansPixels = 11;  // MS Sans Serif 8 point
constexpr int kTabSetHeight = 21;

// Places the actions in order; nullptr stands for a separator.
void placeActions(QMenu* menu, std::initializer_list<QAction*> actions) {
    for (QAction* action : actions) {
        if (action)
            menu->addAction(action);
        else
            menu->addSeparator();
    }
}

}  // namespace

void TMainForm::createMenus() {
    QMenuBar* bar = menuBar();

    mnFile = bar->addMenu(QStringLiteral("Сервис"));
    mnFile->setObjectName(QStringLiteral("mnFile"));
    placeActions(mnFile,
                 {actTranslate, actSearchArticles, actInfo, nullptr, actSetup, nullptr, actExit});

    // Import takes terms into the current dictionary, so it sits with the dictionary commands.
    mnDic = bar->addMenu(QStringLiteral("Словарь"));
    mnDic->setObjectName(QStringLiteral("mnDic"));
    placeActions(mnDic, {actNew, actOpen, actClose, actSave, nullptr, actImport});

    mnWord = bar->addMenu(QStringLiteral("Слова"));
    mnWord->setObjectName(QStringLiteral("mnWord"));
    placeActions(mnWord, {actAdd, actSub, actEdit});

    mnHelp = bar->addMenu(QStringLiteral("&Помощь"));
    mnHelp->setObjectName(QStringLiteral("mnHelp"));
    mnHelp->menuAction()->setStatusTip(shownHint(QStringLiteral("Помощь при работе с программой")));
    mnHelp->menuAction()->setToolTip(mnHelp->menuAction()->statusTip());
    placeActions(mnHelp, {actSpravka, actWeb, actAbout});

    // The editing menus appear only in edit mode (the window's creation and the settings
    // dialog show them). Their actions belong to the window itself as well, so the shortcuts
    // of New, Open, Close and Save act while the menu is hidden.
    mnDic->menuAction()->setVisible(false);
    mnWord->menuAction()->setVisible(false);

    // The same two-item menu serves the tray icon and a right click anywhere on the window.
    PopupMenu = new QMenu(this);
    PopupMenu->setObjectName(QStringLiteral("PopupMenu"));
    placeActions(PopupMenu, {actOpenWin, actExit});
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenu->popup(mapToGlobal(pos)); });
}

void TMainForm::createToolBar() {
    ToolBar = new QToolBar(this);
    ToolBar->setObjectName(QStringLiteral("ToolBar"));
    ToolBar->setMovable(false);
    ToolBar->setFloatable(false);
    ToolBar->setIconSize(QSize(16, 16));
    ToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ToolBar->setFixedHeight(kToolBarHeight);
    // Flat buttons between a line along the top edge and one along the bottom.
    ToolBar->setStyleSheet(QStringLiteral(
        "QToolBar#ToolBar { border-top: 1px solid palette(mid); border-bottom: 1px solid "
        "palette(mid); padding: 1px 0px; spacing: 0px; }"));
    for (QAction* action : {actTranslate, actInfo, static_cast<QAction*>(nullptr), actSetup,
                            static_cast<QAction*>(nullptr), actSpravka, actAbout}) {
        if (!action) {
            ToolBar->widgetForAction(ToolBar->addSeparator())->setFixedWidth(kToolSeparatorWidth);
            continue;
        }
        ToolBar->addAction(action);
        ToolBar->widgetForAction(action)->setFixedSize(kToolButtonSize);
    }
    addToolBar(Qt::TopToolBarArea, ToolBar);
}

void TMainForm::createStatusBar() {
    // One panel spanning the whole bar: the current hint, and the import's progress.
    StatusBar = statusBar();
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->setFixedHeight(kStatusBarHeight);
    StatusBar->setSizeGripEnabled(true);
    new THintWatcher(*this, [this](const QString& hint) { ApplicationEvents1Hint(hint); });
}

void TMainForm::createViewMenu() {
    // The bars can be hidden; their context menus (and the menu bar's, which never hides) offer
    // both toggles, so a hidden bar can always be brought back.
    auto* viewMenu = new QMenu(this);
    viewMenu->setObjectName(QStringLiteral("ViewMenu"));
    viewMenu->addAction(actToolBar);
    viewMenu->addAction(actStatusBar);
    for (QWidget* bar : {static_cast<QWidget*>(ToolBar), static_cast<QWidget*>(StatusBar),
                         static_cast<QWidget*>(menuBar())}) {
        bar->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(bar, &QWidget::customContextMenuRequested, this,
                [viewMenu, bar](const QPoint& pos) { viewMenu->popup(bar->mapToGlobal(pos)); });
    }
}

void TMainForm::createTrayIcon() {
    TrayIcon1 = new TTrayIcon(*this, imageIcon(TImage::Program), QString::fromLatin1(ProgramTitle),
                              PopupMenu);
}

void TMainForm::applyFonts() {
    // MS Sans Serif 8 point is 11 pixels high; the desktop's sans face stands in at that height.
    QFont sans(QStringList{QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans")});
    sans.setStyleHint(QFont::SansSerif);
    sans.setPixelSize(kSansPixels);
    QFont fixed = cmbString->font();
    setFont(sans);
    // The window's font reaches every control; the search box and the word list keep theirs.
    cmbString->setFont(fixed);
    ListBox->setFont(fixed);
    TabSet->setFont(sans);
    TabSet->setFixedHeight(kTabSetHeight);
}

// --- The small commands ---

void TMainForm::actSpravkaExecute() {
    // Nothing is said when there is no help file: the command then simply opens nothing.
    if (!program_folder::fileExists(helpFile()))
        return;
    // The viewer is only recommended by the package, so it may be missing: then the user is
    // told which package shows the help, rather than seeing nothing happen.
    const QString file = QString::fromStdString(helpFile());
    if (lacksHandlerFor(file) || !shellOpen(file))
        dialogs().warning(this, QStringLiteral("Не удалось открыть справку %1: в системе нет "
                                               "программы для просмотра файлов CHM. Справку "
                                               "показывает программа из пакета xchm.")
                                    .arg(file));
}

void TMainForm::actWebExecute() {
    shellOpen(QString::fromLatin1(ProgramSite));
}

void TMainForm::actOpenWinExecute() {
    TrayIcon1->restore();
}

void TMainForm::actToolBarExecute() {
    ToolBar->setHidden(!ToolBar->isHidden());
    actToolBar->setChecked(!ToolBar->isHidden());
}

void TMainForm::actStatusBarExecute() {
    StatusBar->setHidden(!StatusBar->isHidden());
    actStatusBar->setChecked(!StatusBar->isHidden());
}

void TMainForm::ApplicationEvents1Hint(const QString& hint) {
    StatusBar->showMessage(hint);
}
