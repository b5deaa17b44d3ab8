#include "app/ui/category_dialogs.h"

#include "output/ui/form_parts.h"
#include "run/qt_text.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tarvimo::app::ui {

using output::ui::makeButton;
using output::ui::makeEdit;

namespace {

void addChildren(const CategoryStore& store, QTreeWidget& tree, QTreeWidgetItem* parent, std::string_view id, int depth)
{
    // A hand-made cycle in the parent IDs must not recurse for ever.
    if (depth > 64)
        return;
    for (const auto& c : store.children(id)) {
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(&tree);
        item->setText(0, fromGbk(c.name));
        item->setData(0, kCategoryIdRole, QByteArray::fromStdString(c.id));
        item->setData(0, kCategoryRemarkRole, QByteArray::fromStdString(c.remark));
        item->setToolTip(0, fromGbk(c.remark));
        addChildren(store, tree, item, c.id, depth + 1);
    }
}

QDialogButtonBox* okCancel(QDialog* dialog, QPushButton*& ok, QPushButton*& cancel)
{
    auto* box = new QDialogButtonBox(dialog);
    ok = makeButton(dialog, "BitBtn1", "确定");
    cancel = makeButton(dialog, "BitBtn2", "取消");
    ok->setDefault(true);
    box->addButton(ok, QDialogButtonBox::AcceptRole);
    box->addButton(cancel, QDialogButtonBox::RejectRole);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    return box;
}

} // namespace

void fillCategoryTree(QTreeWidget& tree, const CategoryStore& store)
{
    tree.clear();
    addChildren(store, tree, nullptr, kRootParentId, 0);
    tree.expandAll();
}

std::string categoryIdOf(const QTreeWidgetItem* item)
{
    return item ? item->data(0, kCategoryIdRole).toByteArray().toStdString() : std::string();
}

QTreeWidgetItem* findCategoryItem(const QTreeWidget& tree, std::string_view id)
{
    for (QTreeWidgetItemIterator it(const_cast<QTreeWidget*>(&tree)); *it; ++it)
        if (categoryIdOf(*it) == id)
            return *it;
    return nullptr;
}

void showCategoryResult(UserMessages& messages, const CategoryResult& result)
{
    if (!result)
        messages.warning(result.message);
}

TnewClassForm::TnewClassForm(CategoryStore& store, Mode mode, std::string selectedId, UserMessages& messages,
                             QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint), store_(store), mode_(mode),
      movedId_(mode == Mode::Move ? selectedId : std::string()), messages_(messages)
{
    setObjectName("TnewClassForm");
    setWindowTitle(q(mode == Mode::Create ? "新建类别" : "转移到..."));
    tree_ = new QTreeWidget(this);
    tree_->setObjectName("TreeView1");
    tree_->setHeaderHidden(true);
    name_ = makeEdit(this, "Edit1");
    remark_ = makeEdit(this, "Edit2");
    name_->setEnabled(mode == Mode::Create);
    remark_->setEnabled(mode == Mode::Create);

    auto* form = new QFormLayout;
    form->addRow(q("类别名称："), name_);
    form->addRow(q("类别注释："), remark_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tree_, 1);
    layout->addLayout(form);
    layout->addWidget(okCancel(this, ok_, cancel_));
    resize(360, 420);

    fillCategoryTree(*tree_, store_);
    if (auto* item = findCategoryItem(*tree_, selectedId))
        tree_->setCurrentItem(item);
    connect(tree_, &QTreeWidget::currentItemChanged, this, &TnewClassForm::nodeSelected);
    connect(ok_, &QPushButton::clicked, this, &TnewClassForm::confirm);
}

void TnewClassForm::nodeSelected()
{
    if (mode_ != Mode::Move)
        return;
    if (const auto c = store_.find(categoryIdOf(tree_->currentItem()))) {
        name_->setText(fromGbk(c->name));
        remark_->setText(fromGbk(c->remark));
    }
}

void TnewClassForm::confirm()
{
    const std::string target = categoryIdOf(tree_->currentItem());
    CategoryResult r = mode_ == Mode::Create ? store_.create(target, toGbk(name_->text()), toGbk(remark_->text()))
                                             : store_.move(movedId_, target);
    if (!r) {
        showCategoryResult(messages_, r);
        return;
    }
    createdId_ = r.id;
    accept();
}

TtreeUpdate::TtreeUpdate(CategoryStore& store, std::string id, UserMessages& messages, QWidget* parent)
    : QDialog(parent), store_(store), id_(std::move(id)), messages_(messages)
{
    setObjectName("TtreeUpdate");
    setWindowTitle(q("类属性"));
    name_ = makeEdit(this, "Edit1");
    remark_ = makeEdit(this, "Edit2");
    note_ = new QLabel(q(kReservedNote), this);
    note_->setObjectName("Label3");
    note_->setStyleSheet("color: #a00000");
    const auto c = store_.find(id_);
    if (c) {
        name_->setText(fromGbk(c->name));
        remark_->setText(fromGbk(c->remark));
    }
    const bool editable = store_.nameEditable(id_);
    name_->setEnabled(editable);
    note_->setVisible(!editable);

    QPushButton* cancel = nullptr;
    auto* form = new QFormLayout;
    form->addRow(q("名称："), name_);
    form->addRow(q("注释："), remark_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(note_);
    layout->addWidget(okCancel(this, ok_, cancel));
    resize(360, 160);
    connect(ok_, &QPushButton::clicked, this, &TtreeUpdate::confirm);
}

void TtreeUpdate::confirm()
{
    const CategoryResult r = store_.update(id_, toGbk(name_->text()), toGbk(remark_->text()));
    if (!r) {
        showCategoryResult(messages_, r);
        return;
    }
    accept();
}

} // namespace tarvimo::app::ui
