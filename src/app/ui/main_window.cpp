#include "app/ui/main_window.h"

#include "app/task_library.h"
#include "app/ui/about_dialog.h"
#include "app/ui/category_dialogs.h"
#include "app/ui/options_dialog.h"
#include "base/home.h"
#include "directory/task_creator.h"
#include "directory/ui/search_dialog.h"
#include "output/auto_save.h"
#include "output/grid_export.h"
#include "output/ui/data_query_dialog.h"
#include "output/ui/db_dialogs.h"
#include "output/ui/export_dialog.h"
#include "run/frame_task_data.h"
#include "run/qt_text.h"
#include "run/ui/frame_view.h"
#include "run/ui/message_boxes.h"
#include "store/settings.h"
#include "store/task_paths.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QHelpEvent>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QToolTip>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProcess>
#include <QScreen>
#include <QGuiApplication>
#include <QSplitter>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyle>
#include <QStyleFactory>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextBrowser>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace tarvimo::app::ui {

namespace {

// The images of the task list and the tree, by the numbers the rules name them with.
QIcon image(int index)
{
    QStyle* s = QApplication::style();
    switch (index) {
    case 0:
        return s->standardIcon(QStyle::SP_ComputerIcon);
    case 1:
        return s->standardIcon(QStyle::SP_DirHomeIcon);
    case 2:
        return s->standardIcon(QStyle::SP_DirIcon);
    case 4:
        return s->standardIcon(QStyle::SP_FileIcon);
    case 6:
        return s->standardIcon(QStyle::SP_MediaStop);
    case 7:
        return s->standardIcon(QStyle::SP_MediaPause);
    case 8:
        return s->standardIcon(QStyle::SP_MediaPlay);
    case 12:
        return s->standardIcon(QStyle::SP_BrowserReload);
    default:
        return s->standardIcon(QStyle::SP_DirClosedIcon);
    }
}

int treeImage(std::string_view id)
{
    if (id == kRootId)
        return 0;
    if (id == kAllTasksId)
        return 1;
    if (id == kRunningId || id == kRemovedId)
        return 2;
    return 3;
}

QByteArray bytes(const std::string& s) { return QByteArray::fromStdString(s); }

// The desktop's text editor and calculator, when one is installed.
QString firstProgram(std::initializer_list<const char*> names)
{
    for (const char* n : names)
        if (QString p = QStandardPaths::findExecutable(QString::fromLatin1(n)); !p.isEmpty())
            return p;
    return {};
}

enum Column { kName, kClass, kType, kCount, kProgress, kElapsed, kRemark, kColumns };

} // namespace

// A tool tip stays up for the time the settings give (hinthindPause), not Qt's default.
class ToolTipTime : public QObject {
public:
    explicit ToolTipTime(QObject* parent) : QObject(parent) {}
    int displayMs = 20000;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* w = qobject_cast<QWidget*>(watched);
        if (event->type() != QEvent::ToolTip || !w || w->toolTip().isEmpty())
            return false;
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), w->toolTip(), w, {}, displayMs);
        return true;
    }
};

// One task tab: its page, the run frame and the frame's view and automatic save.
struct TmainForm::Tab {
    // The view goes before the frame it shows; the frame stops and joins its workers.
    ~Tab() { delete page.data(); }
    std::string caption;  // GBK
    QPointer<QWidget> page;
    run::ui::FrameView* view = nullptr;
    std::unique_ptr<run::TFrameTaskData> frame;
    std::unique_ptr<output::AutoSave> autoSave;
};

TmainForm::TmainForm(engine::Environment env, Options options, Hooks hooks, QWidget* parent)
    : QMainWindow(parent), env_(std::move(env)), options_(std::move(options)), hooks_(std::move(hooks)),
      categories_((std::filesystem::path(env_.home) / "DefaultCDB.cdb").string(), options_.programName)
{
    setObjectName("TmainForm");
    if (hooks_.messages) {
        messages_ = hooks_.messages;
    } else {
        boxes_ = std::make_unique<run::ui::MessageBoxes>(this);
        messages_ = boxes_.get();
    }
    buildActions();
    buildWidgets();
    buildMenus();
    buildToolBar();

    categories_.load();
    rebuildTree(std::string(kAllTasksId));
    pages_->setCurrentIndex(0);
    readWindowSettings();
    if (options_.copySystemProxy)
        copySystemProxy(env_.settingsPath, systemProxy(options_.getenv ? options_.getenv : [](const char* n) {
                            return static_cast<const char*>(std::getenv(n));
                        }));
    loadStartPage();

    setWindowTitle(q(kProductTitle));
    status_[1]->setText(q("登录时间"));
    status_[2]->setText(QDateTime::currentDateTime().toString("yyyy-MM-dd hh:mm:ss"));
    // Where no window manager maximises, the window still fills the screen.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        setGeometry(screen->availableGeometry());
    setWindowState(windowState() | Qt::WindowMaximized);

    toolTips_ = new ToolTipTime(this);
    toolTips_->displayMs = toolTipMs_;
    qApp->installEventFilter(toolTips_);

    timer1_.setInterval(1000);
    connect(&timer1_, &QTimer::timeout, this, &TmainForm::timer1Tick);
}

