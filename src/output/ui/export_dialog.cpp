#include "output/ui/export_dialog.h"

#include "output/ui/db_dialogs.h"
#include "output/ui/db_interface_dialog.h"
#include "output/ui/form_parts.h"
#include "output/ui/progress_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QListWidget>
#include <QMouseEvent>
#include <QTimer>
#include <QVBoxLayout>

namespace tarvimo::output::ui {

namespace {
// The Access quick export starts this long after the dialog is up, so it is seen first.
constexpr int kQuickExportDelayMs = 10;
} // namespace

ExportDialog::ExportDialog(const run::ResultGrid& grid, int targetKind, std::string settingsPath,
                           engine::TaskPtr task, QWidget* parent, Services services)
    : OutputDialog(parent, services), grid_(grid), settingsPath_(std::move(settingsPath))
{
    progress_ = new ProgressWindow(this);
    TexportForm::Hooks hooks;
    hooks.saveFileName = [this](const std::string& filter) -> std::optional<std::string> {
        const auto path = desktop().saveFileName(this, qtFilter(filter));
        if (!path)
            return std::nullopt;
        return path->toStdString();
    };
    hooks.openFile = [this](const std::string& path) { return desktop().openFile(q(path)); };
    hooks.progress = [this](int position, int maximum) { progress_->progress(position, maximum); };
    hooks.progressDone = [this] { progress_->done(); };
    hooks.openMapping = [this](TexportForm& form, const std::string& table, const std::vector<std::string>& fields) {
        DbInterfaceDialog d(table, fields, form.mapping, &grid_, this, this->services());
        d.exec();
    };
    hooks.changed = [this] { showForm(); };
    form_ = std::make_unique<TexportForm>(grid_, targetKind, settingsPath_, messages(), std::move(task),
                                          std::move(hooks));
    const bool toText = targetKind == kTextFile;
    const bool toDatabase = targetKind == kDatabase;

    setObjectName("TexportForm");
    setWindowTitle(q("数据输出"));
    auto* title = makeHeading(this, fromGbk(form_->title()));
    title->setObjectName("title");

    rowFrom_ = makeEdit(this, "LabeledEdit1");
    rowTo_ = makeEdit(this, "LabeledEdit2");
    colFrom_ = makeEdit(this, "LabeledEdit3");
    colTo_ = makeEdit(this, "LabeledEdit4");
    colFrom_->setEnabled(false);
    colTo_->setEnabled(false);
    titles_ = new QCheckBox(q("输出列标题"), this);
    titles_->setObjectName("CheckBox3");
    separator_ = makeEdit(this, "LabeledEdit5");
    auto* separatorHint = new QLabel(q("（默认为一个Tab符）"), this);
    separatorHint->setObjectName("Label2");
    separator_->installEventFilter(this);

    auto* ranges = new QGridLayout;
    ranges->setColumnStretch(1, 1);
    ranges->setColumnStretch(3, 1);
    ranges->addWidget(captionFor(rowFrom_, "行范围："), 0, 0);
    ranges->addWidget(rowFrom_, 0, 1);
    ranges->addWidget(captionFor(rowTo_, "到 "), 0, 2);
    ranges->addWidget(rowTo_, 0, 3);
    ranges->addWidget(captionFor(colFrom_, "列范围："), 1, 0);
    ranges->addWidget(colFrom_, 1, 1);
    ranges->addWidget(captionFor(colTo_, "到 "), 1, 2);
    ranges->addWidget(colTo_, 1, 3);
    ranges->addWidget(titles_, 2, 0, 1, 4);
    QLabel* separatorCaption = captionFor(separator_, "数据分割符：");
    ranges->addWidget(separatorCaption, 3, 0);
    ranges->addWidget(separator_, 3, 1);
    ranges->addWidget(separatorHint, 3, 2, 1, 2);
    for (QWidget* w : std::initializer_list<QWidget*>{separatorCaption, separator_, separatorHint})
        w->setVisible(toText);

    // The database part: only an export into a table has a table to choose.
    auto* database = new QWidget(this);
    database->setObjectName("databasePart");
    tables_ = new QListWidget(database);
    tables_->setObjectName("CheckListBox1");
    tables_->setMinimumHeight(120);
    newTable_ = new QCheckBox(q("使用新表"), database);
    newTable_->setObjectName("CheckBox5");
    newTableName_ = makeEdit(database, "LabeledEdit6");
    auto* configure = makeButton(database, "Button4", "配置连接...");
    refresh_ = makeButton(database, "Button5", "刷新");
    auto* mapping = makeButton(database, "BitBtn1", "定义数据接口");
    auto* side = new QVBoxLayout;
    side->addWidget(configure);
    side->addWidget(refresh_);
    side->addWidget(mapping);
    side->addStretch();
    auto* listRow = new QHBoxLayout;
    listRow->addWidget(tables_, 1);
    listRow->addLayout(side);
    auto* newRow = new QHBoxLayout;
    newRow->addWidget(newTable_);
    newRow->addSpacing(12);
    newRow->addWidget(captionFor(newTableName_, "表名称："));
    newRow->addWidget(newTableName_, 1);
    auto* databaseLayout = new QVBoxLayout(database);
    databaseLayout->setContentsMargins(0, 0, 0, 0);
    databaseLayout->addWidget(captionFor(tables_, "现有表："));
    databaseLayout->addLayout(listRow, 1);
    databaseLayout->addLayout(newRow);
    database->setVisible(toDatabase);

    busy_ = new QLabel(q("正在进行，请稍候..."), this);
    busy_->setObjectName("qsh");
    busy_->setStyleSheet(QStringLiteral("color: #c00000;"));
    save_ = makeButton(this, "saveok", "确定");
    save_->setDefault(true);
    auto* cancel = makeButton(this, "Button2", "取消");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(busy_);
    buttons->addStretch();
    buttons->addWidget(save_);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addSpacing(6);
    layout->addLayout(ranges);
    layout->addWidget(database, 1);
    layout->addSpacing(6);
    layout->addLayout(buttons);
    setMinimumWidth(440);
    // The busy label keeps its room when hidden, so the buttons stay where they are.
    QSizePolicy keep = busy_->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    busy_->setSizePolicy(keep);

    showForm();

    connect(rowFrom_, &QLineEdit::textEdited, this, [this](const QString& t) { form_->rowFrom = toGbk(t); });
    connect(rowTo_, &QLineEdit::textEdited, this, [this](const QString& t) { form_->rowTo = toGbk(t); });
    connect(titles_, &QCheckBox::toggled, this, [this](bool on) { form_->withTitles = on; });
    connect(separator_, &QLineEdit::textEdited, this, [this](const QString& t) { form_->separator = toGbk(t); });
    connect(newTable_, &QCheckBox::toggled, this, [this](bool on) {
        form_->useNewTable = on;
        showForm();
    });
    connect(newTableName_, &QLineEdit::textEdited, this, [this](const QString& t) { form_->newTableName = toGbk(t); });
    // Choosing a table is selecting it; its mark follows (one table at most).
    connect(tables_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            form_->checkTable(row);
    });
    connect(tables_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { form_->checkTable(tables_->row(item)); });
    connect(configure, &QPushButton::clicked, this, &ExportDialog::configureConnection);
    connect(refresh_, &QPushButton::clicked, this, [this] { form_->refresh(); });
    connect(mapping, &QPushButton::clicked, this, [this] { form_->openMapping(); });
    connect(save_, &QPushButton::clicked, this, [this] {
        if (form_->save())
            accept();
        else
            showForm();
    });
    connect(cancel, &QPushButton::clicked, this, &ExportDialog::reject);
}

