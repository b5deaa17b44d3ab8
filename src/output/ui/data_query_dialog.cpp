#include "output/ui/data_query_dialog.h"

#include "output/ui/db_dialogs.h"
#include "output/ui/form_parts.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QListWidget>
#include <QTableView>
#include <QVBoxLayout>

namespace tarvimo::output::ui {

DataQueryDialog::DataQueryDialog(std::string settingsPath, QWidget* parent, Services services)
    : OutputDialog(parent, services), settingsPath_(std::move(settingsPath)), query_(settingsPath_, messages())
{
    setObjectName("TDBdataQuery");
    setWindowTitle(q("数据查询"));
    tables_ = new QListWidget(this);
    tables_->setObjectName("ListBox1");
    auto* note = new QLabel(q("注：双击表名实现查询"), this);
    note->setWordWrap(true);
    auto* refresh = makeButton(this, "Button1", "刷新..");
    auto* configure = makeButton(this, "Button2", "数据库连接配置...");
    auto* close = makeButton(this, "Button3", "关闭");
    rows_ = new QTableView(this);
    rows_->setObjectName("DBGrid1");
    rows_->setModel(&query_.model());
    rows_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    rows_->verticalHeader()->setDefaultSectionSize(rows_->fontMetrics().height() + 6);

    auto* left = new QVBoxLayout;
    left->addWidget(captionFor(tables_, "当前数据库表："));
    left->addWidget(tables_, 1);
    left->addWidget(note);
    left->addWidget(refresh);
    left->addWidget(configure);
    auto* middle = new QHBoxLayout;
    middle->addLayout(left);
    middle->addWidget(rows_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(middle, 1);
    layout->addLayout(buttons);
    tables_->setFixedWidth(180);
    resize(760, 460);

    connect(refresh, &QPushButton::clicked, this, &DataQueryDialog::refresh);
    connect(configure, &QPushButton::clicked, this, [this] {
        DbSetDialog d(settingsPath_, this, this->services());
        d.exec();
    });
    connect(tables_, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { openTable(tables_->row(item)); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

DataQueryDialog::~DataQueryDialog()
{
    detachChildren();
    // The view lets go of the model before the model's connection goes.
    rows_->setModel(nullptr);
}

void DataQueryDialog::refresh()
{
    query_.refresh();
    tables_->clear();
    for (const std::string& table : query_.tables)
        tables_->addItem(fromGbk(table));
}

void DataQueryDialog::openTable(int row)
{
    if (row < 0 || row >= static_cast<int>(query_.tables.size()))
        return;
    query_.openTable(query_.tables[static_cast<std::size_t>(row)]);
    const int width = TDBdataQuery::kColumnChars * rows_->fontMetrics().averageCharWidth();
    for (int c = 0; c < query_.model().columnCount(); ++c)
        rows_->setColumnWidth(c, width);
}

int execDataQueryDialog(QWidget* parent, const std::string& settingsPath)
{
    DataQueryDialog d(settingsPath, parent);
    return d.exec();
}

} // namespace tarvimo::output::ui