TmainForm::~TmainForm()
{
    // The tabs go while the window's own handlers can no longer hear them go.
    pages_->disconnect(this);
    for (const auto& t : tabs_)
        t->frame->disconnect(this);
    tabs_.clear();
}

// ---- Building -------------------------------------------------------------------------

void TmainForm::buildActions()
{
    auto add = [this](const char* caption, auto slot, QStyle::StandardPixmap icon = QStyle::SP_CustomBase) {
        auto* a = new QAction(q(caption), this);
        if (icon != QStyle::SP_CustomBase)
            a->setIcon(style()->standardIcon(icon));
        connect(a, &QAction::triggered, this, slot);
        actions_.push_back(a);
        return a;
    };
    auto exportText = [this] { exportActive(output::kTextFile); };
    auto exportBook = [this] { exportActive(output::kWorkbook); };
    auto exportDb = [this] { exportActive(output::kDatabase); };
    auto wizard = [this] { openSearchWizard(false); };
    auto about = [this] { showAboutBox(this); };
    auto quit = [this] { close(); };

    // Tool bar.
    add(" 新建 ", wizard, QStyle::SP_FileDialogNewFolder);
    add(" 删除 ", &TmainForm::deleteTask, QStyle::SP_TrashIcon);
    add(" 运行 ", &TmainForm::runTask, QStyle::SP_MediaPlay);
    add(" 暂停 ", &TmainForm::pauseTask, QStyle::SP_MediaPause);
    add(" 停止 ", &TmainForm::stopTask, QStyle::SP_MediaStop);
    add(" 文本 ", exportText, QStyle::SP_FileIcon);
    add(" Excel ", exportBook, QStyle::SP_FileDialogDetailedView);
    add(" 数据库 ", exportDb, QStyle::SP_DriveHDIcon);
    add(" 关于 ", about, QStyle::SP_MessageBoxInformation);
    add(" 退出 ", quit, QStyle::SP_DialogCloseButton);
    // The drop-down of " 新建 ".
    add("搜索企业名录", wizard);
    add("搜索纯手机号", [this] { openSearchWizard(true); });
    // Menus.
    add("新建任务...", wizard);
    add("数据输出到文本", exportText);
    add("数据输出到Excel", exportBook);
    add("数据输出到Access", &TmainForm::exportToAccess);
    add("退出", quit);
    add("新建任务", wizard);
    add("删除任务", &TmainForm::deleteTask);
    add("运行任务", &TmainForm::runTask);
    add("暂停任务", &TmainForm::pauseTask);
    add("停止任务", &TmainForm::stopTask);
    add("关闭当前任务区", &TmainForm::closeActiveTab);
    add("配置连接", [this] {
        if (hooks_.dbSetDialog)
            hooks_.dbSetDialog();
        else
            output::ui::execDbSetDialog(this, env_.settingsPath);
    });
    add("导入数据库", exportDb);
    add("数据查询", [this] {
        if (hooks_.dataQueryDialog)
            hooks_.dataQueryDialog();
        else
            output::ui::execDataQueryDialog(this, env_.settingsPath);
    });
    add("选项", &TmainForm::openOptions);
    add("用户手册", &TmainForm::openManual);
    add("关于...", about);
    // Pop-ups.
    add("运行", &TmainForm::runTask);
    add("暂停", &TmainForm::pauseTask);
    add("停止", &TmainForm::stopTask);
    add("删除", &TmainForm::deleteTask);
    add("关闭(&E)", &TmainForm::closeActiveTab);
    // The tree's pop-up; its "删除" is found through treePopup(), action() finds the task list's.
    treeActions_ = {add("新建", &TmainForm::newCategory), add("删除", &TmainForm::deleteCategory),
                    add("转移到", &TmainForm::moveCategory), add("属性", &TmainForm::categoryProperties)};
}

QAction* TmainForm::action(const QString& caption) const
{
    for (QAction* a : actions_)
        if (a->text() == caption)
            return a;
    return nullptr;
}

