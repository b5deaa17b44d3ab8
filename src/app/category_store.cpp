#include "app/category_store.h"

#include "base/text.h"
#include "store/encrypt_inifile.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>

namespace tarvimo::app {

namespace {

std::string_view field(std::string_view line, std::size_t pos, std::size_t len)
{
    return pos < line.size() ? line.substr(pos, len) : std::string_view{};
}

// A line break inside a name or remark would split the stored line in two.
std::string oneLine(std::string s)
{
    text::replaceAllInPlace(s, "\r\n", " ");
    std::replace(s.begin(), s.end(), '\r', ' ');
    std::replace(s.begin(), s.end(), '\n', ' ');
    return s;
}

CategoryResult warning(const char* message) { return {CategoryResult::Warning, message, {}}; }

} // namespace

CategoryStore::CategoryStore(std::string file, std::string programName)
    : file_(std::move(file)), programName_(std::move(programName))
{
}

Category CategoryStore::parse(std::string_view line)
{
    Category c;
    c.id = std::string(field(line, 0, 4));
    c.parentId = std::string(field(line, 4 + kCategorySeparator.size(), 4));
    const std::size_t first = line.find(kCategorySeparator);
    const std::size_t second = first == std::string_view::npos ? first : line.find(kCategorySeparator, first + 1);
    const std::size_t last = line.rfind(kCategorySeparator);
    if (last != std::string_view::npos)
        c.remark = std::string(line.substr(last + kCategorySeparator.size()));
    if (second != std::string_view::npos && last > second)
        c.name = std::string(line.substr(second + kCategorySeparator.size(), last - second - kCategorySeparator.size()));
    return c;
}

std::string CategoryStore::join(const Category& c)
{
    const std::string sep(kCategorySeparator);
    return c.id + sep + c.parentId + sep + c.name + sep + c.remark;
}

bool CategoryStore::load()
{
    bool read = false;
    lines_.clear();
    std::error_code ec;
    if (std::filesystem::is_regular_file(file_, ec)) {
        try {
            store::LoadCompressedLines(file_, lines_);
            read = true;
        } catch (const std::exception&) {
            lines_.clear();
        }
    }
    if (!read) {
        Category root{std::string(kRootId), std::string(kRootParentId), programName_, "Tarvimo"};
        Category all{std::string(kAllTasksId), std::string(kRootId), text::gbk(" 所有任务 "), text::gbk("存放任务类")};
        Category running{std::string(kRunningId), std::string(kRootId), text::gbk(" 正在运行 "),
                         text::gbk("正在运行的任务")};
        lines_ = {join(root), join(all), join(running)};
    }
    for (auto& line : lines_)
        text::replaceAllInPlace(line, "Kolvar", "Tarvimo");
    sort();
    return read;
}

void CategoryStore::save() const { store::SaveCompressedLines(lines_, file_); }

void CategoryStore::setLines(std::vector<std::string> lines)
{
    lines_ = std::move(lines);
    sort();
}

void CategoryStore::sort() { std::stable_sort(lines_.begin(), lines_.end()); }

namespace {

// A deleted line keeps its ID but no separator follows it.
bool shown(std::string_view line) { return line.substr(4, kCategorySeparator.size()) == kCategorySeparator; }

} // namespace

int CategoryStore::indexOf(std::string_view id) const
{
    if (id.size() != 4)
        return -1;
    for (std::size_t i = 0; i < lines_.size(); ++i)
        if (std::string_view(lines_[i]).substr(0, 4) == id && shown(lines_[i]))
            return static_cast<int>(i);
    return -1;
}

std::vector<Category> CategoryStore::children(std::string_view id) const
{
    std::vector<Category> out;
    for (const auto& line : lines_) {
        if (!shown(line))
            continue;
        Category c = parse(line);
        if (c.parentId == id)
            out.push_back(std::move(c));
    }
    return out;
}

std::optional<Category> CategoryStore::find(std::string_view id) const
{
    const int i = indexOf(id);
    if (i < 0)
        return std::nullopt;
    return parse(lines_[static_cast<std::size_t>(i)]);
}

int CategoryStore::level(std::string_view id) const
{
    // Walks up to the top; a cycle in a hand-edited file ends at the list's length.
    int depth = 0;
    std::string current(id);
    for (std::size_t steps = 0; steps <= lines_.size(); ++steps) {
        const auto c = find(current);
        if (!c)
            return -1;
        if (c->parentId == kRootParentId)
            return depth;
        current = c->parentId;
        ++depth;
    }
    return -1;
}

bool CategoryStore::inBranch(std::string_view id, std::string_view branch) const
{
    std::string current(id);
    for (std::size_t steps = 0; steps <= lines_.size(); ++steps) {
        if (current == branch)
            return true;
        const auto c = find(current);
        if (!c)
            return false;
        current = c->parentId;
    }
    return false;
}

CategoryResult CategoryStore::create(std::string_view parentId, std::string name, std::string remark)
{
    if (parentId.empty() || !find(parentId))
        return warning(kNoParent);
    if (!inBranch(parentId, kAllTasksId))
        return warning(kCreateOutsideBranch);
    name = oneLine(std::move(name));
    remark = oneLine(std::move(remark));
    if (name.find(kCategorySeparator) != std::string::npos || remark.find(kCategorySeparator) != std::string::npos)
        return warning(kReservedWord);
    if (text::trim(name).empty())
        return warning(kNoCategoryName);
    if (lines_.size() < 2)
        return {CategoryResult::Error, kCreateFailed, {}};
    // The list is sorted, so the last line holds the greatest ID.
    const std::string_view lastId = std::string_view(lines_.back()).substr(0, 4);
    int value = 0;
    const auto [end, ec] = std::from_chars(lastId.data(), lastId.data() + lastId.size(), value);
    if (ec != std::errc() || end != lastId.data() + lastId.size() || lastId.size() != 4 || value >= 9999)
        return {CategoryResult::Error, kCreateFailed, {}};
    // The reserved IDs up to "0004" are never handed out, also when the list does not hold
    // them yet: a user category numbered "0004" would become the removed branch.
    char id[16];
    std::snprintf(id, sizeof id, "%04d", std::max(value + 1, 5));
    lines_.push_back(join({id, std::string(parentId), std::move(name), std::move(remark)}));
    sort();
    return {CategoryResult::Done, {}, id};
}

CategoryResult CategoryStore::canRemove(std::string_view id) const
{
    return level(id) >= 2 ? CategoryResult{} : warning(kCannotDelete);
}

CategoryResult CategoryStore::remove(std::string_view id)
{
    if (auto r = canRemove(id); !r)
        return r;
    const int i = indexOf(id);
    auto& line = lines_[static_cast<std::size_t>(i)];
    if (inBranch(id, kAllTasksId)) {
        Category c = parse(line);
        c.parentId = std::string(kRemovedId);
        line = join(c);
    } else if (inBranch(id, kRemovedId)) {
        line = std::string(id) + std::string(kDeletedMark);
    }
    return {};
}

CategoryResult CategoryStore::canMove(std::string_view id) const
{
    if (id == kAllTasksId || id == kRemovedId || !find(id) ||
        !(inBranch(id, kAllTasksId) || inBranch(id, kRemovedId)))
        return warning(kCannotMove);
    return {};
}

CategoryResult CategoryStore::move(std::string_view id, std::string_view targetId)
{
    if (auto r = canMove(id); !r)
        return r;
    if (!find(targetId) || !(inBranch(targetId, kAllTasksId) || inBranch(targetId, kRemovedId)) ||
        inBranch(targetId, id))
        return warning(kCannotMoveHere);
    auto& line = lines_[static_cast<std::size_t>(indexOf(id))];
    Category c = parse(line);
    c.parentId = std::string(targetId);
    line = join(c);
    return {};
}

CategoryResult CategoryStore::update(std::string_view id, std::string name, std::string remark)
{
    const int i = indexOf(id);
    if (i < 0)
        return {};  // nothing left to rename
    auto& line = lines_[static_cast<std::size_t>(i)];
    Category c = parse(line);
    name = nameEditable(id) ? oneLine(std::move(name)) : c.name;
    remark = oneLine(std::move(remark));
    if (name.find(kCategorySeparator) != std::string::npos || remark.find(kCategorySeparator) != std::string::npos)
        return warning(kReservedWord);
    c.name = std::move(name);
    c.remark = std::move(remark);
    line = join(c);
    return {};
}

} // namespace tarvimo::app
