// The window's frame: main menu, pop-up menu, status bar (and the tool bar and tray icon that
// join them). They only place the actions; every caption, shortcut, hint and enabled state
// comes from the action itself.
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>

#include <initializer_list>

#include "ui/main_form.h"

namespace {

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
    placeActions(mnFile, {actTranslate, actInfo, nullptr, actSetup, nullptr, actExit});

    mnDic = bar->addMenu(QStringLiteral("Словарь"));
    mnDic->setObjectName(QStringLiteral("mnDic"));
    placeActions(mnDic, {actNew, actOpen, actClose, actSave});

    mnWord = bar->addMenu(QStringLiteral("Слова"));
    mnWord->setObjectName(QStringLiteral("mnWord"));
    placeActions(mnWord, {actAdd, actSub, actEdit});

    mnHelp = bar->addMenu(QStringLiteral("&Помощь"));
    mnHelp->setObjectName(QStringLiteral("mnHelp"));
    const QString helpHint = QStringLiteral("Помощь при работе с программой");
    mnHelp->menuAction()->setStatusTip(helpHint);
    mnHelp->menuAction()->setToolTip(helpHint);
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

void TMainForm::createStatusBar() {
    // One panel spanning the whole bar: the current hint, shown by the status tips of the
    // actions and menus.
    StatusBar = statusBar();
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->setSizeGripEnabled(true);
}
