#include "engine/url_generation.h"

#include "base/files.h"
#include "base/home.h"
#include "base/text.h"
#include "engine/page_text.h"
#include "store/delimited.h"

#include <algorithm>
#include <unordered_map>

namespace tarvimo::engine {
namespace {

constexpr std::size_t npos = std::string::npos;

std::string cutNote(std::string_view what, long long limit)
{
    return std::string(what) + " 太大, 只生成前 " + std::to_string(limit) + " 个网址";
}

// Equality and hash without regard to ASCII letter case, for views into an address list.
struct NoCaseHash {
    std::size_t operator()(std::string_view s) const { return hashNoCase(s); }
};
struct NoCaseEqual {
    bool operator()(std::string_view a, std::string_view b) const { return text::equalsNoCase(a, b); }
};

bool toInt(std::string_view s, long long& out)
{
    int v = 0;
    if (!text::parseInt32(text::trimView(s), v, false))
        return false;
    out = v;
    return true;
}

std::vector<std::string> addressFile(const std::string& value, const std::string& home, bool& readable)
{
    std::string bytes;
    readable = files::tryReadAll(home::toNativePath(value, home), bytes);
    std::vector<std::string> urls;
    for (auto& line : text::splitLines(bytes))
        if (!text::trimView(line).empty())  // blank lines are no addresses
            urls.push_back(text::trim(line));
    return urls;
}

void pageNumbers(const UrlNavigation& nav, std::vector<std::string>& urls, UrlListResult& result)
{
    const std::string& b = nav.begin;
    const std::string& k = nav.keyword;
    // The keyword as written; when it occurs only in another letter case, that place.
    std::size_t at = text::findChar(b, k);
    if (at == npos)
        at = text::findNoCase(b, text::trimView(k));
    if (at == npos)
        at = 0;
    const std::string prefix = b.substr(0, at);
    std::size_t runEnd = std::min(b.size(), at + k.size());
    std::string digits;
    while (runEnd < b.size() && (b[runEnd] == '=' || (b[runEnd] >= '0' && b[runEnd] <= '9'))) {
        if (b[runEnd] != '=')
            digits += b[runEnd];
        ++runEnd;
    }
    long long already = 0;
    if (!toInt(digits, already))
        already = 0;
    const std::string suffix = b.substr(runEnd);
    const bool equalsAfterKeyword = at + k.size() < b.size() && b[at + k.size()] == '=';

    long long first = 0, last = 0;
    if (!toInt(nav.pageBegin, first) || !toInt(nav.pageEnd, last)) {
        result.ok = false;
        result.error = "page range is not a number";
        return;
    }
    const long long step = nav.increment > 0 ? nav.increment : 1;  // 0 or less would never end
    std::string p = std::string(text::trimView(nav.pageBegin));  // the first page as typed
    long long count = 0;
    if (last >= first)
        urls.reserve(urls.size() + static_cast<std::size_t>(std::min((last - first) / step + 1, nav.maxAddresses)));
    const std::string head = prefix + k + (equalsAfterKeyword ? "=" : "");
    long long v = first;
    for (; v <= last && count < nav.maxAddresses; v += step, ++count) {
        if (v != already) {
            std::string& u = urls.emplace_back();
            u.reserve(head.size() + p.size() + suffix.size());
            u.append(head).append(p).append(suffix);
        }
        p = std::to_string(v + step);
    }
    if (v <= last)
        result.notes.push_back(cutNote("页码范围 " + text::gbkToUtf8(text::trimView(nav.pageBegin)) + " 至 " +
                                       text::gbkToUtf8(text::trimView(nav.pageEnd)),
                                       nav.maxAddresses));
}

} // namespace

UrlListResult buildUrlList(const UrlNavigation& nav)
{
    UrlListResult result;
    auto& urls = result.urls;
    const std::string& b = nav.begin;
    if (home::isLocalPath(text::trimView(b))) {
        bool readable = false;
        urls = addressFile(b, nav.home, readable);
        if (urls.empty()) {
            result.ok = false;
            result.error = readable ? "the address file holds no address" : "the address file cannot be read";
            return result;
        }
    } else if (!text::trimView(nav.pageBegin).empty() && !text::trimView(nav.pageEnd).empty() &&
               !text::trimView(nav.keyword).empty() &&
               text::toLower(text::trimView(b)).find(text::toLower(text::trimView(nav.keyword))) != npos) {
        urls.push_back(b);
        if (b.find('{') == npos && b.find('}') == npos) {
            pageNumbers(nav, urls, result);
            if (!result.ok)
                return result;
        }
    } else {
        urls.push_back(b);
    }

    // Hand-added addresses the list already holds (letter case ignored) are not added again.
    // The few hand-added ones are indexed and the list is read once, so a list of millions
    // of addresses costs one pass and no copy of them.
    if (!nav.extraUrls.empty()) {
        std::unordered_map<std::string_view, bool, NoCaseHash, NoCaseEqual> held;  // extra -> in the list
        for (const auto& extra : nav.extraUrls)
            held.emplace(extra, false);
        for (const auto& u : urls)
            if (auto it = held.find(u); it != held.end())
                it->second = true;
        for (const auto& extra : nav.extraUrls)
            if (!held.at(extra))
                urls.push_back(extra);
    }

    expandBraceRanges(urls, &result.notes, nav.maxAddresses);
    return result;
}

void expandBraceRanges(std::vector<std::string>& urls, std::vector<std::string>* notes, long long maxAddresses)
{
    // Most lists hold no template: leave them where they are.
    if (std::none_of(urls.begin(), urls.end(), [](const std::string& u) { return u.find('{') != npos; }))
        return;
    bool cutNoted = false;
    std::vector<std::string> kept, expanded;
    kept.reserve(urls.size());
    long long total = 0;
    for (auto& u : urls) {
        const std::size_t open = u.find('{');
        const std::size_t close = open == npos ? npos : u.find('}', open + 1);
        if (open == npos || close == npos) {
            kept.push_back(std::move(u));
            continue;
        }
        const std::string group = u.substr(open, close - open + 1);
        const auto items = store::splitDelimited(std::string_view(group).substr(1, group.size() - 2), ',');
        long long from = 0, to = 0, step = 1;
        if (items.size() > 0 && !toInt(items[0], from))
            from = 0;
        if (items.size() > 1 && !toInt(items[1], to))
            to = 0;
        if (items.size() > 2 && (!toInt(items[2], step) || step == 0))
            step = 1;
        if (step < 0)
            step = 1;  // a falling range would never end
        const std::size_t at = text::findNoCase(u, group);
        long long v = from;
        for (; v <= to && total < maxAddresses; v += step, ++total) {
            std::string e = u;
            e.replace(at, group.size(), std::to_string(v));
            expanded.push_back(std::move(e));
        }
        if (!notes)
            continue;
        if (from > to)
            notes->push_back("网址范围 " + text::gbkToUtf8(group) + " 不生成任何网址: " + text::gbkToUtf8(u));
        else if (v <= to && !cutNoted) {
            notes->push_back(cutNote("网址范围 " + text::gbkToUtf8(group), maxAddresses));
            cutNoted = true;
        }
    }
    kept.insert(kept.end(), std::make_move_iterator(expanded.begin()), std::make_move_iterator(expanded.end()));
    urls = std::move(kept);
}

std::string rewriteUrl(const std::string& address, const UrlRewrite& rule)
{
    const std::string o = text::trim(rule.pattern), n = text::trim(rule.replacement);
    if (!rule.enabled || o.empty() || n.empty())
        return address;
    if (o.find('*') == npos && n.find('*') == npos)
        return text::replaceAll(address, o, n);

    std::vector<std::string> pieces;
    std::size_t from = o.starts_with('*') ? 1 : 0;
    for (int round = 0; round < 20; ++round) {
        const std::size_t star = o.find('*', from);
        pieces.push_back(text::trim(std::string_view(o).substr(from, star == npos ? npos : star - from)));
        if (star == npos)
            break;
        from = star + 1;
    }
    for (const auto& p : pieces)
        if (p.empty() || text::findNoCase(address, p) == npos)
            return address;
    std::string copy = address;
    for (const auto& p : pieces) {
        const std::size_t at = text::findNoCase(copy, p);
        if (at != npos)
            copy.replace(at, p.size(), "^");
    }
    std::string item;
    for (const auto& i : store::splitDelimited(copy, '^'))
        if (!text::trimView(i).empty()) {
            item = text::trim(i);
            break;
        }
    return text::replaceAll(n, "*", item);
}

std::vector<std::string> Request::formLines() const
{
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < body.size(); at += 255)
        lines.push_back(body.substr(at, 255));
    return lines;
}

