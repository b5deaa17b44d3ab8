#include "directory/result_counter.h"

#include "base/text.h"
#include "engine/patterns.h"
#include "engine/postprocess.h"

#include <algorithm>
#include <climits>

namespace tarvimo::directory {
namespace {

constexpr std::size_t npos = std::string::npos;
// A first page is one listing page; anything far larger is no result page.
constexpr std::size_t kMaxFirstPageBytes = 8u << 20;
constexpr long kTimeoutMs = 10000;

std::string g(std::string_view utf8) { return text::gbk(utf8); }

// Reads a count as the sites' pages write it: blanks, an optional sign and decimal digits,
// or hexadecimal after "$" or "0x". Anything else (trailing blanks too) is no number.
bool readNumber(std::string_view s, long long& out)
{
    std::string t(s);
    std::size_t i = 0;
    while (i < t.size() && (t[i] == ' ' || t[i] == '\t'))
        ++i;
    if (i < t.size() && t[i] == '$')
        t.replace(i, 1, "0x");
    int v = 0;
    if (!text::parseInt32(t, v, true))
        return false;
    out = v;
    return true;
}

long long numberOr(std::string_view s, long long def)
{
    long long v = def;
    return readNumber(s, v) ? v : def;
}

// Conversion U (and U2, which also knows the quoted value): a page that says it is UTF-8
// is read as UTF-8; any other page is taken as GBK bytes.
void convertPage(std::string& page, bool quotedToo)
{
    const std::string lower = text::toLower(page);
    if (lower.find("charset=utf-8") != npos || (quotedToo && lower.find("charset=\"utf-8\"") != npos))
        page = text::utf8ToGbk(page);
}

bool firstMatch(const char* patternUtf8, std::string_view page, std::string& match)
{
    const engine::Regex re(g(patternUtf8).c_str());
    std::string_view m;
    if (!re.findFirst(page, m))
        return false;
    match.assign(m);
    return true;
}

// Bytes of s from the 1-based position 'from', at most 'count' of them (none when count
// is not positive): the cut the marker rule is written in.
std::string cut1(std::string_view s, long long from, long long count)
{
    if (count <= 0)
        return {};
    from = std::max(from, 1LL);
    if (from > static_cast<long long>(s.size()))
        return {};
    return std::string(s.substr(static_cast<std::size_t>(from - 1), static_cast<std::size_t>(count)));
}

long long pos1(std::string_view s, std::string_view needle)
{
    const std::size_t p = s.find(needle);
    return p == npos ? 0 : static_cast<long long>(p) + 1;
}

// The marker rule: the text between the first start marker and the first end marker, with
// a second look within the 255 bytes from the start marker when the end comes first.
std::string markerText(std::string_view page, std::string_view start, std::string_view end)
{
    std::string_view area = page;
    std::string window;
    long long s = pos1(area, start);
    long long e = pos1(area, end);
    if (e < s) {
        window = cut1(page, s, 255);
        area = window;
        s = pos1(area, start);
        e = pos1(area, end);
    }
    const long long len = static_cast<long long>(start.size());
    std::string t = cut1(area, s + len, e - s - len);
    t = StripMarkedSpans(StripMarkedSpans(std::move(t), "<", ">"), "<", ">");
    return text::trim(t);
}

void removeFirst(std::string& s, std::string_view what)
{
    if (const std::size_t p = s.find(what); p != npos)
        s.erase(p, what.size());
}

// The page from right after the first 'marker'; the whole page when there is none.
std::string afterFirst(const std::string& page, std::string_view marker)
{
    const std::size_t p = page.find(marker);
    return p == npos ? page : page.substr(p + marker.size());
}

long long clampPages(long long n) { return std::clamp(n, 1LL, static_cast<long long>(kMaxResultPages)); }

std::string range(long long from, long long to) { return "{" + std::to_string(from) + "," + std::to_string(clampPages(to)) + "}"; }

// A count is never negative.
std::optional<long long> reported(long long c) { return std::max(c, 0LL); }

} // namespace

std::string StripMarkedSpans(std::string s, std::string_view begin, std::string_view end)
{
    text::replaceAllNoCaseInPlace(s, "&nbsp;", "");
    return engine::RemoveSpans(std::move(s), begin, end);
}

PageCount readResultPage(const CatalogueRow& row, std::string page)
{
    const std::string_view label = row.label;
    std::string m;
    if (label == "D1") {
        const long long c = numberOr(markerText(page, g("共找到"), g("条")), 100);
        return {range(1, c / 24), reported(c)};
    }
    if (label == "D2") {
        convertPage(page, false);
        if (!firstMatch("(?i)(?<=共).*?(?=页)", page, m))
            return {range(1, 10), 10};
        const long long p = numberOr(m, 100);
        return {range(1, p), reported(p)};
    }
    if (label == "D3") {
        convertPage(page, true);
        if (!firstMatch("(?i)(?<=相关记录).*?(?=条)", page, m))
            return {range(1, 100), 2000};
        const long long c = numberOr(m, 2500);
        return {range(1, c / 25 + 1), reported(c)};
    }
    if (label == "D4") {
        convertPage(page, true);
        if (!firstMatch("(?i)(?<=共找到<span>).*?(?=</span>家)", page, m))
            return {range(1, 1), 30};
        const long long c = numberOr(m, 50);
        return {range(1, c / 30 + 1), reported(c)};
    }
    if (label == "D5")
        return {range(1, 100), std::nullopt};
    if (label == "D6") {
        convertPage(page, false);
        if (!firstMatch("(?i)(?<=共找到 <em id=\"resultCount\">).*?(?=</em>)", page, m))
            return {range(1, 1), 10};
        const long long c = numberOr(m, 10);
        return {range(1, c / 10 + 1), reported(c)};
    }
    if (label == "D7")
        return {"{0,50}", std::nullopt};
    if (label == "D8") {
        convertPage(page, false);
        if (!firstMatch("(?i)(?<=条/).*?(?=页)", page, m))
            return {range(1, 10), 10};
        const long long p = numberOr(m, 50);
        return {range(1, p), reported(p * 10)};
    }
    if (label == "D9" || label == "D10") {
        convertPage(page, true);
        const bool d9 = label == "D9";
        if (!d9) {
            // The count stands near the first "共": the page is read from 10 bytes before it.
            if (const std::size_t p = page.find(g("共")); p != npos)
                page.erase(0, p >= 10 ? p - 10 : 0);
        }
        if (!firstMatch(d9 ? "(?i)(?<=搜索到).*?(?=项结果)" : "(?i)(?<=共).*?(?=条)", page, m))
            return {range(1, 100), 1000};
        m = StripMarkedSpans(std::move(m), "<", ">");
        removeFirst(m, ",");
        const long long c = numberOr(m, d9 ? 1000 : 0);
        return {range(1, c / (d9 ? 10 : 20) + 1), reported(c)};
    }
    if (label == "D11") {
        convertPage(page, true);
        page = afterFirst(page, g("下一页"));
        if (!firstMatch("(?i)(?<=&page=).*?(?=&cid)", page, m))
            return {range(1, 10), 100};
        const long long p = numberOr(m, 10);
        return {range(1, p), reported(p * 10)};
    }
    if (label == "D12") {
        convertPage(page, true);
        page = text::toLower(afterFirst(page, g("下一页")));
        std::string t = afterFirst(page, "gotopage(").substr(0, 255);
        if (const std::size_t comma = t.find(','); comma != npos)
            t.resize(comma);
        const long long p = numberOr(t, 1);
        return {range(1, p), reported(p * 20)};
    }
    if (label == "S1")
        return {"{0,500,10}", std::nullopt};
    if (label == "S2") {
        convertPage(page, false);
        const long long c = numberOr(markerText(page, g("共"), g("条")), 2500);
        return {range(1, c / 25 + 1), reported(c)};
    }
    return {};
}

std::string pagedAddress(const CatalogueRow& row, const std::string& requestUrl, const std::string& rangeText)
{
    const std::string_view label = row.label;
    std::string url = requestUrl;
    if (label == "D6") {
        // The page is the number right before ".html".
        const std::size_t html = url.find(".html");
        if (html == npos)
            return url;
        std::size_t b = html;
        while (b > 0 && url[b - 1] >= '0' && url[b - 1] <= '9')
            --b;
        if (b < html)
            url.replace(b, html - b, rangeText);
        return url;
    }
    if (label == "D12" || label == "S2") {
        // The page is the text between the last two "/".
        const std::size_t last = url.rfind('/');
        if (last == npos || last == 0)
            return url;
        const std::size_t before = url.rfind('/', last - 1);
        if (before == npos || before + 1 >= last)
            return url;
        url.replace(before + 1, last - before - 1, rangeText);
        return url;
    }
    const char* name = label == "D1"   ? "ee"
                       : label == "D3" ? "p"
                       : label == "D4" ? "beginPage"
                       : label == "D7" ? "p"
                       : label == "S1" ? "pn"
                                       : "page";
    // The page parameter follows the keyword in every request; the last one is taken so a
    // keyword can never stand in for it.
    std::size_t at = npos;
    for (const char* lead : {"&", "?"}) {
        const std::string key = std::string(lead) + name + "=";
        if (const std::size_t p = url.rfind(key); p != npos && (at == npos || p > at))
            at = p + key.size();
    }
    if (at == npos)
        return url;
    std::size_t end = url.find_first_of("&#", at);
    if (end == npos)
        end = url.size();
    url.replace(at, end - at, rangeText);
    return url;
}

TqovCpOther::TqovCpOther(engine::SiteCatalogue catalogue)
    : catalogue_(std::move(catalogue)), http_(std::make_unique<net::HttpClient>())
{
    http_->setUserAgent(net::kUserAgent);
    http_->setFollowRedirects(true);
    setTimeoutsMs(kTimeoutMs);
    http_->setMaxBodyBytes(kMaxFirstPageBytes);
}

TqovCpOther::~TqovCpOther() = default;

void TqovCpOther::setTimeoutsMs(long ms)
{
    http_->setConnectTimeoutMs(ms);
    http_->setReadTimeoutMs(ms);
}

void TqovCpOther::cancel() { http_->cancel(); }

const CatalogueRow* TqovCpOther::rowFor(std::string_view requestUrl) const
{
    for (const auto& row : catalogueRows())
        if (catalogue_.matches(row.label, requestUrl))
            return &row;
    return nullptr;
}

namespace {

// The site root of an address: scheme, host and the first "/".
std::string siteRoot(const std::string& url)
{
    const std::size_t scheme = url.find("://");
    const std::size_t hostAt = scheme == npos ? 0 : scheme + 3;
    const std::size_t slash = url.find('/', hostAt);
    if (slash == npos)
        return url;
    return url.substr(0, slash + 1);
}

} // namespace

void TqovCpOther::CountResultPages(const std::string& requestUrl, const std::string& encodedKeyword,
                                   long long& resultCount, std::string& startUrl)
{
    startUrl.clear();
    http_->setReferer(siteRoot(requestUrl));
    net::HttpResult r = http_->get(requestUrl);
    if (!r.success())
        throw CountError(r.ok ? "HTTP " + std::to_string(r.status) : r.error);
    const CatalogueRow* row = rowFor(requestUrl);
    if (!row)
        return;
    // The page value stands after the keyword: the address is searched from the end of the
    // keyword on (found where the row's fixed text follows it), so no keyword can stand in
    // for the page parameter.
    const std::size_t k =
        encodedKeyword.empty() ? npos : requestUrl.find(encodedKeyword + row->afterKeyword);
    PageCount counted = readResultPage(*row, std::move(r.body));
    if (counted.count)
        resultCount = *counted.count;
    if (k == npos) {
        startUrl = pagedAddress(*row, requestUrl, counted.range);
    } else {
        const std::size_t tail = k + encodedKeyword.size();
        startUrl = requestUrl.substr(0, tail) + pagedAddress(*row, requestUrl.substr(tail), counted.range);
    }
}

} // namespace tarvimo::directory