void TmainForm::buildWidgets()
{
    tree_ = new QTreeWidget;
    tree_->setObjectName("TreeClass");
    tree_->setHeaderHidden(true);
    tree_->setContextMenuPolicy(Qt::CustomContextMenu);
    tree_->setMinimumWidth(180);

    list_ = new QTableWidget(0, kColumns);
    list_->setObjectName("ListViewtask");
    list_->setHorizontalHeaderLabels({q("任务名称"), q("所属类别"), q("类型"), q("采集数量"), q("进度估算"), q("用时"),
                                      q("注释")});
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->verticalHeader()->hide();
    list_->verticalHeader()->setDefaultSectionSize(22);
    list_->horizontalHeader()->setStretchLastSection(true);
    list_->setColumnWidth(kName, 200);
    list_->setColumnWidth(kClass, 110);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);

    pages_ = new QTabWidget;
    pages_->setObjectName("PageControlTaskData");
    browser_ = new QTextBrowser;
    browser_->setObjectName("WBmain");
    browser_->setOpenExternalLinks(true);
    auto* startPage = new QWidget;
    startPage->setObjectName("netTabSheetIE");
    auto* startLayout = new QVBoxLayout(startPage);
    startLayout->setContentsMargins(0, 0, 0, 0);
    startLayout->addWidget(browser_);
    pages_->addTab(startPage, q(kProductTitle));
    pages_->tabBar()->setContextMenuPolicy(Qt::CustomContextMenu);

    auto* right = new QSplitter(Qt::Vertical);
    right->addWidget(list_);
    right->addWidget(pages_);
    right->setStretchFactor(0, 1);
    right->setStretchFactor(1, 4);
    auto* main = new QSplitter(Qt::Horizontal);
    main->addWidget(tree_);
    main->addWidget(right);
    main->setStretchFactor(0, 0);
    main->setStretchFactor(1, 1);
    main->setSizes({200, 1000});
    right->setSizes({170, 600});
    setCentralWidget(main);

    for (auto*& panel : status_) {
        panel = new QLabel;
        panel->setMinimumWidth(120);
    }
    statusBar()->addWidget(status_[0], 1);
    statusBar()->addPermanentWidget(status_[1]);
    statusBar()->addPermanentWidget(status_[2]);

    connect(tree_, &QTreeWidget::currentItemChanged, this, &TmainForm::categoryChanged);
    connect(list_, &QTableWidget::itemSelectionChanged, this, &TmainForm::taskRowChanged);
    connect(pages_, &QTabWidget::currentChanged, this, &TmainForm::tabChanged);
    // A click on the tab already shown re-selects its row too.
    connect(pages_, &QTabWidget::tabBarClicked, this, [this](int index) {
        if (index == pages_->currentIndex())
            tabChanged(index);
    });
    connect(browser_, &QTextBrowser::sourceChanged, this, [this] { status_[0]->setText(q("就绪")); });
}

void TmainForm::buildMenus()
{
    auto* file = menuBar()->addMenu(q("文件(&F)"));
    file->addAction(action(q("新建任务...")));
    file->addSeparator();
    file->addAction(action(q("数据输出到文本")));
    file->addAction(action(q("数据输出到Excel")));
    file->addAction(action(q("数据输出到Access")));
    file->addSeparator();
    file->addAction(action(q("退出")));

    auto* view = menuBar()->addMenu(q("查看(&V)"));
    auto* showBar = view->addAction(q("工具栏"));
    showBar->setCheckable(true);
    showBar->setChecked(true);
    actions_.push_back(showBar);
    auto* showText = view->addAction(q("工具栏文字"));
    showText->setCheckable(true);
    actions_.push_back(showText);
    auto* grid = view->addAction(q("网格"));
    grid->setCheckable(true);
    actions_.push_back(grid);
    auto* styles = view->addMenu(q("窗口样式"));
    auto* group = new QActionGroup(this);
    for (const char* caption : {"无", "XP式", "自定义..."}) {
        auto* a = styles->addAction(q(caption));
        a->setCheckable(true);
        group->addAction(a);
        actions_.push_back(a);
    }
    connect(showBar, &QAction::toggled, this, [this](bool on) { toolbar_widget_->setVisible(on); });
    connect(showText, &QAction::toggled, this, [this](bool on) {
        toolbar_widget_->setToolButtonStyle(on ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonIconOnly);
    });
    connect(grid, &QAction::toggled, list_, &QTableWidget::setShowGrid);
    auto writeStyle = [this](int formStyle, const QString& file) {
        try {
            store::settings::writeFormStyle(env_.settingsPath, formStyle, toGbk(file));
        } catch (const std::exception& e) {
            messages_->warning(std::string("无法保存窗口样式: ") + e.what());
        }
    };
    connect(action(q("无")), &QAction::triggered, this, [writeStyle] {
        applyWindowStyle(1, {});
        writeStyle(1, {});
    });
    connect(action(q("XP式")), &QAction::triggered, this, [writeStyle] {
        applyWindowStyle(2, {});
        writeStyle(2, {});
    });
    connect(action(q("自定义...")), &QAction::triggered, this, [this, writeStyle] {
        const QString file =
            QFileDialog::getOpenFileName(this, q("窗口样式"), {}, output::ui::qtFilter("皮肤文件(*.Skn)|*.Skn"));
        if (file.isEmpty())
            return;
        if (!applyWindowStyle(0, file))
            messages_->warning("无法读取皮肤文件 " + file.toStdString());
        else
            writeStyle(0, file);
    });

    auto* tasks = menuBar()->addMenu(q("任务(&J)"));
    for (const char* caption : {"新建任务", "删除任务", "运行任务", "暂停任务", "停止任务", "关闭当前任务区"})
        tasks->addAction(action(q(caption)));

    auto* db = menuBar()->addMenu(q("数据库(&D)"));
    for (const char* caption : {"配置连接", "导入数据库", "数据查询"})
        db->addAction(action(q(caption)));

    auto* tools = menuBar()->addMenu(q("工具(&T)"));
    tools->addAction(action(q("选项")));
    const QString editor = firstProgram({"gnome-text-editor", "gedit", "mousepad", "kate", "kwrite", "xed", "pluma",
                                         "featherpad", "leafpad"});
    const QString calculator =
        firstProgram({"gnome-calculator", "kcalc", "galculator", "mate-calc", "qalculate-gtk", "xcalc"});
    auto start = [this](const QString& program) {
        if (hooks_.startProgram ? !hooks_.startProgram(program) : !QProcess::startDetached(program, {}))
            messages_->warning("无法启动 " + program.toStdString());
    };
    if (!editor.isEmpty() || !calculator.isEmpty())
        tools->addSeparator();
    if (!editor.isEmpty())
        actions_.push_back(tools->addAction(q("记事本"), this, [start, editor] { start(editor); }));
    if (!calculator.isEmpty())
        actions_.push_back(tools->addAction(q("计算器"), this, [start, calculator] { start(calculator); }));

    auto* help = menuBar()->addMenu(q("帮助(&H)"));
    help->addAction(action(q("用户手册")));
    help->addAction(action(q("关于...")));

    treePopup_ = new QMenu(this);
    treePopup_->addActions(treeActions_);
    listPopup_ = new QMenu(this);
    for (const char* caption : {"运行", "暂停", "停止", "删除"})
        listPopup_->addAction(action(q(caption)));
    tabPopup_ = new QMenu(this);
    tabPopup_->addAction(action(q("关闭(&E)")));

    connect(tree_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        // A right click selects the node under the pointer first.
        if (auto* item = tree_->itemAt(pos))
            tree_->setCurrentItem(item);
        treePopup_->popup(tree_->viewport()->mapToGlobal(pos));
    });
    connect(list_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        const bool selected = !selectedTaskName().empty();
        for (QAction* a : listPopup_->actions())
            a->setEnabled(selected);
        listPopup_->popup(list_->viewport()->mapToGlobal(pos));
    });
    connect(pages_->tabBar(), &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        const int index = pages_->tabBar()->tabAt(pos);
        if (index > 0)
            pages_->setCurrentIndex(index);
        tabPopup_->popup(pages_->tabBar()->mapToGlobal(pos));
    });
}

