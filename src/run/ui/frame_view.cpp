#include "run/ui/frame_view.h"

#include "engine/contact_rows.h"
#include "run/column_export.h"
#include "run/qt_text.h"
#include "run/ui/message_boxes.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QScrollBar>
#include <QSplitter>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace tarvimo::run::ui {

namespace {

// Paints a cell the grid marks as an invalid mobile number red with white text, 2 pixels in
// from the left and top, while the automatic check is on; every other cell as usual.
class GridDelegate : public QStyledItemDelegate {
public:
    GridDelegate(const QCheckBox* autocheck, QObject* parent) : QStyledItemDelegate(parent), autocheck_(autocheck) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        if (!autocheck_->isChecked() || !index.data(ResultGrid::InvalidMobileRole).toBool()) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        painter->save();
        painter->fillRect(option.rect, QColor(255, 0, 0));
        painter->setPen(QColor(255, 255, 255));
        painter->setFont(option.font);
        const QRect text = option.rect.adjusted(2, 2, 0, 0);
        painter->setClipRect(option.rect);
        painter->drawText(text, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                          option.fontMetrics.elidedText(index.data().toString(), Qt::ElideRight, text.width()));
        painter->restore();
    }

private:
    const QCheckBox* autocheck_;
};

// The message list's lines: the status line (0) dark green, the others blue, a selected
// line white.
class MessageDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->palette.setColor(QPalette::Text, index.row() == 0 ? QColor(0, 128, 0) : QColor(0, 0, 255));
        option->palette.setColor(QPalette::HighlightedText, QColor(255, 255, 255));
    }
};

// The rows' header: a narrow handle to drag a row by, without numbers (column 0 holds
// the serial numbers). Its width does not depend on the row count, so the columns laid
// out for a run keep fitting however many rows come.
class RowHandles : public QHeaderView {
public:
    static constexpr int kWidth = 12;
    explicit RowHandles(QWidget* parent) : QHeaderView(Qt::Vertical, parent) { setFixedWidth(kWidth); }

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override
    {
        if (!rect.isValid())
            return;
        QStyleOptionHeader option;
        initStyleOption(&option);
        initStyleOptionForIndex(&option, logicalIndex);
        option.rect = rect;
        option.text.clear();
        style()->drawControl(QStyle::CE_Header, &option, painter, this);
    }
    QSize sectionSizeFromContents(int) const override { return {kWidth, defaultSectionSize()}; }
};

bool atBottom(const QScrollBar* bar) { return bar->value() >= bar->maximum(); }

} // namespace

