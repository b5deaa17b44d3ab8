#include "engine/contact_rows.h"

#include "base/text.h"

#include <algorithm>

namespace tarvimo::engine {

namespace {

// Cuts an item to its first kMaxItemBytes bytes; a double-byte character that the cut
// would split is left out whole, so no stray lead byte reaches the grid.
void cutItem(std::string& item)
{
    if (item.size() < kMaxItemBytes)
        return;
    std::size_t end = 0;
    while (end < item.size()) {
        const std::size_t n = text::charLen(item, end);
        if (end + n > kMaxItemBytes)
            break;
        end += n;
    }
    item.resize(end);
}

void removeFirst(std::string& item, const std::string& what)
{
    const std::size_t p = text::findChar(item, what);
    if (p != std::string::npos)
        item.erase(p, what.size());
}

} // namespace

ContactShaper::ContactShaper(const SiteCatalogue& catalogue)
{
    const auto g = [](const char* utf8) { return text::gbk(utf8); };
    const int L = kLastItem;
    // By code. The duplicate test compares item dupItem with grid column dupColumn.
    rules_ = {
        {"D1", 1, 1, 8, 1, {{3, g("中国")}}, {1, 2, 7, 3, L}},
        {"D2", 0, 1, 5, 0, {}, {0, 3, 4, 2, L}},
        {"D5", 1, 1, 8, 1, {}, {1, 2, 5, 7, L}},
        {"D7", 0, 1, 4, 0, {{1, g("留言询价")}}, {0, 1, 2, 3, L}},
        {"D8", 1, 1, 6, 1, {{2, g("[离线]")}}, {1, 2, 3, 5, L}},
        {"D6", 0, 1, 7, 0, {}, {0, 1, 3, 6, L}},
        // No minimum of its own; its output needs four items.
        {"S2", 1, 1, 4, 1, {}, {1, 3, 2}},
        {"S1", 1, 1, 4, 1, {{1, g("-58企业网站")}}, {1, 2, 3}, true},
        {"D4", 0, 1, 7, 1, {}, {1, 3, 6, 4, L}},
        {"D3", 1, 1, 8, 1, {{1, g("生意旺铺")}, {4, g("未填写")}}, {1, 2, 4, 7, 6}},
        {"D9", 1, 1, 8, 1, {{1, g("- 搜企网")}, {7, g("查看地图")}}, {1, 2, 4, 7, 6}},
        {"D10", 1, 1, 7, 1, {}, {1, 6, 7, 2, 5}},
        {"D11", 1, 2, 8, 2, {{2, g("-书生商务网")}}, {2, 3, 6, 8, 7}},
        {"D12", 1, 1, 8, 1, {}, {1, 2, 5, 8, L}},
    };
    // The last site's pages end their titles with "-" and the site's host name.
    rules_[13].removals.push_back({1, "-" + catalogue.token("D12")});
    testOrder_ = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 12};
    for (const auto& r : rules_)
        tokens_.push_back(catalogue.token(r.label));
}

int ContactShaper::siteCode(std::string_view urlbegin) const
{
    const std::string lower = text::toLower(urlbegin);
    for (int code : testOrder_) {
        const std::string& token = tokens_[static_cast<std::size_t>(code)];
        if (!token.empty() && lower.find(token) != std::string::npos)
            return code;
    }
    return kNoSite;
}

bool ContactShaper::shape(int code, Row& items, const Target& target, std::vector<std::string>& out) const
{
    out.clear();
    for (auto& item : items)
        cutItem(item);
    // A row of nothing but blanks, control bytes and rule separators is no row: the
    // joined items without separators would trim to nothing.
    const auto meaningful = [&](const std::string& item) {
        for (char c : item)
            if (static_cast<unsigned char>(c) > 0x20 && c != target.delimiter)
                return true;
        return false;
    };
    if (std::none_of(items.begin(), items.end(), meaningful))
        return false;

    if (code < 0 || static_cast<std::size_t>(code) >= rules_.size()) {
        out.push_back(std::to_string(target.serial));
        out.insert(out.end(), items.begin(), items.end());
        if (target.appendTime)
            out.push_back(target.time);
        return true;
    }

    const Rule& rule = rules_[static_cast<std::size_t>(code)];
    const auto n = static_cast<int>(items.size());
    const auto duplicate = [&] {
        return rule.dupItem < n && target.columnHolds &&
               target.columnHolds(rule.dupColumn, items[static_cast<std::size_t>(rule.dupItem)]);
    };
    const auto removeAll = [&] {
        for (const auto& r : rule.removals)
            if (r.item < n && !r.text.empty())
                removeFirst(items[static_cast<std::size_t>(r.item)], r.text);
    };
    const auto keyBlank = [&] {
        return rule.key >= n || text::trimView(items[static_cast<std::size_t>(rule.key)]).empty();
    };

    if (rule.removalFirst) {
        if (n < rule.minimum)
            return false;
        removeAll();
        if (keyBlank() || duplicate())
            return false;
    } else {
        if (duplicate() || n < rule.minimum || keyBlank())
            return false;
        removeAll();
    }
    out.push_back(std::to_string(target.serial));
    for (int k : rule.output) {
        const int i = k == kLastItem ? n - 1 : k;
        out.push_back(i >= 0 && i < n ? items[static_cast<std::size_t>(i)] : std::string());
    }
    out.push_back(target.time);
    return true;
}

} // namespace tarvimo::engine