void TmainForm::buildToolBar()
{
    toolbar_widget_ = addToolBar(q("工具栏"));
    toolbar_widget_->setObjectName("ToolBarMain");
    toolbar_widget_->setMovable(false);
    toolbar_widget_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolbar_widget_->setIconSize(QSize(24, 24));

    auto* dropDown = new QMenu(this);
    dropDown->addAction(action(q("搜索企业名录")));
    dropDown->addAction(action(q("搜索纯手机号")));
    QAction* newAction = action(q(" 新建 "));
    newAction->setMenu(dropDown);
    toolbar_widget_->addAction(newAction);
    newButton_ = qobject_cast<QToolButton*>(toolbar_widget_->widgetForAction(newAction));
    if (newButton_)
        newButton_->setPopupMode(QToolButton::MenuButtonPopup);
    for (const char* caption : {" 删除 ", " 运行 ", " 暂停 ", " 停止 "})
        toolbar_widget_->addAction(action(q(caption)));
    toolbar_widget_->addSeparator();
    for (const char* caption : {" 文本 ", " Excel ", " 数据库 "})
        toolbar_widget_->addAction(action(q(caption)));
    toolbar_widget_->addSeparator();
    for (const char* caption : {" 关于 ", " 退出 "})
        toolbar_widget_->addAction(action(q(caption)));
    setToolbarState("0");
}

void TmainForm::readWindowSettings()
{
    namespace k = store::settings::keys;
    auto ini = store::settings::open(env_.settingsPath);
    const bool showText = store::readBool(ini, k::showText);
    const bool showGrid = store::readBool(ini, k::showGrid);
    minHide_ = store::readBool(ini, k::minHide);
    toolTipMs_ = store::readInt(ini, k::hinthindPause) * 1000;
    action(q("工具栏文字"))->setChecked(showText);
    toolbar_widget_->setToolButtonStyle(showText ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonIconOnly);
    action(q("网格"))->setChecked(showGrid);
    list_->setShowGrid(showGrid);
    // Nothing is applied until a style was chosen once.
    const int formStyle = ini.ReadInteger(k::formStyle.section, k::formStyle.key, -1);
    applyWindowStyle(formStyle, fromGbk(store::readString(ini, k::formStyleFile)));
    if (QAction* a = formStyle == 1 ? action(q("无")) : formStyle == 2 ? action(q("XP式"))
                                                     : formStyle == 0 ? action(q("自定义..."))
                                                                      : nullptr)
        a->setChecked(true);
}

void TmainForm::loadStartPage()
{
    const std::string page = startPagePath(env_.home, options_.programDir);
    if (!page.empty())
        browser_->setSource(QUrl::fromLocalFile(QString::fromStdString(page)));
}

// ---- Categories --------------------------------------------------------------------------

void TmainForm::rebuildTree(const std::string& selectId)
{
    const QSignalBlocker block(tree_);
    fillCategoryTree(*tree_, categories_);
    for (QTreeWidgetItemIterator it(tree_); *it; ++it)
        (*it)->setIcon(0, image(treeImage(categoryIdOf(*it))));
    QTreeWidgetItem* item = treeItem(selectId);
    if (!item)
        item = treeItem(kAllTasksId);
    tree_->setCurrentItem(item);
    if (item)
        categoryChanged();
}

QTreeWidgetItem* TmainForm::treeItem(std::string_view id) const { return findCategoryItem(*tree_, id); }

std::string TmainForm::selectedCategoryId() const { return categoryIdOf(tree_->currentItem()); }