FrameView::FrameView(TFrameTaskData& frame, QWidget* parent, UserMessages* messages, Hooks hooks)
    : QWidget(parent), frame_(frame), messages_(messages), hooks_(std::move(hooks)),
      viewState_(frame.grid().gridColumnCount())
{
    if (!messages_) {
        boxes_ = std::make_unique<MessageBoxes>(this);
        messages_ = boxes_.get();
    }
    if (!hooks_.chooseTextFile)
        hooks_.chooseTextFile = [this] {
            return QFileDialog::getSaveFileName(this, QString(), QString(), q("文本文件 (*.txt)")).toStdString();
        };
    if (!hooks_.openFile)
        hooks_.openFile = [](const std::string& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(q(path))); };
    if (!hooks_.openUrl)
        hooks_.openUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); };

    autocheck_ = new QCheckBox(this);
    buildGrid();

    memo_ = new QPlainTextEdit(this);
    memo_->setObjectName("MemoDetail");
    memo_->setReadOnly(true);
    memo_->setFixedHeight(memo_->fontMetrics().lineSpacing() * 2 + 2 * memo_->frameWidth() + 8);

    list_ = new QListWidget(this);
    list_->setObjectName("ListBoxInfo");
    list_->setItemDelegate(new MessageDelegate(list_));
    list_->setUniformItemSizes(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->hide();

    splitter_ = new QSplitter(Qt::Vertical, this);
    splitter_->addWidget(grid_);
    splitter_->addWidget(list_);
    splitter_->setStretchFactor(0, 3);
    splitter_->setStretchFactor(1, 1);
    splitter_->setChildrenCollapsible(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(splitter_, 1);
    layout->addWidget(memo_);
    buildPanel();
    buildStatus();

    counterTimer_.setSingleShot(true);
    counterTimer_.setInterval(kCounterRefreshMs);
    connect(&counterTimer_, &QTimer::timeout, this, [this] {
        if (!countersDirty_)
            return;
        countersDirty_ = false;
        refreshCounters();
        counterTimer_.start();
    });

    connect(&frame_, &TFrameTaskData::runStarted, this, &FrameView::runStarted);
    connect(&frame_, &TFrameTaskData::runEnded, this, &FrameView::countersChanged);
    connect(&frame_, &TFrameTaskData::countersChanged, this, &FrameView::countersChanged);
    connect(&frame_, &TFrameTaskData::messageAdded, this, &FrameView::showMessage);

    syncMessages();
    applyWidths();
    refreshCounters();
    // A view made for a frame whose run is under way takes the run's layout.
    if (!frame_.masters().empty())
        runStarted();
}

FrameView::~FrameView()
{
    // The grid model and the frame outlive the view, and the children go after this body:
    // nothing they send while going (an open editor committing its text, say) may reach
    // a view that is half gone.
    QObject::disconnect(&frame_.grid(), nullptr, this, nullptr);
    QObject::disconnect(&frame_, nullptr, this, nullptr);
    for (QObject* child : findChildren<QObject*>())
        QObject::disconnect(child, nullptr, this, nullptr);
}

QAbstractButton* FrameView::speedButton1() { return mobilesButton_; }
QAbstractButton* FrameView::speedButton2() { return allButton_; }

void FrameView::buildGrid()
{
    ResultGrid& model = frame_.grid();
    grid_ = new QTableView(this);
    grid_->setObjectName("StringGridData");
    grid_->setModel(&model);
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                           QAbstractItemView::AnyKeyPressed);
    grid_->setWordWrap(false);
    grid_->setItemDelegate(new GridDelegate(autocheck_, grid_));
    grid_->setContextMenuPolicy(Qt::CustomContextMenu);

    // Every row the same fixed height and no measuring of contents anywhere: the view
    // then never walks the rows, however many there are.
    auto* rows = new RowHandles(grid_);
    grid_->setVerticalHeader(rows);
    rows->setMinimumSectionSize(1);
    rows->setDefaultSectionSize(kRowHeight);
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setSectionsMovable(true);
    QHeaderView* columns = grid_->horizontalHeader();
    columns->setMinimumSectionSize(8);
    columns->setDefaultSectionSize(GridViewState::kDefaultWidth);
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->setStretchLastSection(false);
    columns->setHighlightSections(false);
    connect(columns, &QHeaderView::sectionResized, this,
            [this](int column, int, int width) { viewState_.setColumnWidth(column, width); });

    connect(&model, &QAbstractItemModel::modelReset, this, [this] {
        applyWidths();
        currentChanged();
        countersChanged();
    });
    // Rows arriving leave the user where they are; only a grid scrolled to its end follows.
    connect(&model, &QAbstractItemModel::rowsAboutToBeInserted, this,
            [this] { followRows_ = followRows_ || atBottom(grid_->verticalScrollBar()); });
    connect(&model, &QAbstractItemModel::rowsInserted, this, [this] {
        countersChanged();
        if (!followRows_ || followQueued_)
            return;
        // One scroll for a burst of rows, once the view has laid them out.
        followQueued_ = true;
        QTimer::singleShot(0, this, [this] {
            followQueued_ = false;
            followRows_ = false;
            grid_->scrollToBottom();
        });
    });
    connect(&model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& from, const QModelIndex& to) {
                const QModelIndex c = grid_->currentIndex();
                if (c.isValid() && c.row() >= from.row() && c.row() <= to.row() && c.column() >= from.column() &&
                    c.column() <= to.column())
                    currentChanged();
            });
    connect(grid_->selectionModel(), &QItemSelectionModel::currentChanged, this, &FrameView::currentChanged);

    grid_->viewport()->installEventFilter(this);
    connect(grid_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { popup_->popup(grid_->viewport()->mapToGlobal(at)); });

    popup_ = new QMenu(this);
    popup_->setObjectName("PopupMenu");
    QAction* close = popup_->addAction(q("关闭该任务区"));
    close->setObjectName("N1");
    // Later, from the application object: the main window may free the view (menu and
    // all) and then the frame on closeAccepted, so no handler of either may be under way.
    connect(close, &QAction::triggered, this, [this] {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [view = QPointer<FrameView>(this)] {
                if (view)
                    view->closeTab();
            },
            Qt::QueuedConnection);
    });
    QAction* exportColumn = popup_->addAction(q("输出选中列内容..."));
    exportColumn->setObjectName("N2");
    connect(exportColumn, &QAction::triggered, this, &FrameView::exportCurrentColumn);
}

