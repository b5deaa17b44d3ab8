#include "output/ui/db_interface_dialog.h"

#include "output/ui/form_parts.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QListWidget>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

#include <functional>

namespace tarvimo::output::ui {

namespace {

// The typed field cell: every change of its text reaches the model at once, so the mark
// column follows the typing and "确定" sees the text without the edit being committed.
class TypedFieldDelegate : public QStyledItemDelegate {
public:
    TypedFieldDelegate(QObject* parent, std::function<void(int row, const QString& text)> typed)
        : QStyledItemDelegate(parent), typed_(std::move(typed))
    {
    }
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const override
    {
        auto* editor = new QLineEdit(parent);
        editor->setFrame(false);
        const int row = index.row();
        QObject::connect(editor, &QLineEdit::textEdited, editor, [this, row](const QString& text) { typed_(row, text); });
        return editor;
    }

private:
    std::function<void(int, const QString&)> typed_;
};

} // namespace

DbInterfaceDialog::DbInterfaceDialog(std::string table, std::vector<std::string> fields, ColumnMapping& target,
                                     const run::ResultGrid* grid, QWidget* parent, Services services)
    : OutputDialog(parent, services), form_(std::move(table), std::move(fields), target, messages(), grid)
{
    setObjectName("TDBinterfaceForm");
    setWindowTitle(q("数据列接口设置"));

    grid_ = new QTableWidget(this);
    grid_->setObjectName("StringGrid1");
    grid_->setColumnCount(3);
    grid_->verticalHeader()->hide();
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    grid_->horizontalHeader()->setStretchLastSection(true);
    grid_->setColumnWidth(TDBinterfaceForm::kCaption, 170);
    grid_->setColumnWidth(TDBinterfaceForm::kMark, 50);
    if (form_.tableGiven()) {
        grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    } else {
        grid_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                               QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
        grid_->setItemDelegateForColumn(TDBinterfaceForm::kField,
                                        new TypedFieldDelegate(grid_, [this](int row, const QString& text) {
                                            form_.typeField(row + 1, toGbk(text));
                                            // The cell keeps its editor; only the mark follows.
                                            if (QTableWidgetItem* mark = grid_->item(row, TDBinterfaceForm::kMark)) {
                                                const QSignalBlocker block(grid_);
                                                mark->setText(fromGbk(form_.rows[static_cast<std::size_t>(row) + 1]
                                                                                [TDBinterfaceForm::kMark]));
                                            }
                                        }));
    }

    dropDown_ = new QComboBox(grid_->viewport());
    dropDown_->setObjectName("ComboBox1");
    for (const std::string& entry : form_.dropDown)
        dropDown_->addItem(fromGbk(entry));
    dropDown_->hide();

    checks_ = new QListWidget(this);
    checks_->setObjectName("CheckListBox1");
    auto* note = new QLabel(q("当选中列的值，在数据库中已经存在时，将被忽略，不再导入。"), this);
    note->setWordWrap(true);
    table_ = makeEdit(this, "Edit1");
    table_->setText(fromGbk(form_.tableBox));
    if (form_.tableGiven()) {
        table_->setReadOnly(true);
        table_->setEnabled(false);
    }

    auto* ok = makeButton(this, "BitBtn1", "确定");
    auto* saveTemplate = makeButton(this, "Button1", "保存模板");
    auto* loadTemplate = makeButton(this, "Button2", "导入模板");
    auto* close = makeButton(this, "BitBtn2", "关闭");

    auto* right = new QVBoxLayout;
    right->addWidget(captionFor(checks_, "设置不可重复数据列："));
    right->addWidget(checks_, 1);
    right->addWidget(note);
    auto* middle = new QHBoxLayout;
    middle->addWidget(grid_, 3);
    middle->addLayout(right, 2);
    auto* tableRow = new QHBoxLayout;
    tableRow->addWidget(captionFor(table_, "当前表名称："));
    tableRow->addWidget(table_, 1);
    tableRow->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(saveTemplate);
    buttons->addWidget(loadTemplate);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(middle, 1);
    layout->addLayout(tableRow);
    layout->addSpacing(4);
    layout->addLayout(buttons);
    resize(680, 440);

    showRows();
    showChecks();

    auto cellEntered = [this](int row, int column) {
        if (form_.tableGiven() && column == TDBinterfaceForm::kField && row >= 0)
            placeDropDown(row);
        else
            dropDown_->hide();
    };
    connect(grid_, &QTableWidget::currentCellChanged, this,
            [cellEntered](int row, int column, int, int) { cellEntered(row, column); });
    connect(grid_, &QTableWidget::cellClicked, this, cellEntered);
    // A drop-down left over a cell that moved would choose for the wrong row.
    for (QScrollBar* bar : {grid_->verticalScrollBar(), grid_->horizontalScrollBar()})
        connect(bar, &QScrollBar::valueChanged, dropDown_, &QWidget::hide);
    connect(grid_->horizontalHeader(), &QHeaderView::sectionResized, dropDown_, &QWidget::hide);
    connect(dropDown_, &QComboBox::activated, this, [this](int entry) {
        form_.choose(dropDownRow_ + 1, entry);
        dropDown_->hide();
        showRows();
        grid_->setFocus();
    });
    connect(grid_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (item->column() == TDBinterfaceForm::kField && !form_.tableGiven()) {
            form_.typeField(item->row() + 1, toGbk(item->text()));
            showRows();
        }
    });
    connect(checks_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        const int i = checks_->row(item);
        if (i >= 0 && i < static_cast<int>(form_.checked.size()))
            form_.checked[static_cast<std::size_t>(i)] = item->checkState() == Qt::Checked;
    });
    connect(table_, &QLineEdit::textEdited, this, [this](const QString& text) { form_.tableBox = toGbk(text); });
    connect(ok, &QPushButton::clicked, this, [this] {
        if (form_.confirm())
            accept();
    });
    connect(saveTemplate, &QPushButton::clicked, this, [this] {
        if (const auto path = desktop().saveFileName(this, q("接口模板 (*.tpl)"))) {
            form_.saveTemplate(path->toStdString());
            showRows();
            showChecks();
        }
    });
    connect(loadTemplate, &QPushButton::clicked, this, [this] {
        if (const auto path = desktop().openFileName(this, q("接口模板 (*.tpl)"))) {
            form_.loadTemplate(path->toStdString());
            showRows();
            showChecks();
        }
    });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

