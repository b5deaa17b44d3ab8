// The task library's categories (DefaultCDB.cdb in the home): one sorted list of lines,
// each "ID^%^!parent ID^%^!name^%^!remark" (GBK), kept in memory for the life of the main
// window and stored as one zlib stream at level 9. The tree the window shows is built from
// the parent IDs; the operations here hold the rules and messages of the tree's pop-up
// menu, so the dialogs only collect what the user chose.
//
// Reserved IDs: "0000" the root's parent, "0001" the root, "0002" all tasks (user
// categories live below it), "0003" running tasks, "0004" removed categories. A line
// "IDAllReadyDeleted" is a deleted category: it keeps its ID taken but is never shown.
//
// Main thread only.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvimo::app {

inline constexpr std::string_view kCategorySeparator = "^%^!";
inline constexpr std::string_view kRootParentId = "0000";
inline constexpr std::string_view kRootId = "0001";
inline constexpr std::string_view kAllTasksId = "0002";
inline constexpr std::string_view kRunningId = "0003";
inline constexpr std::string_view kRemovedId = "0004";
inline constexpr std::string_view kDeletedMark = "AllReadyDeleted";

// The messages of the category operations (UTF-8).
inline constexpr const char* kCreateOutsideBranch = "不能在该类下创建新类\r\n只能在 [自定义类别] 或其子类下创建。";
inline constexpr const char* kReservedWord = "名称不能包含保留字^%^!";
inline constexpr const char* kNoCategoryName = "请指定类别名称";
inline constexpr const char* kNoParent = "请先要创建的类别的父类";
inline constexpr const char* kCreateFailed = "发生异常，不能创建新类，请与供应商联系";
inline constexpr const char* kCannotDelete = "该类不能删除";
inline constexpr const char* kConfirmDelete = "确认要删除该项吗？";
inline constexpr const char* kCannotMove = "该类不能移动";
inline constexpr const char* kCannotMoveHere = "不能移动到此处";
inline constexpr const char* kReservedNote = "注：该类为系统保留类，名称不允许修改";

struct Category {
    std::string id, parentId, name, remark;  // GBK
};

// What an operation came to: done, or refused with a warning, or failed with an error.
struct CategoryResult {
    enum Kind { Done, Warning, Error } kind = Done;
    std::string message;  // UTF-8; empty when done
    std::string id;       // the new category's ID after a create
    explicit operator bool() const { return kind == Done; }
};

class CategoryStore {
public:
    // 'file': the DefaultCDB.cdb path (UTF-8). 'programName': the root's caption in a new
    // list (GBK).
    CategoryStore(std::string file, std::string programName);

    // Reads the file; when it is missing or does not inflate, the three default lines.
    // Either way the brand word Kolvar becomes Tarvimo and the list is sorted. True when
    // the file was read.
    bool load();
    // Replaces the file with the list (atomically). Throws files::FileError.
    void save() const;

    const std::vector<std::string>& lines() const { return lines_; }
    // Replaces the list (tests and repairs); it is sorted.
    void setLines(std::vector<std::string> lines);

    // The shown categories whose parent is 'id', in list order; deleted lines never match.
    std::vector<Category> children(std::string_view id) const;
    std::optional<Category> find(std::string_view id) const;
    // Depth in the tree: the root 0, its children 1 ... ; -1 for an unknown ID.
    int level(std::string_view id) const;
    // The category is 'branch' or lies below it.
    bool inBranch(std::string_view id, std::string_view branch) const;

    // "新建": a category named 'name' with 'remark' below 'parentId' (empty: none chosen).
    CategoryResult create(std::string_view parentId, std::string name, std::string remark);
    // Whether "删除" may go ahead (the question comes after): level 2 or deeper.
    CategoryResult canRemove(std::string_view id) const;
    // "删除" once confirmed: below "0002" the category moves under "0004"; below "0004" it
    // is marked deleted.
    CategoryResult remove(std::string_view id);
    // Whether "转移到" may open for the category.
    CategoryResult canMove(std::string_view id) const;
    CategoryResult move(std::string_view id, std::string_view targetId);
    // "属性": the name may change only below level 1 ('nameEditable' says what the dialog
    // allowed); the line is rewritten.
    CategoryResult update(std::string_view id, std::string name, std::string remark);
    // The name box of "属性" is enabled.
    bool nameEditable(std::string_view id) const { return level(id) >= 2; }

    static Category parse(std::string_view line);
    static std::string join(const Category& c);

private:
    void sort();
    // The index of the shown line with that ID; -1 when none.
    int indexOf(std::string_view id) const;

    std::string file_, programName_;
    std::vector<std::string> lines_;
};

} // namespace tarvimo::app
