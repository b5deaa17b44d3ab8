#include "engine/address_list.h"

#include "base/files.h"
#include "base/home.h"
#include "base/text.h"
#include "net/internet_control.h"
#include "engine/url_list.h"

#include <algorithm>

namespace tarvimo::engine {

namespace {

UrlListResult failed(std::string why)
{
    UrlListResult r;
    r.ok = false;
    r.error = std::move(why);
    return r;
}

UrlListResult analysisPageLinks(const TaskConfig& c, const Environment& env, const net::TinternetControl& internet)
{
    const std::string& source = c.listAnalyfile;
    if (text::trimView(source).empty())
        return failed("the task names no analysis page (list/listAnalyfile is empty)");
    const bool local = source.find('\\') != std::string::npos || home::isLocalPath(source);
    std::string page, base;
    if (local) {
        files::tryReadAll(env.nativePath(source), page);
    } else {
        page = internet.get(source);
        base = source;  // a web page's own address is the base of its links
    }
    if (page.empty())
        return failed("the analysis page " + source + " cannot be read");
    UrlList links;
    extractLinks(page, base, "", links);
    if (links.empty())
        return failed("the analysis page " + source + " holds no link");
    UrlListResult r;
    r.urls = links.items();
    if (c.listUseKeyword) {
        std::vector<std::string> words;
        for (const auto& w : c.listKeyWord)
            if (!w.empty())
                words.push_back(text::toLower(w));
        std::erase_if(r.urls, [&](const std::string& u) { return !text::containsAnyWord(u, words); });
    }
    if (c.listKeywordReplace && !c.listKeyWordOld.empty())
        for (auto& u : r.urls)
            text::replaceAllNoCaseInPlace(u, c.listKeyWordOld, c.listKeyWordNew);
    return r;
}

UrlListResult listFile(const TaskConfig& c, const Environment& env)
{
    std::string raw;
    if (text::trimView(c.listfile).empty())
        return failed("the task names no address file (list/listfile is empty)");
    if (!files::tryReadAll(env.nativePath(c.listfile), raw))
        return failed("the address file " + c.listfile + " cannot be read");
    UrlListResult r;
    for (auto& line : text::splitLines(raw))
        if (!text::trimView(line).empty())
            r.urls.push_back(std::move(line));
    return r;
}

} // namespace

UrlListResult taskAddresses(const TaskConfig& c, const Environment& env, const net::TinternetControl& internet)
{
    switch (c.tasktypes) {
    case 0:
        return buildUrlList(UrlNavigation{c.urlbegin, c.urlkeyword, c.urlpagebegin, c.urlpageend, c.urlinc, c.extraUrls, env.home});
    case 2:
        return c.listanaly ? analysisPageLinks(c, env, internet) : listFile(c, env);
    default:
        return failed("a script task visits no addresses");
    }
}

} // namespace tarvimo::engine
