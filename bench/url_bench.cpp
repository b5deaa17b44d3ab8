// Address building at scale: the brace range {1,1000000}, then a million gathered links
// added through the list's duplicate index. Prints seconds and peak resident memory.
#include "engine/url_generation.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <sys/resource.h>

using namespace tarvimo::engine;

int main()
{
    auto t0 = std::chrono::steady_clock::now();
    UrlNavigation nav;
    nav.begin = "http://d1.demo.localhost/list?page={1,1000000}";
    UrlListResult r = buildUrlList(nav);
    auto t1 = std::chrono::steady_clock::now();

    // A million detail links arrive on 10 000 listing pages of 100 links each.
    UrlList found;
    found.reserve(1000000);
    for (int p = 0; p < 10000; ++p) {
        std::string page;
        for (int i = 0; i < 100; ++i) {
            page += "<li><a href=\"/company/";
            page += std::to_string(p * 100 + i);
            page += ".html\">c</a></li>";
        }
        extractLinks(page, "http://d1.demo.localhost/", "/company/", found);
    }
    auto t2 = std::chrono::steady_clock::now();
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    std::printf("brace range:    %zu addresses in %.3f s\n", r.urls.size(), std::chrono::duration<double>(t1 - t0).count());
    std::printf("gathered links: %zu links in %.3f s\n", found.size(), std::chrono::duration<double>(t2 - t1).count());
    std::printf("total:          %.3f s, peak RSS %.1f MB\n", std::chrono::duration<double>(t2 - t0).count(),
                ru.ru_maxrss / 1024.0);
    if (r.urls.size() != 1000000 || found.size() != 1000000)
        return 1;

    // A page range a typing slip made huge, with one hand-added address: cut at the limit
    // and said once; the memory is that of the addresses kept.
    r = {};
    found = {};
    UrlNavigation huge;
    huge.begin = "http://d1.demo.localhost/list?page=1";
    huge.keyword = "page";
    huge.pageBegin = "1";
    huge.pageEnd = "1000000000";
    huge.extraUrls = {"http://d1.demo.localhost/extra"};
    auto t3 = std::chrono::steady_clock::now();
    UrlListResult cut = buildUrlList(huge);
    auto t4 = std::chrono::steady_clock::now();
    getrusage(RUSAGE_SELF, &ru);
    std::size_t bytes = 0;
    for (const auto& u : cut.urls)
        bytes += u.size();
    std::printf("page range:     1..10^9 gives %zu addresses (%.0f MB of text) in %.3f s, peak RSS %.1f MB\n",
                cut.urls.size(), bytes / 1048576.0, std::chrono::duration<double>(t4 - t3).count(), ru.ru_maxrss / 1024.0);
    std::printf("                note: %s\n", cut.notes.empty() ? "(none)" : cut.notes.front().c_str());
    return cut.notes.size() == 1 ? 0 : 1;
}