DbInterfaceDialog::~DbInterfaceDialog() { detachChildren(); }

void DbInterfaceDialog::showRows()
{
    const QSignalBlocker block(grid_);
    const auto& rows = form_.rows;
    if (rows.empty())
        return;
    QStringList titles;
    for (const std::string& title : rows.front())
        titles << fromGbk(title);
    grid_->setHorizontalHeaderLabels(titles);
    const int count = static_cast<int>(rows.size()) - 1;
    if (grid_->rowCount() != count) {
        dropDown_->hide();
        grid_->setRowCount(count);
    }
    for (int r = 0; r < count; ++r) {
        for (int c = 0; c < 3; ++c) {
            const QString text = fromGbk(rows[static_cast<std::size_t>(r) + 1][static_cast<std::size_t>(c)]);
            QTableWidgetItem* item = grid_->item(r, c);
            if (!item) {
                item = new QTableWidgetItem;
                Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
                if (c == TDBinterfaceForm::kField && !form_.tableGiven())
                    flags |= Qt::ItemIsEditable;
                item->setFlags(flags);
                if (c == TDBinterfaceForm::kMark)
                    item->setTextAlignment(Qt::AlignCenter);
                grid_->setItem(r, c, item);
            }
            if (item->text() != text)
                item->setText(text);
        }
    }
}

void DbInterfaceDialog::showChecks()
{
    const QSignalBlocker block(checks_);
    if (checks_->count() != static_cast<int>(form_.checkList.size())) {
        checks_->clear();
        for (const std::string& field : form_.checkList) {
            auto* item = new QListWidgetItem(fromGbk(field), checks_);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        }
    }
    for (int i = 0; i < checks_->count(); ++i)
        checks_->item(i)->setCheckState(form_.checked[static_cast<std::size_t>(i)] ? Qt::Checked : Qt::Unchecked);
}

void DbInterfaceDialog::placeDropDown(int tableRow)
{
    dropDownRow_ = tableRow;
    const std::string& field = form_.rows[static_cast<std::size_t>(tableRow) + 1][TDBinterfaceForm::kField];
    int entry = 0;
    for (std::size_t i = 0; i < form_.dropDown.size(); ++i)
        if (form_.dropDown[i] == field)
            entry = static_cast<int>(i);
    {
        const QSignalBlocker block(dropDown_);
        dropDown_->setCurrentIndex(entry);
    }
    dropDown_->setGeometry(grid_->visualRect(grid_->model()->index(tableRow, TDBinterfaceForm::kField)));
    dropDown_->show();
    dropDown_->raise();
    dropDown_->setFocus();
}

} // namespace tarvimo::output::ui
