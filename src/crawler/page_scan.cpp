#include "crawler/page_scan.h"

#include "crawler/ascii.h"

#include <array>

namespace tarvimo::crawler {

namespace {

using ascii::findNoCase;
using ascii::upper;

// 'page': the body cleaning (quotes and commas become blanks, line feeds are dropped);
// otherwise the head cleaning (quotes and commas stay, line feeds become blanks).
std::string clean(std::string_view in, bool page)
{
    auto transform = [page](char c) -> int {
        const auto u = static_cast<unsigned char>(c);
        if (!page && c == '\n')
            return ' ';
        if (u < 32)
            return -1;
        if (page && (c == '"' || c == '\'' || c == ','))
            return ' ';
        return u;
    };
    std::string out;
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        const int c = transform(in[i]);
        if (c < 0)
            continue;
        if (c == ' ') {
            if (!out.empty() && out.back() == '=')
                continue;
            const int next = i + 1 < in.size() ? transform(in[i + 1]) : -1;
            if (next == ' ' || next == '=')
                continue;
        }
        out += static_cast<char>(c);
    }
    return out;
}

struct Marker {
    std::string_view pattern;
    char code;
};

constexpr std::array<Marker, 14> kMarkers {{
    {" HREF=", kLinkAttribute},
    {" SRC=", kEmbedAttribute},
    {"<A", kContainerOpen},
    {"/A>", kContainerClose},
    {"A/>", kContainerClose},
    {"<FRAME", kContainerOpen},
    {"</FRAME", kContainerClose},
    {"OPENWIN( ", kLinkAttribute},
    {"BASE HREF=", kBaseAddress},
    {"<OPTION", kContainerOpen},
    {"/OPTION>", kContainerClose},
    {"<APPLET", kContainerOpen},
    {"/APPLET>", kContainerClose},
    {" VALUE=", kOptionValue},
}};

bool isOpenOrClose(char c) { return c == kContainerOpen || c == kContainerClose; }

// A value as read, made into a link text or dropped (empty result).
std::string acceptValue(char kind, std::string value)
{
    if (findNoCase(value, "TOP.WINDOW") != std::string::npos)
        return {};
    if (const std::size_t open = value.find('('); open != std::string::npos && open > 0) {
        value.erase(0, open + 1);
        if (const std::size_t close = value.find(')'); close != std::string::npos && close > 0)
            value.resize(close);
    }
    if (const std::size_t lt = value.find('<'); lt != std::string::npos)
        value.resize(lt);
    if (const std::size_t gt = value.find('>'); gt != std::string::npos)
        value.resize(gt);
    if (value.find_first_of("()+[]") != std::string::npos || value == "=")
        return {};
    if (kind == kOptionValue
        && (value.find('/') == std::string::npos || value.find_first_of(" ;") != std::string::npos))
        return {};
    return value;
}

} // namespace

std::string cleanBody(std::string_view body) { return clean(body, true); }

bool markText(std::string& text)
{
    std::array<std::size_t, kMarkers.size()> progress {};
    bool any = false;
    for (char& byte : text) {
        const char c = upper(byte);
        for (std::size_t m = 0; m < kMarkers.size(); ++m) {
            const std::string_view p = kMarkers[m].pattern;
            if (c == p[progress[m]]) {
                if (++progress[m] == p.size()) {
                    byte = kMarkers[m].code;
                    progress[m] = 0;
                    any = true;
                }
            } else {
                progress[m] = c == p[0] ? 1 : 0;
            }
        }
    }
    return any;
}

void repairNesting(std::string& text)
{
    bool open = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == kContainerOpen) {
            if (open && i >= 2) {
                // The container left open is closed on the byte before; this one then
                // opens the next.
                text[i - 1] = kContainerClose;
            }
            open = true;
        } else if (text[i] == kContainerClose) {
            open = false;
        }
    }
}