void TmainForm::selectCategory(std::string_view id)
{
    if (QTreeWidgetItem* item = treeItem(id)) {
        if (tree_->currentItem() == item)
            categoryChanged();
        else
            tree_->setCurrentItem(item);
    }
}

void TmainForm::saveCategories()
{
    try {
        categories_.save();
    } catch (const std::exception& e) {
        messages_->warning(std::string("类别无法保存: ") + e.what());
    }
}

int TmainForm::execDialog(QDialog& dialog) { return hooks_.execDialog ? hooks_.execDialog(dialog) : dialog.exec(); }

void TmainForm::categoryDialog(const std::function<std::unique_ptr<QDialog>(const std::string& id)>& make,
                               CategoryResult (CategoryStore::*allowed)(std::string_view) const)
{
    const std::string id = selectedCategoryId();
    if (id.empty())
        return;
    if (allowed) {
        if (const auto r = (categories_.*allowed)(id); !r) {
            showCategoryResult(*messages_, r);
            return;
        }
    }
    const auto dialog = make(id);
    if (execDialog(*dialog) != QDialog::Accepted)
        return;
    rebuildTree(id);
    saveCategories();
}

void TmainForm::newCategory()
{
    categoryDialog([this](const std::string& id) {
        return std::make_unique<TnewClassForm>(categories_, TnewClassForm::Mode::Create, id, *messages_, this);
    });
}

void TmainForm::moveCategory()
{
    categoryDialog(
        [this](const std::string& id) {
            return std::make_unique<TnewClassForm>(categories_, TnewClassForm::Mode::Move, id, *messages_, this);
        },
        &CategoryStore::canMove);
}

void TmainForm::categoryProperties()
{
    categoryDialog(
        [this](const std::string& id) { return std::make_unique<TtreeUpdate>(categories_, id, *messages_, this); });
}

void TmainForm::deleteCategory()
{
    const std::string id = selectedCategoryId();
    if (id.empty())
        return;
    if (const auto r = categories_.canRemove(id); !r) {
        showCategoryResult(*messages_, r);
        return;
    }
    if (!messages_->question(kConfirmDelete))
        return;
    const auto parent = categories_.find(id);
    categories_.remove(id);
    rebuildTree(parent ? parent->parentId : std::string(kAllTasksId));
    // Written now too, so a removal is not undone by the next start.
    saveCategories();
}

// ---- The task list -------------------------------------------------------------------------

void TmainForm::categoryChanged()
{
    if (selectedCategoryId() == kRunningId)
        listRunning();
    else
        listLibrary();
}

void TmainForm::listLibrary()
{
    const QSignalBlocker block(list_);
    list_->setRowCount(0);
    const QString className = tree_->currentItem() ? tree_->currentItem()->text(0) : QString();
    const TaskListing listing = listTasks(env_.home);
    list_->setRowCount(static_cast<int>(listing.tasks.size()));
    for (int row = 0; row < static_cast<int>(listing.tasks.size()); ++row) {
        const LibraryTask& t = listing.tasks[static_cast<std::size_t>(row)];
        auto* name = new QTableWidgetItem(image(4), fromGbk(t.name));
        name->setData(Qt::UserRole, bytes(t.name));
        list_->setItem(row, kName, name);
        list_->setItem(row, kClass, new QTableWidgetItem(className));
        list_->setItem(row, kType, new QTableWidgetItem(q(run::taskTypeText(t.taktype))));
        for (int c = kCount; c < kColumns; ++c)
            list_->setItem(row, c, new QTableWidgetItem);
    }
    if (!listing.failedFile.empty())
        messages_->warning(kTaskLoadError);
    setToolbarState("04");
    if (list_->rowCount() > 0)
        list_->selectRow(0);
    else
        setToolbarState("0");
    taskRowChanged();
}

void TmainForm::listRunning()
{
    const QSignalBlocker block(list_);
    list_->setRowCount(static_cast<int>(tabs_.size()));
    for (int row = 0; row < static_cast<int>(tabs_.size()); ++row) {
        for (int c = 0; c < kColumns; ++c)
            list_->setItem(row, c, new QTableWidgetItem);
        fillRunningRow(row, *tabs_[static_cast<std::size_t>(row)]);
    }
    syncWithActiveTab();
}

void TmainForm::fillRunningRow(int row, const Tab& tab)
{
    const run::TFrameTaskData& f = *tab.frame;
    list_->item(row, kName)->setText(fromGbk(tab.caption));
    list_->item(row, kName)->setData(Qt::UserRole, bytes(tab.caption));
    list_->item(row, kClass)->setText(fromGbk(f.className()));
    list_->item(row, kType)->setText(q(f.typeText()));
    list_->item(row, kCount)->setText(QString::number(f.dataRowCount()));
    list_->item(row, kProgress)->setText(QString::number(std::min(f.progressEstimate(), 100)));
    list_->item(row, kElapsed)->setText(q(run::elapsedText(f.elapsedSeconds())));
    list_->item(row, kRemark)->setText(fromGbk(f.remark()));
    int img = 8;
    if (f.runState() == engine::RunStatus::Paused)
        img = 7;
    else if (f.runState() == engine::RunStatus::Ended || f.finished())
        img = 6;
    else if (autoRunTasks_.count(tab.caption))
        img = 12;
    setRowIcon(row, img);
}

