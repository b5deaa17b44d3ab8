// The directory search's side of the demo world, independent of the world's own code: each
// row's first-page request and start address as the search builds them, and each row's
// count rule written again, saying whether a page's number is read or the rule falls back
// to its default. A test asks the world with these and checks what the counting would read.
#pragma once

#include "base/text.h"
#include "directory/catalogue_rows.h"
#include "directory/result_counter.h"
#include "engine/patterns.h"
#include "net/http_client.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvimo::worldtest {

inline const std::vector<std::string>& labels()
{
    static const std::vector<std::string> all{"D1", "D2", "D3", "D4", "D5",  "D6", "D7",
                                              "D8", "D9", "D10", "D11", "D12", "S1", "S2"};
    return all;
}

// The site's host name (S1: the web search).
inline std::string hostOf(const std::string& label)
{
    if (label == "S1")
        return "search.demo.localhost";
    if (label == "S2")
        return "s2.demo.localhost";
    return text::toLower(label) + ".demo.localhost";
}

// The first-page request after the base address, as the search builds it, with 'page'
// where the row has its page number ("1", or "0" for D7 and S1).
inline std::string request(const std::string& label, std::string_view keyword, const std::string& page)
{
    const auto catalogue = engine::SiteCatalogue::shipped();
    const directory::CatalogueRow& row = *directory::findRow(label);
    const std::string k = directory::encodeKeyword(row.form, text::utf8ToGbk(keyword));
    const std::string url = directory::pagedAddress(row, directory::firstPageRequest(catalogue, row, k), page);
    return url.substr(catalogue.baseUrl(label).size());
}

inline std::string firstPageRequest(const std::string& label, std::string_view keyword)
{
    return request(label, keyword, label == "D7" || label == "S1" ? "0" : "1");
}

// The range the start address carries, from the value the row's count rule read.
struct Range {
    int first = 1, last = 1, step = 1;
    std::string text() const
    {
        return "{" + std::to_string(first) + "," + std::to_string(last) + (step == 1 ? "" : "," + std::to_string(step)) + "}";
    }
};
inline Range rangeOf(const std::string& label, int value)
{
    if (label == "D1")
        return {1, value / 24};
    if (label == "D2" || label == "D8" || label == "D11" || label == "D12")
        return {1, value};  // the value is a page count
    if (label == "D3" || label == "S2")
        return {1, value / 25 + 1};
    if (label == "D4")
        return {1, value / 30 + 1};
    if (label == "D5")
        return {1, 100};
    if (label == "D6" || label == "D9")
        return {1, value / 10 + 1};
    if (label == "D7")
        return {0, 50};
    if (label == "D10")
        return {1, value / 20 + 1};
    return {0, 500, 10};  // S1
}

// The start address of a row: the first-page request with the range for its page.
inline std::string startRequest(const std::string& label, std::string_view keyword, const Range& range)
{
    return request(label, keyword, range.text());
}

// The address of each page the range stands for.
inline std::vector<std::string> rangePages(const std::string& label, std::string_view keyword, const Range& range)
{
    std::vector<std::string> pages;
    for (int n = range.first; n <= range.last; n += range.step)
        pages.push_back(request(label, keyword, std::to_string(n)));
    return pages;
}

// ---- the counting -----------------------------------------------------------------------

// The conversion rows apply before counting: "U" converts a page that says charset=utf-8,
// "U2" also one that says charset="utf-8"; "" leaves the page as GBK.
inline std::string conversionOf(const std::string& label)
{
    if (label == "D2" || label == "D6" || label == "D8" || label == "S2")
        return "U";
    if (label == "D3" || label == "D4" || label == "D9" || label == "D10" || label == "D11" || label == "D12")
        return "U2";
    return "";
}

inline std::string converted(const std::string& label, const std::string& page)
{
    const std::string conversion = conversionOf(label);
    const std::string lower = text::toLower(page);
    const bool utf8 = lower.find("charset=utf-8") != std::string::npos ||
                      (conversion == "U2" && lower.find("charset=\"utf-8\"") != std::string::npos);
    return !conversion.empty() && utf8 ? text::utf8ToGbk(page) : page;
}

// The text of the first match of a pattern (written in UTF-8, matched as GBK bytes).
inline std::optional<std::string> firstMatch(const std::string& patternUtf8, const std::string& gbk)
{
    const engine::Regex re(text::utf8ToGbk(patternUtf8).c_str());
    std::string_view m;
    return re.findFirst(gbk, m) ? std::optional<std::string>(m) : std::nullopt;
}

// Tag removal: every &nbsp;, anything up to a stray first ">", then each "<...>" span.
inline std::string stripTags(std::string s) { return directory::StripMarkedSpans(std::move(s), "<", ">"); }

