// The desktop program's main window (TmainForm): the category tree TreeClass on the left,
// the task list ListViewtask top right, the page control PageControlTaskData below it with
// the start page and up to three task tabs, each holding one run frame and its view; the
// tool bar ToolBarMain, the main menu, the pop-up menus and the status bar.
//
// It is the run tabs the search wizards start their tasks in. Main thread only; the run
// frames' workers reach the window only through their frames.
#pragma once

#include "app/category_store.h"
#include "app/desktop_start.h"
#include "directory/wizard.h"
#include "engine/environment.h"
#include "engine/master_owner.h"

#include <QMainWindow>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

class QAction;
class QDialog;
class QLabel;
class QMenu;
class QSystemTrayIcon;
class QTableWidget;
class QTabWidget;
class QTextBrowser;
class QToolBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace tarvimo::run {
class TFrameTaskData;
namespace ui {
class FrameView;
class MessageBoxes;
}
}
namespace tarvimo::output {
class AutoSave;
}

namespace tarvimo::app::ui {

inline constexpr const char* kProductTitle = "Tarvimo";
inline constexpr const char* kSelectToRun = "请选择一个要运行的任务";
inline constexpr const char* kSelectToPause = "请选择一个要暂停的任务";
inline constexpr const char* kSelectToStop = "请选择一个要停止的任务";
inline constexpr const char* kTabLimit = "为了搜索顺利，同时最多运行三个任务";
inline constexpr const char* kAlreadyStopped = "该任务已经停止";
inline constexpr const char* kStopAllFirst = "请先停止所有任务，然后再关闭";
inline constexpr const char* kNoCollectedData = "没有采集数据。若要进行数据采集，请选择一个任务后，运行...";

// The window style of the settings (section userSet): 1 "无" (Fusion), 2 "XP式" (the
// Windows style), 0 a custom skin, here a Qt style sheet file. False when nothing was
// applied (an unknown value, a skin that cannot be read).
bool applyWindowStyle(int formStyle, const QString& styleFile);

class ToolTipTime;

// What the window opens beyond itself. Empty members take the desktop's own: message
// boxes, modal dialogs, the export and database dialogs, the shell.
struct MainWindowHooks {
    UserMessages* messages = nullptr;
    // Runs a modal dialog the window made (category dialogs, search wizards, options).
    std::function<int(QDialog&)> execDialog;
    // The export dialog of a grid: kind 0 text, 1 workbook, 3 database; an Access
    // file and table for the quick export.
    std::function<void(run::TFrameTaskData&, int kind, const std::string& accessFile,
                       const std::string& accessTable)>
        exportDialog;
    // "配置连接" and "数据查询".
    std::function<void()> dbSetDialog, dataQueryDialog;
    // The Access quick export's file and table; nothing when the user cancels.
    std::function<std::optional<QString>()> chooseAccessFile, chooseAccessTable;
    // The shell: open a file or address with its default program; start a program.
    std::function<bool(const QUrl&)> openUrl;
    std::function<bool(const QString&)> startProgram;
    // Called once when the window is first shown (the automatic runs' start-up scan).
    std::function<void()> shown;
};

struct MainWindowOptions {
    std::string programDir;               // where the installed files are found from
    std::string programName = "tarvimo";  // the root category's caption in a new list
    // The system's proxy is copied into the settings at start.
    bool copySystemProxy = true;
    std::function<const char*(const char*)> getenv;
};

class TmainForm : public QMainWindow, public directory::RunTabs {
    Q_OBJECT
public:
    using Hooks = MainWindowHooks;
    using Options = MainWindowOptions;

    TmainForm(engine::Environment env, Options options, Hooks hooks = {}, QWidget* parent = nullptr);
    ~TmainForm() override;

    // ---- RunTabs ----------------------------------------------------------------------
    int pageCount() const override;
    std::vector<std::string> captions() const override;
    void startTaskByName(const std::string& taskNameGbk, const std::string& text, bool fromTemplate) override;

    // ---- Operations (menus, tool bar, pop-ups) ---------------------------------------
    void runTask();
    void pauseTask();
    void stopTask();
    void deleteTask();
    void closeActiveTab();
    void newCategory();
    void deleteCategory();
    void moveCategory();
    void categoryProperties();
    // The search wizards: multi-site (" 新建 ", "搜索企业名录") and mobile numbers.
    void openSearchWizard(bool mobileNumbers);
    // The exports of the active tab's grid: 0 text, 1 workbook, 3 database; "数据输出到Access".
    void exportActive(int kind);
    void exportToAccess();
    void openOptions();
    void openManual();
    // Selects the running-tasks node (the list shows the tabs) and the active tab's row.
    void selectRunningCategory();
    // Applies a tool-bar state code.
    void setToolbarState(std::string_view code);
    // The tasks of the automatic runs: their rows in the running view show it.
    void setAutoRunTasks(std::set<std::string> namesGbk);