void TmainForm::setRowIcon(int row, int img)
{
    if (QTableWidgetItem* item = list_->item(row, kName)) {
        item->setIcon(image(img));
        item->setData(Qt::UserRole + 1, img);
    }
}

int TmainForm::rowOf(const std::string& nameGbk) const
{
    for (int row = 0; row < list_->rowCount(); ++row)
        if (const auto* item = list_->item(row, kName);
            item && item->data(Qt::UserRole).toByteArray() == bytes(nameGbk))
            return row;
    return -1;
}

std::string TmainForm::selectedTaskName() const
{
    const auto rows = list_->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return {};
    const auto* item = list_->item(rows.first().row(), kName);
    return item ? item->data(Qt::UserRole).toByteArray().toStdString() : std::string();
}

void TmainForm::selectTask(const std::string& nameGbk)
{
    if (const int row = rowOf(nameGbk); row >= 0)
        list_->selectRow(row);
}

void TmainForm::taskRowChanged()
{
    if (syncing_)
        return;
    const std::string name = selectedTaskName();
    if (name.empty())
        return;
    setToolbarState("04");
    if (Tab* tab = tabOf(name)) {
        syncing_ = true;
        pages_->setCurrentWidget(tab->page);
        syncing_ = false;
        applyTabState(*tab);
    } else {
        setToolbarState("034");
    }
}

void TmainForm::applyTabState(const Tab& tab)
{
    switch (tab.frame->runState()) {
    case engine::RunStatus::Running:
        setToolbarState("0145");
        break;
    case engine::RunStatus::Paused:
        setToolbarState("0245");
        break;
    case engine::RunStatus::Ended:
        setToolbarState("0345");
        break;
    }
}

void TmainForm::tabChanged(int index)
{
    if (syncing_)
        return;
    if (index <= 0) {
        setToolbarState("0");
        return;
    }
    syncWithActiveTab();
}

void TmainForm::syncWithActiveTab()
{
    Tab* tab = tabAt(pages_->currentIndex());
    if (!tab)
        return;
    syncing_ = true;
    if (const int row = rowOf(tab->caption); row >= 0)
        list_->selectRow(row);
    syncing_ = false;
    applyTabState(*tab);
}

void TmainForm::selectRunningCategory()
{
    selectCategory(kRunningId);
    syncWithActiveTab();
}

void TmainForm::setToolbarState(std::string_view code)
{
    toolbar_ = applyToolbarCode(toolbar_, code);
    for (const char* c : {" 运行 ", "运行任务"})
        action(q(c))->setEnabled(toolbar_.run);
    for (const char* c : {" 暂停 ", "暂停任务"})
        action(q(c))->setEnabled(toolbar_.pause);
    for (const char* c : {" 停止 ", "停止任务"})
        action(q(c))->setEnabled(toolbar_.stop);
    for (const char* c : {" 删除 ", "删除任务"})
        action(q(c))->setEnabled(toolbar_.remove);
    for (const char* c : {" 文本 ", " Excel ", " 数据库 "})
        action(q(c))->setEnabled(toolbar_.exports);
}

void TmainForm::setAutoRunTasks(std::set<std::string> namesGbk) { autoRunTasks_ = std::move(namesGbk); }

void TmainForm::timer1Tick()
{
    for (const auto& tab : tabs_) {
        const int row = rowOf(tab->caption);
        if (row < 0 || list_->columnCount() <= 3 || !list_->item(row, kProgress) ||
            list_->item(row, kProgress)->text().isEmpty())
            continue;
        const run::TFrameTaskData& f = *tab->frame;
        list_->item(row, kCount)->setText(QString::number(f.dataRowCount()));
        if (!f.finished())
            list_->item(row, kElapsed)->setText(q(run::elapsedText(f.elapsedSeconds())));
        else
            setRowIcon(row, 6);
        list_->item(row, kProgress)->setText(QString::number(std::min(f.progressEstimate(), 100)));
    }
}

// ---- Task tabs -----------------------------------------------------------------------------

int TmainForm::pageCount() const { return pages_->count(); }

std::vector<std::string> TmainForm::captions() const
{
    std::vector<std::string> out;
    for (const auto& t : tabs_)
        out.push_back(t->caption);
    return out;
}

TmainForm::Tab* TmainForm::tabOf(const std::string& captionGbk) const
{
    for (const auto& t : tabs_)
        if (t->caption == captionGbk)
            return t.get();
    return nullptr;
}

TmainForm::Tab* TmainForm::tabAt(int pageIndex) const
{
    if (pageIndex <= 0)
        return nullptr;
    QWidget* page = pages_->widget(pageIndex);
    for (const auto& t : tabs_)
        if (t->page == page)
            return t.get();
    return nullptr;
}

run::TFrameTaskData* TmainForm::frameOf(const std::string& captionGbk) const
{
    const Tab* t = tabOf(captionGbk);
    return t ? t->frame.get() : nullptr;
}

output::AutoSave* TmainForm::autoSaveOf(const std::string& captionGbk) const
{
    const Tab* t = tabOf(captionGbk);
    return t ? t->autoSave.get() : nullptr;
}

run::ui::FrameView* TmainForm::viewOf(const std::string& captionGbk) const
{
    const Tab* t = tabOf(captionGbk);
    return t ? t->view : nullptr;
}

