#include "engine/link_collection.h"

#include "base/text.h"
#include "engine/page_text.h"
#include "store/delimited.h"

namespace tarvimo::engine {

namespace {
constexpr std::size_t npos = std::string::npos;

std::string cleanLink(std::string link)
{
    text::replaceAllInPlace(link, "href=\"", "");
    text::replaceAllInPlace(link, "href='", "");
    text::replaceAllInPlace(link, "href= ", "");
    for (char& c : link)
        if (c == '"' || c == '\'')
            c = ' ';
    if (auto blank = link.find(' '); blank != npos)
        link.resize(blank);
    if (link.ends_with(';'))
        link.resize(link.find(';'));
    if (link.ends_with(')'))
        link.resize(link.find(')'));
    text::replaceAllNoCaseInPlace(link, "href=", "");
    return link;
}

// base + link with doubled slashes folded; the scheme's own slashes are put back.
std::string complete(const std::string& base, const std::string& link)
{
    std::string s = base + link;
    std::string out;
    out.reserve(s.size());
    for (char c : s)
        if (!(c == '/' && !out.empty() && out.back() == '/'))
            out += c;
    for (std::string_view scheme : {"http:/", "https:/"}) {
        if (text::startsWithNoCase(out, scheme) && !text::startsWithNoCase(std::string_view(out).substr(scheme.size()), "/"))
            out.insert(scheme.size(), "/");
    }
    return out;
}
} // namespace

void collectLinks(std::string text, std::string base, std::string_view keywords, UrlList& found)
{
    for (std::string_view opener : {"window.location=", "HREF=", "Href=", "open(", "openurl("})
        text::replaceAllInPlace(text, opener, "href=");
    if (text.find("href=") == npos)
        return;
    if (!base.ends_with('/'))
        base += '/';
    const auto words = store::splitDelimited(keywords, ',');
    static const char* const kMedia[] = {".jpg", ".jpeg", ".bmp", ".gif", ".swf", ".rm", ".mp3"};

    std::size_t pos = 0;
    for (int round = 0; round < 50000; ++round) {
        const std::size_t h = text.find("href=", pos);
        if (h == npos)
            break;
        // A ">" before the link belongs to an earlier tag: the link runs to the next one.
        const std::size_t g = text.find('>', h);
        if (g == npos)
            break;
        std::string link = cleanLink(text::trim(std::string_view(text).substr(h, g - h)));
        pos = g + 1;
        if (!link.empty() && !hasWebScheme(link))
            link = complete(base, link);
        bool drop = link.empty() || !hasWebScheme(link);
        for (const char* ext : kMedia)
            drop = drop || link.find(ext) != npos;
        if (drop)
            continue;
        if (link.ends_with(','))
            link.pop_back();
        if (words.empty() || text::containsAnyWord(link, words))
            found.add(std::move(link));
    }
}

} // namespace tarvimo::engine