Request parseRequest(std::string_view address)
{
    Request r;
    std::string a;
    a.reserve(address.size());
    for (char c : address)
        if (c != ' ')
            a += c;
    const std::size_t open = a.find("[post]"), close = a.find("[/post]");
    if (open != npos && close != npos) {
        r.post = true;
        r.url = a.substr(0, open);
        if (close > open + 6)
            r.body = text::trim(std::string_view(a).substr(open + 6, close - open - 6));
        return r;
    }
    r.url = std::move(a);
    return r;
}

namespace {

inline char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

// "href" before an '=' at e, letter case ignored. The 'r', 'e' and 'f' follow a letter, so
// each is a character of its own and lower-casing would have folded it.
bool hrefBefore(std::string_view page, std::size_t e)
{
    return lowerAscii(page[e - 4]) == 'h' && lowerAscii(page[e - 3]) == 'r' && lowerAscii(page[e - 2]) == 'e' &&
           lowerAscii(page[e - 1]) == 'f';
}

// A picture, movie or sound file, judged on the lower-cased address. Every letter of these
// endings follows a '.' or a letter, so it is a character of its own and a byte-wise
// comparison without letter case gives the same answer as lower-casing first.
bool isMediaFile(std::string_view url)
{
    static constexpr std::string_view kSkipped[] = {"jpg", "jpeg", "bmp", "gif", "swf", "rm", "mp3"};
    for (std::size_t dot = url.find('.'); dot != npos; dot = url.find('.', dot + 1)) {
        const std::string_view rest = url.substr(dot + 1);
        for (std::string_view ext : kSkipped) {
            if (rest.size() < ext.size())
                continue;
            std::size_t k = 0;
            while (k < ext.size() && lowerAscii(rest[k]) == ext[k])
                ++k;
            if (k == ext.size())
                return true;
        }
    }
    return false;
}

// The link text of one "href=" up to its '>': trimmed, quotes and every "href=" (letter case
// ignored, at character boundaries) removed, cut at the first blank, a leading '/' dropped.
// Written into 'out', whose capacity is reused from link to link.
void cleanLink(std::string_view raw, std::string& out)
{
    raw = text::trimView(raw);
    out.clear();
    for (char c : raw)
        if (c != '\'' && c != '"')
            out += c;
    // Occurrences are taken from the text as it was before any removal, left to right.
    std::size_t w = 0;
    for (std::size_t i = 0; i < out.size();) {
        if (i + 5 <= out.size() && lowerAscii(out[i]) == 'h' && lowerAscii(out[i + 1]) == 'r' &&
            lowerAscii(out[i + 2]) == 'e' && lowerAscii(out[i + 3]) == 'f' && out[i + 4] == '=') {
            i += 5;
            continue;
        }
        for (std::size_t n = text::charLen(out, i); n > 0; --n)
            out[w++] = out[i++];
    }
    out.resize(w);
    if (auto blank = out.find(' '); blank != npos)
        out.resize(blank);
    if (!out.empty() && out[0] == '/')
        out.erase(0, 1);
}

} // namespace