// A number as the counting reads one: leading blanks, a sign, then decimal digits (a
// leading "$" or "0x" hexadecimal) and nothing else.
inline std::optional<int> number(std::string_view s)
{
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    bool negative = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    int base = 10;
    if (s.starts_with('$')) {
        base = 16;
        s.remove_prefix(1);
    } else if (s.starts_with("0x") || s.starts_with("0X")) {
        base = 16;
        s.remove_prefix(2);
    }
    if (s.empty() || s.size() > 9)
        return std::nullopt;
    int v = 0;
    for (char c : s) {
        const int d = c >= '0' && c <= '9' ? c - '0' : base == 16 && c >= 'a' && c <= 'f' ? c - 'a' + 10
                      : base == 16 && c >= 'A' && c <= 'F'                               ? c - 'A' + 10
                                                                                          : -1;
        if (d < 0)
            return std::nullopt;
        v = v * base + d;
    }
    return negative ? -v : v;
}

inline std::string afterFirst(const std::string& page, const std::string& utf8Word)
{
    const std::string w = text::utf8ToGbk(utf8Word);
    const std::size_t at = page.find(w);
    return at == std::string::npos ? page : page.substr(at + w.size());
}

// What a row's count rule reads from a first page: the number, or nothing when the rule
// would fall back to its default or its no-match values (rows that do not examine the
// page read nothing either).
inline std::optional<int> countRule(const std::string& label, const std::string& body)
{
    const std::string page = converted(label, body);
    const auto regexNumber = [&](const std::string& pattern, const std::string& in) -> std::optional<int> {
        const auto m = firstMatch(pattern, in);
        return m ? number(*m) : std::nullopt;
    };
    // Marker rule: the bytes between the first start and the first end marker.
    const auto marker = [&](const std::string& startUtf8, const std::string& endUtf8) -> std::optional<int> {
        const std::string start = text::utf8ToGbk(startUtf8), end = text::utf8ToGbk(endUtf8);
        std::string in = page;
        std::size_t s = in.find(start), e = in.find(end);
        if (s != std::string::npos && e != std::string::npos && e < s) {
            in = in.substr(s, 255);
            s = in.find(start);
            e = in.find(end);
        }
        if (s == std::string::npos || e == std::string::npos || e < s + start.size())
            return std::nullopt;
        return number(text::trim(stripTags(stripTags(in.substr(s + start.size(), e - s - start.size())))));
    };
    // Tags removed from the match, then its first comma.
    const auto taggedNumber = [&](const std::string& pattern, const std::string& in) -> std::optional<int> {
        const auto m = firstMatch(pattern, in);
        if (!m)
            return std::nullopt;
        std::string t = stripTags(*m);
        if (const auto comma = t.find(','); comma != std::string::npos)
            t.erase(comma, 1);
        return number(t);
    };
    if (label == "D1")
        return marker("共找到", "条");
    if (label == "D2")
        return regexNumber("(?i)(?<=共).*?(?=页)", page);
    if (label == "D3")
        return regexNumber("(?i)(?<=相关记录).*?(?=条)", page);
    if (label == "D4")
        return regexNumber("(?i)(?<=共找到<span>).*?(?=</span>家)", page);
    if (label == "D6")
        return regexNumber("(?i)(?<=共找到 <em id=\"resultCount\">).*?(?=</em>)", page);
    if (label == "D8")
        return regexNumber("(?i)(?<=条/).*?(?=页)", page);
    if (label == "D9")
        return taggedNumber("(?i)(?<=搜索到).*?(?=项结果)", page);
    if (label == "D10") {
        const std::size_t at = page.find(text::utf8ToGbk("共"));
        const std::string cut = at == std::string::npos ? page : page.substr(at >= 10 ? at - 10 : 0);
        return taggedNumber("(?i)(?<=共).*?(?=条)", cut);
    }
    if (label == "D11")
        return regexNumber("(?i)(?<=&page=).*?(?=&cid)", afterFirst(page, "下一页"));
    if (label == "D12") {
        const std::string after = text::toLower(afterFirst(page, "下一页"));
        const std::size_t at = after.find("gotopage(");
        if (at == std::string::npos)
            return std::nullopt;
        const std::string window = after.substr(at + 9, 255);
        return number(window.substr(0, window.find(',')));
    }
    if (label == "S2")
        return marker("共", "条");
    return std::nullopt;  // D5, D7, S1 do not examine the page
}

// What the count rule of a row stands for: the result count C, or the page count P.
inline bool countsPages(const std::string& label)
{
    return label == "D2" || label == "D8" || label == "D11" || label == "D12";
}

// ---- pages --------------------------------------------------------------------------------

inline bool utf8Site(const std::string& label) { return !conversionOf(label).empty(); }

// The page as UTF-8 text, from the encoding its site serves.
inline std::string pageText(const std::string& label, const std::string& body)
{
    return utf8Site(label) ? body : text::gbkToUtf8(body);
}

// Every href="..." of a page, in page order.
inline std::vector<std::string> links(const std::string& page)
{
    std::vector<std::string> out;
    for (std::size_t at = page.find("href=\""); at != std::string::npos; at = page.find("href=\"", at + 6)) {
        const std::size_t end = page.find('"', at + 6);
        if (end == std::string::npos)
            break;
        out.push_back(page.substr(at + 6, end - at - 6));
    }
    return out;
}

inline net::HttpResult fetch(const std::string& url, long timeoutMs = 10000)
{
    net::HttpClient client;
    client.setConnectTimeoutMs(timeoutMs);
    client.setReadTimeoutMs(timeoutMs);
    return client.get(url);
}

} // namespace tarvimo::worldtest