run::TFrameTaskData* TmainForm::activeFrame() const
{
    const Tab* t = tabAt(pages_->currentIndex());
    return t ? t->frame.get() : nullptr;
}

TmainForm::Tab* TmainForm::openTab(const std::string& nameGbk, const std::string& text, bool fromTemplate)
{
    auto tab = std::make_unique<Tab>();
    tab->caption = nameGbk;
    try {
        tab->frame = std::make_unique<run::TFrameTaskData>(*messages_, env_);
        tab->frame->setObjectName(QString("TabSheet%1").arg(++tabSerial_) + "2");
        tab->frame->setTaskCreator(directory::TcreateTask::creator());
        tab->frame->setKeyword(text);
        tab->autoSave = std::make_unique<output::AutoSave>(*tab->frame);
        tab->page = new QWidget;
        tab->page->setObjectName(QString("TabSheet%1").arg(tabSerial_));
        auto* layout = new QVBoxLayout(tab->page);
        layout->setContentsMargins(0, 0, 0, 0);
        tab->view = new run::ui::FrameView(*tab->frame, tab->page, messages_);
        layout->addWidget(tab->view);
    } catch (const std::exception& e) {
        delete tab->page;
        messages_->warning(std::string("无法打开任务: ") + e.what());
        return nullptr;
    }
    Tab* raw = tab.get();
    connect(raw->view, &run::ui::FrameView::exportAllRequested, this,
            [this, raw] { openExport(*raw->frame, output::kTextFile); });
    connect(raw->view, &run::ui::FrameView::closeAccepted, this, [this, raw] { freeTab(raw); });
    connect(raw->frame.get(), &run::TFrameTaskData::runEnded, this, [this, raw] {
        if (pages_->currentWidget() == raw->page)
            applyTabState(*raw);
    });
    tabs_.push_back(std::move(tab));

    const QString caption = fromGbk(nameGbk);
    pages_->addTab(raw->page, caption);
    pages_->setCurrentWidget(raw->page);
    const std::string className = tree_->currentItem() ? toGbk(tree_->currentItem()->text(0)) : std::string();
    raw->frame->startRun(store::taskPath(env_.home, nameGbk), fromTemplate, className);
    return raw;
}

void TmainForm::freeTab(Tab* tab)
{
    const auto it = std::find_if(tabs_.begin(), tabs_.end(), [tab](const auto& t) { return t.get() == tab; });
    if (it == tabs_.end())
        return;
    std::shared_ptr<Tab> gone(std::move(*it));
    tabs_.erase(it);
    pages_->removeTab(pages_->indexOf(gone->page));
    gone->page->hide();
    // Freed once the signal that asked for it has returned.
    QTimer::singleShot(0, this, [gone]() mutable { gone.reset(); });
    if (selectedCategoryId() == kRunningId)
        listRunning();
    else
        taskRowChanged();
}

void TmainForm::runTask()
{
    const std::string name = selectedTaskName();
    if (name.empty()) {
        messages_->information(kSelectToRun);
        return;
    }
    Tab* tab = tabOf(name);
    if (!tab && pages_->count() > 3) {
        // Three task tabs, whatever the settings' maxTaskCount says.
        messages_->information(kTabLimit);
        return;
    }
    if (tab) {
        tab->frame->timermain().start();
        if (tab->frame->finished())
            messages_->information(kAlreadyStopped);
        else
            tab->frame->controlRun(engine::RunCommand::Resume);
    } else if (!openTab(name, {}, false)) {
        return;
    }
    timer1_.start();
    selectRunningCategory();
}

void TmainForm::startTaskByName(const std::string& taskNameGbk, const std::string& text, bool fromTemplate)
{
    if (text::trim(taskNameGbk).empty())
        return;
    if (Tab* tab = tabOf(taskNameGbk)) {
        if (tab->frame->finished())
            tab->frame->restartRun();
        else
            tab->frame->controlRun(engine::RunCommand::Resume);
    } else if (!openTab(taskNameGbk, text, fromTemplate)) {
        return;
    }
    timer1_.start();
    selectRunningCategory();
}

void TmainForm::pauseTask() { controlSelected(engine::RunCommand::Pause, kSelectToPause); }

void TmainForm::stopTask() { controlSelected(engine::RunCommand::Stop, kSelectToStop); }

void TmainForm::controlSelected(engine::RunCommand command, const char* noSelection)
{
    const std::string name = selectedTaskName();
    if (name.empty()) {
        messages_->information(noSelection);
        return;
    }
    if (Tab* tab = tabOf(name)) {
        tab->frame->controlRun(command);
        // A paused run's clock stands still.
        if (command == engine::RunCommand::Pause)
            tab->frame->timermain().stop();
    }
    timer1_.start();
    selectRunningCategory();
}

void TmainForm::deleteTask()
{
    const std::string name = selectedTaskName();
    const std::string category = selectedCategoryId();
    if (name.empty() || category.empty() || category == kRunningId)
        return;
    if (!messages_->question(kConfirmDeleteTask))
        return;
    const auto failed = deleteTaskFiles(env_.home, name);
    if (!failed.empty())
        messages_->warning("无法删除文件 " + failed.front());
    if (const int row = rowOf(name); row >= 0)
        list_->removeRow(row);
    setToolbarState(list_->rowCount() > 0 ? "04" : "0");
}