std::size_t extractLinks(std::string_view page, std::string base, std::string_view gatherWords,
                         UrlList& found, std::string_view filterWords)
{
    // "href=" is sought in the page itself rather than in a lower-cased copy. An 'H' counts
    // only where lower-casing would have changed it: as a character of its own, not as the
    // second byte of a double-byte character. 'boundary' walks the page's characters for
    // that, only as far as such an 'H' needs, so the whole search stays linear.
    std::size_t boundary = 0;
    auto nextHref = [&](std::size_t from) {
        for (std::size_t e = from + 4; e < page.size(); ++e) {
            e = page.find('=', e);  // rarer than 'h', and found with memchr
            if (e == npos)
                return npos;
            if (!hrefBefore(page, e))
                continue;
            const std::size_t h = e - 4;
            if (page[h] == 'h' || h == 0 || !text::isLeadByte(static_cast<unsigned char>(page[h - 1])))
                return h;
            while (boundary < h)
                boundary += text::charLen(page, boundary);
            if (boundary == h)
                return h;
        }
        return npos;
    };

    std::size_t h = nextHref(0);
    if (h == npos)
        return 0;
    if (!base.ends_with('/'))
        base += '/';
    const auto gather = store::splitDelimited(gatherWords, ',');
    const auto filter = store::splitDelimited(filterWords, ',');

    std::string link, cand;
    std::size_t g = 0;  // the first '>' after the current candidate (or the page's end)
    for (int round = 0; round < 5000 && h != npos; ++round, h = nextHref(h + 5)) {
        if (round == 0 || g < h) {
            g = page.find('>', h);
            if (g == npos)
                g = page.size();
        }
        if (g - h > kMaxLinkBytes)
            continue;
        cleanLink(page.substr(h, g - h), link);
        cand.clear();
        if (!hasWebScheme(link))
            cand += base;
        cand += link;
        // 'cand' is never empty: a relative link carries the base, an absolute one its scheme.
        if (isMediaFile(cand))
            continue;
        if ((gather.empty() || text::containsAnyWord(cand, gather)) && !text::containsAnyWord(cand, filter))
            found.add(cand);  // one probe both tests and places; a repeat costs a short copy
    }
    return found.size();
}

} // namespace tarvimo::engine
