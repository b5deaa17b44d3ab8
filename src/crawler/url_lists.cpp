#include "crawler/url_lists.h"

#include <algorithm>

namespace tarvimo::crawler {

namespace {

unsigned char folded(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') ? static_cast<unsigned char>(u - 'a' + 'A') : u;
}

} // namespace

int TMFStringList::compare(std::string_view a, std::string_view b)
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = folded(a[i]);
        const unsigned char y = folded(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

TMFStringList::Found TMFStringList::FindOrAdd(std::string_view text, bool addIfMissing, std::intptr_t object)
{
    Found f;
    int lo = 0;
    int hi = static_cast<int>(items_.size()) - 1;
    while (lo <= hi) {
        const int mid = lo + (hi - lo) / 2;
        const int c = ordered(items_[static_cast<std::size_t>(mid)].text, text);
        if (c == 0) {
            f.found = true;
            f.index = mid;
            f.insertAt = mid;
            return f;
        }
        if (c < 0)
            lo = mid + 1;
        else
            hi = mid - 1;
    }
    f.insertAt = lo;
    if (addIfMissing) {
        items_.insert(items_.begin() + lo, Item{std::string(text), object});
        f.index = lo;
    }
    return f;
}

void TMFStringList::Sort()
{
    if (dropEmpty_)
        std::erase_if(items_, [](const Item& i) { return i.text.empty(); });
    std::stable_sort(items_.begin(), items_.end(),
                     [this](const Item& a, const Item& b) { return ordered(a.text, b.text) < 0; });
}

void TMFStringList::setText(std::string_view text)
{
    items_.clear();
    while (!text.empty()) {
        std::size_t nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        items_.push_back({std::string(line), 0});
        if (nl == std::string_view::npos)
            break;
        text.remove_prefix(nl + 1);
    }
}

} // namespace tarvimo::crawler