void TmainForm::closeActiveTab()
{
    if (Tab* tab = tabAt(pages_->currentIndex()))
        tab->view->closeTab();
}

// ---- Dialogs -------------------------------------------------------------------------------

void TmainForm::openSearchWizard(bool mobileNumbers)
{
    using Kind = directory::ui::SearchDialog::Kind;
    directory::ui::SearchDialog dialog(mobileNumbers ? Kind::MobileNumbers : Kind::MultiSite, *this, env_, this,
                                       hooks_.messages);
    execDialog(dialog);
}

void TmainForm::exportActive(int kind)
{
    run::TFrameTaskData* frame = activeFrame();
    if (!frame) {
        messages_->warning(kNoCollectedData);
        return;
    }
    openExport(*frame, kind);
}

void TmainForm::openExport(run::TFrameTaskData& frame, int kind, const std::string& accessFile,
                           const std::string& accessTable)
{
    if (hooks_.exportDialog)
        hooks_.exportDialog(frame, kind, accessFile, accessTable);
    else
        output::ui::execExportDialog(this, frame.grid(), kind, env_.settingsPath, frame.task(), accessFile,
                                     accessTable);
}

void TmainForm::exportToAccess()
{
    run::TFrameTaskData* frame = activeFrame();
    if (!frame) {
        messages_->warning(kNoCollectedData);
        return;
    }
    const auto file = hooks_.chooseAccessFile ? hooks_.chooseAccessFile() : [this]() -> std::optional<QString> {
        const QString f = QFileDialog::getSaveFileName(this, q("数据输出到Access"), {},
                                                       q("数据库文件 (*.mdb *.db *.sqlite);;所有文件 (*)"),
                                                       nullptr, QFileDialog::DontConfirmOverwrite);
        return f.isEmpty() ? std::nullopt : std::optional(f);
    }();
    if (!file)
        return;
    const auto table = hooks_.chooseAccessTable ? hooks_.chooseAccessTable()
                                                : [this, frame]() -> std::optional<QString> {
        bool ok = false;
        const QString t = QInputDialog::getText(this, q("数据输出到Access"), q("表名称："), QLineEdit::Normal,
                                                q(frame->taskName()), &ok);
        return ok && !t.trimmed().isEmpty() ? std::optional(t.trimmed()) : std::nullopt;
    }();
    if (!table)
        return;
    openExport(*frame, output::kDatabase, file->toStdString(), toGbk(*table));
}

void TmainForm::openOptions()
{
    OptionsDialog dialog(env_.settingsPath, this, hooks_.messages);
    execDialog(dialog);
    if (const auto ms = dialog.appliedToolTipDisplayMs())
        toolTips_->displayMs = *ms;
}

void TmainForm::openManual()
{
    const std::string manual = manualPath(options_.programDir);
    if (manual.empty()) {
        messages_->warning("找不到用户手册");
        return;
    }
    const QUrl url = QUrl::fromLocalFile(QString::fromStdString(manual));
    if (hooks_.openUrl ? !hooks_.openUrl(url) : !QDesktopServices::openUrl(url))
        messages_->warning("无法打开用户手册 " + manual);
}

// ---- Window events ---------------------------------------------------------------------------

void TmainForm::closeEvent(QCloseEvent* event)
{
    for (const auto& t : tabs_) {
        if (t->frame->runState() != engine::RunStatus::Ended) {
            messages_->warning(kStopAllFirst);
            event->ignore();
            return;
        }
    }
    event->accept();
}

void TmainForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (shownOnce_)
        return;
    shownOnce_ = true;
    if (hooks_.shown)
        QTimer::singleShot(0, this, [this] { hooks_.shown(); });
}

void TmainForm::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    // With minHide a minimised window leaves the task bar for an icon in the tray (where
    // the desktop has one), which brings it back.
    if (event->type() != QEvent::WindowStateChange || !minHide_ || !isMinimized() ||
        !QSystemTrayIcon::isSystemTrayAvailable())
        return;
    if (!tray_) {
        tray_ = new QSystemTrayIcon(windowIcon(), this);
        tray_->setToolTip(q(kProductTitle));
        connect(tray_, &QSystemTrayIcon::activated, this, [this] {
            tray_->hide();
            showMaximized();
            activateWindow();
        });
    }
    tray_->show();
    QTimer::singleShot(0, this, &QWidget::hide);
}

bool applyWindowStyle(int formStyle, const QString& styleFile)
{
    switch (formStyle) {
    case 1:
        qApp->setStyleSheet({});
        qApp->setStyle(QStyleFactory::create("Fusion"));
        return true;
    case 2:
        qApp->setStyleSheet({});
        qApp->setStyle(QStyleFactory::create("Windows"));
        return true;
    case 0: {
        // A skin here is a Qt style sheet.
        QFile f(styleFile);
        if (styleFile.isEmpty() || !f.open(QIODevice::ReadOnly))
            return false;
        qApp->setStyleSheet(QString::fromUtf8(f.readAll()));
        return true;
    }
    default:
        return false;
    }
}

} // namespace tarvimo::app::ui