ExportDialog::~ExportDialog() { detachChildren(); }

void ExportDialog::configureConnection()
{
    DbSetDialog d(settingsPath_, this, services());
    d.exec();
}

void ExportDialog::showForm()
{
    showText(rowFrom_, fromGbk(form_->rowFrom));
    showText(rowTo_, fromGbk(form_->rowTo));
    showText(colFrom_, fromGbk(form_->colFrom));
    showText(colTo_, fromGbk(form_->colTo));
    titles_->setChecked(form_->withTitles);
    showText(separator_, fromGbk(form_->separator));
    newTable_->setChecked(form_->useNewTable);
    showText(newTableName_, fromGbk(form_->newTableName));
    newTableName_->setEnabled(form_->useNewTable);
    showTables();
    refresh_->setEnabled(form_->refreshEnabled());
    save_->setEnabled(form_->saveEnabled());
    busy_->setVisible(form_->busy());
}

void ExportDialog::showTables()
{
    const QSignalBlocker block(tables_);
    const auto& names = form_->tableList;
    bool same = tables_->count() == static_cast<int>(names.size());
    for (int i = 0; same && i < tables_->count(); ++i)
        same = tables_->item(i)->text() == fromGbk(names[static_cast<std::size_t>(i)]);
    if (!same) {
        tables_->clear();
        for (const std::string& name : names) {
            auto* item = new QListWidgetItem(fromGbk(name), tables_);
            // Not user-checkable: the mark is the model's single choice, set by selecting.
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        }
    }
    for (int i = 0; i < tables_->count(); ++i)
        tables_->item(i)->setCheckState(i == form_->checkedTable() ? Qt::Checked : Qt::Unchecked);
}

void ExportDialog::showEvent(QShowEvent* event)
{
    OutputDialog::showEvent(event);
    if (shownOnce_)
        return;
    shownOnce_ = true;
    QTimer::singleShot(kQuickExportDelayMs, this, [this] {
        if (form_->shown())
            accept();
        else
            showForm();
    });
}

bool ExportDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == separator_ && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        form_->separatorClicked();
        showText(separator_, fromGbk(form_->separator));
        // What is typed next replaces the mark the click put in.
        separator_->selectAll();
    }
    return OutputDialog::eventFilter(watched, event);
}

void ExportDialog::reject()
{
    if (!form_->busy())
        OutputDialog::reject();
}

void ExportDialog::closeEvent(QCloseEvent* event)
{
    if (form_->busy())
        event->ignore();
    else
        OutputDialog::closeEvent(event);
}

int execExportDialog(QWidget* parent, const run::ResultGrid& grid, int targetKind, const std::string& settingsPath,
                     engine::TaskPtr task, const std::string& accessFile, const std::string& accessTable)
{
    ExportDialog d(grid, targetKind, settingsPath, std::move(task), parent);
    d.form().accessFile = accessFile;
    d.form().accessTable = accessTable;
    return d.exec();
}

} // namespace tarvimo::output::ui