void scanValues(std::string_view marked, const std::function<bool(const FoundValue&)>& found)
{
    char kind = 0;          // 0: not collecting
    bool started = false;   // leading blanks passed
    std::string value;
    for (char c : marked) {
        if (isOpenOrClose(c)) {
            kind = 0;
            continue;
        }
        if (c >= kLinkAttribute && c <= kBaseAddress) {
            kind = c;
            started = false;
            value.clear();
            continue;
        }
        if (!kind)
            continue;
        if (!started) {
            if (c == ' ')
                continue;
            started = true;
        }
        if (c != ' ' && c != '>') {
            value += c;
            continue;
        }
        const char k = kind;
        kind = 0;
        std::string accepted = acceptValue(k, std::move(value));
        value.clear();
        if (!accepted.empty() && !found(FoundValue{k, std::move(accepted)}))
            return;
    }
}

void scanPage(std::string_view body, const std::function<bool(const FoundValue&)>& found)
{
    std::string text = cleanBody(body);
    if (!markText(text))
        return;
    repairNesting(text);
    scanValues(text, found);
}

HeadInfo readHead(std::string_view body)
{
    HeadInfo info;
    const std::size_t open = findNoCase(body, "<HEAD>");
    if (open == std::string_view::npos)
        return info;
    const std::size_t from = open + 6;
    std::size_t close = findNoCase(body, "</HEAD>", from);
    if (close == std::string_view::npos)
        close = body.size();
    const std::string head = clean(body.substr(from, close - from), false);

    if (const std::size_t t = findNoCase(head, "<TITLE>"); t != std::string::npos) {
        const std::size_t e = findNoCase(head, "</TITLE>", t + 7);
        if (e != std::string::npos) {
            MetaTag title;
            title.type = "TITLE";
            title.attrib[0] = "TITLE";
            title.value[0] = head.substr(t + 7, e - t - 7);
            info.tags.push_back(std::move(title));
        }
    }

    std::size_t lt = head.find('<');
    while (lt != std::string::npos) {
        const std::size_t gt = head.find('>', lt + 1);
        if (gt == std::string::npos)
            break;
        std::string_view tag(head.data() + lt + 1, gt - lt - 1);
        lt = head.find('<', gt + 1);
        if (tag.size() <= 5 || tag[4] != ' ')
            continue;
        // A closing "/" of the short form is no attribute.
        if (tag.ends_with('/')) {
            tag.remove_suffix(1);
            while (tag.ends_with(' '))
                tag.remove_suffix(1);
        }
        MetaTag m;
        for (std::size_t k = 0; k < 4; ++k)
            m.type += upper(tag[k]);
        int pair = 0;
        enum { Name, Value, Quoted, AfterValue } state = Name;
        bool complete = false;
        for (std::size_t i = 5; i < tag.size(); ++i) {
            const char c = tag[i];
            if (state == Name) {
                if (c == '=')
                    state = Value;
                else if (c != ' ')
                    m.attrib[pair] += upper(c);
            } else if (state == Value && m.value[pair].empty() && c == '"') {
                state = Quoted;
            } else if (state == Quoted) {
                if (c == '"')
                    state = AfterValue;
                else
                    m.value[pair] += c;
            } else if (c == ' ') {
                if (pair == 2)
                    break;   // a fourth attribute: no event
                ++pair;
                state = Name;
            } else if (state == Value) {
                m.value[pair] += upper(c);
            }
            if (i + 1 == tag.size())
                complete = state != Name;
        }
        const bool refresh = m.attrib[0] == "HTTP-EQUIV" && ascii::upperCase(m.value[0]) == "REFRESH"
                             && m.attrib[1] == "CONTENT";
        if (refresh) {
            const std::size_t u = findNoCase(m.value[1], "URL");
            if (u != std::string::npos) {
                std::size_t s = u + 3;
                while (s < m.value[1].size() && (m.value[1][s] == ' ' || m.value[1][s] == '='))
                    ++s;
                std::string target = m.value[1].substr(s);
                while (!target.empty() && target.back() == ' ')
                    target.pop_back();
                if (!target.empty())
                    info.refresh.push_back(std::move(target));
            }
        }
        if (complete)
            info.tags.push_back(std::move(m));
    }
    return info;
}

} // namespace tarvimo::crawler
