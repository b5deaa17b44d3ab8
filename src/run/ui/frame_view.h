// The widgets of one run frame on its task tab: the result grid StringGridData over the
// frame's ResultGrid (invalid mobile numbers painted red), MemoDetail with the current
// cell's text, the message list ListBoxInfo (hidden until "显示运行信息" is ticked), Panel2
// with cb_autocheck and the buttons SpeedButton1 "只输出手机号" and SpeedButton2 "全部输出",
// the grid's popup menu PopupMenu, and a status strip with the row count, the elapsed
// time, the failed pages and the progress gauge.
//
// The logic is the frame's (TFrameTaskData); this only shows it and passes the user's
// commands on. Main thread only. The view never outlives its frame: the main window frees
// the view first, then the frame.
#pragma once

#include "run/frame_task_data.h"
#include "run/ui/grid_view_state.h"

#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <string>

class QAbstractButton;
class QCheckBox;
class QLabel;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QSplitter;
class QTableView;
class QToolButton;

namespace tarvimo::run::ui {

class MessageBoxes;

class FrameView : public QWidget {
    Q_OBJECT
public:
    // What the view asks of the desktop. Empty members take the desktop's own (Qt's save
    // dialog, QDesktopServices); tests put recorders in their place.
    struct Hooks {
        std::function<std::string()> chooseTextFile;           // save dialog for a text file; "" cancels
        std::function<void(const std::string& path)> openFile; // open with the default program
        std::function<void(const QUrl&)> openUrl;              // the default browser
    };

    // Row height of the grid, fixed and the same for every row so 100 000 rows stay fast.
    static constexpr int kRowHeight = 16;
    // The counters and the gauge are redrawn at most this often.
    static constexpr int kCounterRefreshMs = 200;

    // 'messages' null: message boxes owned by the view.
    FrameView(TFrameTaskData& frame, QWidget* parent = nullptr, UserMessages* messages = nullptr, Hooks hooks = {});
    ~FrameView() override;

    TFrameTaskData& frame() { return frame_; }

    QTableView* stringGridData() { return grid_; }
    QListWidget* listBoxInfo() { return list_; }
    QPlainTextEdit* memoDetail() { return memo_; }
    QCheckBox* cbAutocheck() { return autocheck_; }
    QCheckBox* showMessages() { return showMessages_; }
    QAbstractButton* speedButton1();
    QAbstractButton* speedButton2();
    QMenu* popupMenu() { return popup_; }
    QLabel* rowsLabel() { return rowsLabel_; }
    QLabel* timeLabel() { return timeLabel_; }
    QLabel* failedLabel() { return failedLabel_; }
    QProgressBar* progressBar() { return progress_; }
    GridViewState& viewState() { return viewState_; }

    // The close command ("关闭该任务区"): asks the frame, which says why when it refuses;
    // when it agrees, emits closeAccepted(). The popup menu's item calls it from the event
    // loop, outside every handler of the view and the frame, so a receiver may free both.
    void closeTab();
    // The column export of the current cell's column, all values ("输出选中列内容...").
    void exportCurrentColumn();
    // The column export of the mobile-number column, mobile numbers only ("只输出手机号").
    void exportMobiles();

signals:
    // "全部输出": the main window runs its text export on this grid.
    void exportAllRequested();
    // The frame agreed to close: the main window frees the tab (view first, then frame).
    void closeAccepted();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildGrid();
    void buildPanel();
    void buildStatus();
    // The taktype whose column layout the run's grid has: the company and mobile-number
    // tables for the run's own task when it collects a directory site, none (-1) for a
    // task that shows its own rules' columns.
    int layoutType() const;
    void runStarted();
    void applyPendingLayout();
    void applyWidths();
    void currentChanged();
    void showMessage(int line);
    void syncMessages();
    void countersChanged();
    void refreshCounters();
    void columnExport(int column, bool mobileOnly);

    TFrameTaskData& frame_;
    std::unique_ptr<MessageBoxes> boxes_;
    UserMessages* messages_;
    Hooks hooks_;
    GridViewState viewState_;
    std::optional<int> pendingLayout_;  // a run's layout waiting for the grid's real width
    bool followRows_ = false;           // the grid was at its bottom when rows came
    bool followQueued_ = false;

    QSplitter* splitter_ = nullptr;
    QTableView* grid_ = nullptr;
    QListWidget* list_ = nullptr;
    QPlainTextEdit* memo_ = nullptr;
    QCheckBox* autocheck_ = nullptr;
    QCheckBox* showMessages_ = nullptr;
    QToolButton* mobilesButton_ = nullptr;
    QToolButton* allButton_ = nullptr;
    QMenu* popup_ = nullptr;
    QLabel* rowsLabel_ = nullptr;
    QLabel* timeLabel_ = nullptr;
    QLabel* failedLabel_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QTimer counterTimer_;
    bool countersDirty_ = false;
};

} // namespace tarvimo::run::ui
