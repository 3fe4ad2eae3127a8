#pragma once

#include <stdexcept>

#include "ui/main_form/main_form.h"

// A read-only look at the main window's private state for the window tests and benchmarks.
// Fields can be read, never written: a test changes the open dictionaries only through the
// window's operations. The controls come back as they are, so a test can drive them as the
// user does (type into the search box, click a tab), which runs the window's own handlers.
class TMainFormView {
public:
    explicit TMainFormView(const TMainForm& form) : form_(form) {}

    int CurDic() const { return form_.CurDic; }
    int dicCount() const { return static_cast<int>(form_.DicList.size()); }
    // DicList[index]; raises std::out_of_range for a bad index.
    const TDictionary& dic(int index) const {
        return *form_.DicList.at(static_cast<size_t>(index));
    }
    // Whether tab index is being prepared (its index is still being made).
    bool preparing(int index) const { return form_.isPreparing(index); }
    int preparingCount() const { return static_cast<int>(form_.preparing_.size()); }
    int WordTop() const { return form_.WordTop; }
    int WordLeft() const { return form_.WordLeft; }
    int WordWidth() const { return form_.WordWidth; }
    int WordHeight() const { return form_.WordHeight; }

    QComboBox* cmbString() const { return form_.cmbString; }
    QListView* ListBox() const { return form_.ListBox; }
    QTabBar* TabSet() const { return form_.TabSet; }
    QStatusBar* StatusBar() const { return form_.StatusBar; }
    QToolBar* ToolBar() const { return form_.ToolBar; }
    QMenu* mnFile() const { return form_.mnFile; }
    QMenu* mnDic() const { return form_.mnDic; }
    QMenu* mnWord() const { return form_.mnWord; }
    QMenu* mnHelp() const { return form_.mnHelp; }
    QMenu* PopupMenu() const { return form_.PopupMenu; }
    TTrayIcon* TrayIcon1() const { return form_.TrayIcon1; }

    QAction* actTranslate() const { return form_.actTranslate; }
    QAction* actInfo() const { return form_.actInfo; }
    QAction* actSetup() const { return form_.actSetup; }
    QAction* actExit() const { return form_.actExit; }
    QAction* actNew() const { return form_.actNew; }
    QAction* actOpen() const { return form_.actOpen; }
    QAction* actClose() const { return form_.actClose; }
    QAction* actSave() const { return form_.actSave; }
    QAction* actAdd() const { return form_.actAdd; }
    QAction* actSub() const { return form_.actSub; }
    QAction* actEdit() const { return form_.actEdit; }
    QAction* actSpravka() const { return form_.actSpravka; }
    QAction* actWeb() const { return form_.actWeb; }
    QAction* actAbout() const { return form_.actAbout; }
    QAction* actOpenWin() const { return form_.actOpenWin; }
    QAction* actToolBar() const { return form_.actToolBar; }
    QAction* actStatusBar() const { return form_.actStatusBar; }
    QAction* actImport() const { return form_.actImport; }
    QAction* actSearchArticles() const { return form_.actSearchArticles; }

private:
    const TMainForm& form_;
};