    // ---- State (tests and the benchmark read it) ---------------------------------------
    const ToolbarState& toolbarState() const { return toolbar_; }
    CategoryStore& categories() { return categories_; }
    const engine::Environment& environment() const { return env_; }
    // The frame of a task tab by caption (GBK, exact); null when none.
    run::TFrameTaskData* frameOf(const std::string& captionGbk) const;
    run::ui::FrameView* viewOf(const std::string& captionGbk) const;
    output::AutoSave* autoSaveOf(const std::string& captionGbk) const;
    run::TFrameTaskData* activeFrame() const;
    // The ID of the selected category node; empty when none.
    std::string selectedCategoryId() const;
    void selectCategory(std::string_view id);
    // The selected task row's caption (GBK); empty when none.
    std::string selectedTaskName() const;
    void selectTask(const std::string& nameGbk);
    QTimer& timer1() { return timer1_; }
    // The list refresh of Timer1, also run directly by tests.
    void timer1Tick();

    // Widgets by their form names.
    QTreeWidget* treeClass() const { return tree_; }
    QTableWidget* listViewtask() const { return list_; }
    QTabWidget* pageControlTaskData() const { return pages_; }
    QTextBrowser* wbMain() const { return browser_; }
    QToolBar* toolBarMain() const { return toolbar_widget_; }
    QLabel* statusPanel(int i) const { return status_[i]; }
    // A tool-bar, menu or pop-up action by its caption, e.g. " 运行 " or "运行任务".
    QAction* action(const QString& caption) const;
    QMenu* treePopup() const { return treePopup_; }
    QMenu* listPopup() const { return listPopup_; }
    QMenu* tabPopup() const { return tabPopup_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct Tab;

    void buildActions();
    void buildMenus();
    void buildToolBar();
    void buildWidgets();
    void readWindowSettings();
    void loadStartPage();

    void rebuildTree(const std::string& selectId);
    void addTreeChildren(QTreeWidgetItem* parent, std::string_view id);
    QTreeWidgetItem* treeItem(std::string_view id) const;
    void saveCategories();
    int execDialog(QDialog& dialog);
    // Runs a category dialog on the selected node ('allowed': the check before it opens);
    // after "确定" the tree is rebuilt and the store written.
    void categoryDialog(const std::function<std::unique_ptr<QDialog>(const std::string& id)>& make,
                        CategoryResult (CategoryStore::*allowed)(std::string_view) const = nullptr);

    void categoryChanged();
    void listLibrary();
    void listRunning();
    void taskRowChanged();
    void tabChanged(int index);
    void syncWithActiveTab();
    void applyTabState(const Tab& tab);
    // Pause or stop of the selected task's tab.
    void controlSelected(engine::RunCommand command, const char* noSelection);

    Tab* tabOf(const std::string& captionGbk) const;
    Tab* tabAt(int pageIndex) const;
    // Opens a new task tab and starts its run; null when the frame could not be made.
    Tab* openTab(const std::string& nameGbk, const std::string& text, bool fromTemplate);
    void freeTab(Tab* tab);
    // The export dialog of a tab's grid (the hook's, or the real one).
    void openExport(run::TFrameTaskData& frame, int kind, const std::string& accessFile = {},
                    const std::string& accessTable = {});
    int rowOf(const std::string& nameGbk) const;
    void fillRunningRow(int row, const Tab& tab);
    void setRowIcon(int row, int image);

    engine::Environment env_;
    Options options_;
    Hooks hooks_;
    std::unique_ptr<run::ui::MessageBoxes> boxes_;
    UserMessages* messages_;
    CategoryStore categories_;
    ToolbarState toolbar_;
    std::vector<std::unique_ptr<Tab>> tabs_;
    std::set<std::string> autoRunTasks_;
    bool syncing_ = false;
    bool shownOnce_ = false;
    bool minHide_ = false;
    int tabSerial_ = 0;

    QTreeWidget* tree_ = nullptr;
    QTableWidget* list_ = nullptr;
    QTabWidget* pages_ = nullptr;
    QTextBrowser* browser_ = nullptr;
    QToolBar* toolbar_widget_ = nullptr;
    QToolButton* newButton_ = nullptr;
    QLabel* status_[3] = {};
    QMenu* treePopup_ = nullptr;
    QMenu* listPopup_ = nullptr;
    QMenu* tabPopup_ = nullptr;
    std::vector<QAction*> actions_;
    QList<QAction*> treeActions_;
    QSystemTrayIcon* tray_ = nullptr;
    ToolTipTime* toolTips_ = nullptr;
    int toolTipMs_ = 20000;
    QTimer timer1_;
};

} // namespace tarvimo::app::ui
