// The category tree's dialogs: TnewClassForm ("新建类别", and "转移到..." for a move) with
// its own copy of the tree, and TtreeUpdate ("类属性"). Each runs its operation on the
// category store when "确定" is pressed; a refused operation shows its message and the
// dialog stays open. Main thread only.
#pragma once

#include "app/category_store.h"
#include "base/messages.h"

#include <QDialog>

#include <string>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace tarvimo::app::ui {

// Item data of a tree node: its ID and its remark (both GBK, as QByteArray).
inline constexpr int kCategoryIdRole = Qt::UserRole;
inline constexpr int kCategoryRemarkRole = Qt::UserRole + 1;

// Fills a tree with the store's categories (every line below "0000", recursively) and
// expands it.
void fillCategoryTree(QTreeWidget& tree, const CategoryStore& store);
// The node with that ID; null when none.
QTreeWidgetItem* findCategoryItem(const QTreeWidget& tree, std::string_view id);
std::string categoryIdOf(const QTreeWidgetItem* item);
// Tells the user what a refused operation came to (a failure as an error box).
void showCategoryResult(UserMessages& messages, const CategoryResult& result);

class TnewClassForm : public QDialog {
    Q_OBJECT
public:
    enum class Mode { Create, Move };
    // 'selectedId': the main tree's selection (the parent of a new category, the category
    // to move).
    TnewClassForm(CategoryStore& store, Mode mode, std::string selectedId, UserMessages& messages,
                  QWidget* parent = nullptr);

    QTreeWidget* tree() const { return tree_; }
    QLineEdit* nameEdit() const { return name_; }
    QLineEdit* remarkEdit() const { return remark_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }
    // The new category's ID after a create.
    const std::string& createdId() const { return createdId_; }

private:
    void confirm();
    void nodeSelected();

    CategoryStore& store_;
    Mode mode_;
    std::string movedId_;
    UserMessages& messages_;
    std::string createdId_;
    QTreeWidget* tree_;
    QLineEdit* name_;
    QLineEdit* remark_;
    QPushButton* ok_;
    QPushButton* cancel_;
};

class TtreeUpdate : public QDialog {
    Q_OBJECT
public:
    TtreeUpdate(CategoryStore& store, std::string id, UserMessages& messages, QWidget* parent = nullptr);

    QLineEdit* nameEdit() const { return name_; }
    QLineEdit* remarkEdit() const { return remark_; }
    QLabel* note() const { return note_; }
    QPushButton* okButton() const { return ok_; }

private:
    void confirm();

    CategoryStore& store_;
    std::string id_;
    UserMessages& messages_;
    QLineEdit* name_;
    QLineEdit* remark_;
    QLabel* note_;
    QPushButton* ok_;
};

} // namespace tarvimo::app::ui