void FrameView::buildPanel()
{
    auto* panel = new QWidget(this);
    panel->setObjectName("Panel2");
    autocheck_->setParent(panel);
    autocheck_->setObjectName("cb_autocheck");
    autocheck_->setText(q("自动检测无效手机号 (红色标示)"));
    autocheck_->setChecked(true);
    // The check is always on: a click leaves it checked.
    connect(autocheck_, &QCheckBox::clicked, this, [this] { autocheck_->setChecked(true); });

    showMessages_ = new QCheckBox(q("显示运行信息"), panel);
    showMessages_->setObjectName("cb_showinfo");
    connect(showMessages_, &QCheckBox::toggled, this, [this](bool on) {
        list_->setVisible(on);
        if (on)
            list_->scrollToBottom();
    });

    mobilesButton_ = new QToolButton(panel);
    mobilesButton_->setObjectName("SpeedButton1");
    mobilesButton_->setText(q("只输出手机号"));
    connect(mobilesButton_, &QToolButton::clicked, this, &FrameView::exportMobiles);
    allButton_ = new QToolButton(panel);
    allButton_->setObjectName("SpeedButton2");
    allButton_->setText(q("全部输出"));
    connect(allButton_, &QToolButton::clicked, this, &FrameView::exportAllRequested);

    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(4, 0, 4, 0);
    row->addWidget(autocheck_);
    row->addSpacing(12);
    row->addWidget(showMessages_);
    row->addStretch(1);
    row->addWidget(mobilesButton_);
    row->addWidget(allButton_);
    static_cast<QVBoxLayout*>(layout())->addWidget(panel);
}

void FrameView::buildStatus()
{
    auto* strip = new QWidget(this);
    strip->setObjectName("StatusStrip");
    rowsLabel_ = new QLabel(strip);
    rowsLabel_->setObjectName("LabelRows");
    timeLabel_ = new QLabel(strip);
    timeLabel_->setObjectName("LabelTime");
    failedLabel_ = new QLabel(strip);
    failedLabel_->setObjectName("LabelFailed");
    progress_ = new QProgressBar(strip);
    progress_->setObjectName("Gauge");
    progress_->setRange(0, 100);
    progress_->setFixedWidth(220);
    auto* row = new QHBoxLayout(strip);
    row->setContentsMargins(4, 0, 4, 2);
    row->setSpacing(24);
    row->addWidget(rowsLabel_);
    row->addWidget(timeLabel_);
    row->addWidget(failedLabel_);
    row->addStretch(1);
    row->addWidget(progress_);
    static_cast<QVBoxLayout*>(layout())->addWidget(strip);
}

// ---- Layout -----------------------------------------------------------------------------

int FrameView::layoutType() const
{
    const auto& masters = frame_.masters();
    if (masters.empty())
        return -1;
    const engine::TtaskMaster& first = *masters.front().second;
    if (first.loaded() && first.siteCode() == engine::kNoSite)
        return -1;
    return first.taktype();
}

void FrameView::runStarted()
{
    pendingLayout_ = layoutType();
    applyPendingLayout();
    countersChanged();
}

void FrameView::applyPendingLayout()
{
    // The last column takes the grid's room, which is known once the view is on the screen.
    if (!pendingLayout_ || !isVisible())
        return;
    int width = grid_->viewport()->width();
    // Leave room for the scroll bar the rows will bring, so the columns still fit then.
    if (!grid_->verticalScrollBar()->isVisible())
        width -= style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, grid_);
    viewState_.applyRunLayout(*pendingLayout_, frame_.grid().gridColumnCount(), width);
    pendingLayout_.reset();
    applyWidths();
}

