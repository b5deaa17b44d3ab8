#include "store/delimited.h"

#include "base/text.h"

namespace tarvimo::store {
namespace {

constexpr char Q = '"';

inline bool blankOrControl(char c) { return c != '\0' && static_cast<unsigned char>(c) <= 0x20; }

} // namespace

std::vector<std::string> splitDelimited(std::string_view value, char d)
{
    // A zero byte ends the value, as it ends a zero-terminated string.
    if (auto z = value.find('\0'); z != std::string_view::npos)
        value = value.substr(0, z);
    std::vector<std::string> items;
    const std::size_t n = value.size();
    std::size_t p = 0;
    while (p < n && blankOrControl(value[p]))
        ++p;
    while (p < n) {
        std::string item;
        if (value[p] == Q) {
            ++p;
            while (p < n) {
                if (value[p] == Q) {
                    if (p + 1 < n && value[p + 1] == Q) {
                        item += Q;
                        p += 2;
                        continue;
                    }
                    ++p;  // closing quote
                    break;
                }
                std::size_t len = text::charLen(value, p);
                item.append(value.substr(p, len));
                p += len;
            }
        } else {
            std::size_t b = p;
            while (p < n && static_cast<unsigned char>(value[p]) > 0x20 && value[p] != d)
                p += text::charLen(value, p);
            item.assign(value.substr(b, p - b));
        }
        items.push_back(std::move(item));
        while (p < n && blankOrControl(value[p]))
            ++p;
        if (p < n && value[p] == d) {
            if (p + 1 == n)
                items.emplace_back();
            do
                ++p;
            while (p < n && blankOrControl(value[p]));
        }
    }
    return items;
}

std::string joinDelimited(const std::vector<std::string>& items, char d)
{
    if (items.size() == 1 && items[0].empty())
        return std::string(2, Q);
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i)
            out += d;
        const std::string& s = items[i];
        bool quote = false;
        for (std::size_t p = 0; p < s.size() && !quote; p += text::charLen(s, p)) {
            const unsigned char c = static_cast<unsigned char>(s[p]);
            const bool single = text::charLen(s, p) == 1;
            // A stray lead byte at the end would pair with the delimiter that follows it.
            quote = c <= 0x20 || c == Q || (single && s[p] == d) ||
                    (single && p + 1 == s.size() && text::isLeadByte(c));
        }
        if (!quote) {
            out += s;
            continue;
        }
        out += Q;
        for (char c : s) {
            if (c == Q)
                out += Q;
            out += c;
        }
        out += Q;
    }
    return out;
}

char ruleDelimiter(std::string_view ruleSplitValue) { return ruleSplitValue.empty() ? '^' : ruleSplitValue[0]; }

} // namespace tarvimo::store