void FrameView::applyWidths()
{
    const int columns = frame_.grid().gridColumnCount();
    if (viewState_.columnCount() != columns)
        viewState_.setColumnCount(columns);
    // Copied first: resizing a section reports back into the state.
    std::vector<int> widths;
    for (int c = 0; c < columns; ++c)
        widths.push_back(viewState_.columnWidth(c));
    for (int c = 0; c < columns; ++c)
        grid_->horizontalHeader()->resizeSection(c, widths[static_cast<std::size_t>(c)]);
}

void FrameView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    applyPendingLayout();
}

void FrameView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    applyPendingLayout();
}

// ---- Grid interactions ------------------------------------------------------------------

void FrameView::currentChanged()
{
    const QModelIndex c = grid_->currentIndex();
    if (!c.isValid()) {
        memo_->clear();
        return;
    }
    viewState_.setCurrentCell(c.row() + 1, c.column());
    const QString text = c.data().toString();
    if (memo_->toPlainText() != text)
        memo_->setPlainText(text);
}

bool FrameView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == grid_->viewport()) {
        if (event->type() == QEvent::MouseButtonPress) {
            // Any button makes the cell under it the current one, so the popup menu acts on
            // the cell it was opened over.
            const auto* mouse = static_cast<QMouseEvent*>(event);
            const QModelIndex at = grid_->indexAt(mouse->position().toPoint());
            if (at.isValid() && mouse->button() != Qt::LeftButton)
                grid_->selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect |
                                                                 QItemSelectionModel::Rows);
        } else if (event->type() == QEvent::MouseButtonDblClick) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            const QModelIndex at = grid_->indexAt(mouse->position().toPoint());
            if (at.isValid()) {
                const std::string link = frame_.grid().linkAt(at.row() + 1, at.column());
                if (!link.empty()) {
                    // An address opens in the browser instead of the cell's editor.
                    hooks_.openUrl(QUrl(fromGbk(link), QUrl::TolerantMode));
                    return true;
                }
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FrameView::closeTab()
{
    if (frame_.requestClose())
        emit closeAccepted();
}

void FrameView::exportCurrentColumn() { columnExport(viewState_.currentColumn(), false); }

void FrameView::exportMobiles() { columnExport(-1, true); }

void FrameView::columnExport(int column, bool mobileOnly)
{
    run::exportColumn(frame_.grid(), column, mobileOnly, *messages_, ColumnExportHooks{hooks_.chooseTextFile, hooks_.openFile});
}

// ---- Message list -----------------------------------------------------------------------

void FrameView::syncMessages()
{
    list_->clear();
    for (const auto& line : frame_.messages())
        list_->addItem(q(line));
    list_->scrollToBottom();
}

void FrameView::showMessage(int line)
{
    const auto& lines = frame_.messages();
    const int count = list_->count();
    if (static_cast<int>(lines.size()) < count) {
        syncMessages();  // the list was begun anew (a restart)
        return;
    }
    // The status line is rewritten in place; other lines only ever arrive at the end.
    if (line >= 0 && line < count)
        list_->item(line)->setText(q(lines[static_cast<std::size_t>(line)]));
    if (static_cast<int>(lines.size()) == count)
        return;
    const bool follow = atBottom(list_->verticalScrollBar());
    for (std::size_t i = static_cast<std::size_t>(count); i < lines.size(); ++i)
        list_->addItem(q(lines[i]));
    if (follow)
        list_->scrollToBottom();
}

// ---- Counters ---------------------------------------------------------------------------

void FrameView::countersChanged()
{
    if (counterTimer_.isActive()) {
        countersDirty_ = true;
        return;
    }
    refreshCounters();
    counterTimer_.start();
}

void FrameView::refreshCounters()
{
    const std::string elapsed = elapsedText(frame_.elapsedSeconds());
    rowsLabel_->setText(q("采集数量：") + QString::number(frame_.grid().dataRowCount()));
    timeLabel_->setText(q("用时：") + q(elapsed.empty() ? "0秒" : elapsed));
    failedLabel_->setText(q("失败页面：") + QString::number(frame_.failedPages()));
    progress_->setValue(frame_.progressPercent());
}

} // namespace tarvimo::run::ui
