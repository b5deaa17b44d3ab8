#include "engine/get_url_list.h"

#include "base/text.h"
#include "engine/url_generation.h"
#include "engine/url_list.h"

namespace tarvimo::engine {

GatherSetup gatherSetupOf(const TaskConfig& config, std::vector<std::string> listingPages, long timeoutMs,
                          std::size_t maxBodyBytes)
{
    GatherSetup setup;
    setup.listingPages = std::move(listingPages);
    if (config.urlgetall)
        setup.getWords = config.getWords;
    if (config.urlfilterword)
        setup.filterWords = config.filterWords;
    setup.autoBase = config.autogetmainURL;
    setup.fixedBase = config.getmainURL;
    setup.timeoutMs = timeoutMs;
    setup.maxBodyBytes = maxBodyBytes;
    return setup;
}

std::string listingBaseUrl(std::string_view pageAddress, bool autoBase, std::string_view fixedBase)
{
    if (!autoBase && !text::trimView(fixedBase).empty())
        return std::string(text::trimView(fixedBase));
    // The scheme of the page is kept, so an https listing gives an https base.
    std::string_view scheme = "http://";
    std::size_t at = text::findNoCase(pageAddress, "http://");
    const std::size_t secure = text::findNoCase(pageAddress, "https://");
    if (secure != std::string_view::npos && (at == std::string_view::npos || secure < at)) {
        scheme = "https://";
        at = secure;
    }
    std::string_view rest = at == std::string_view::npos ? pageAddress : pageAddress.substr(at + scheme.size());
    const std::size_t slash = rest.find('/');
    if (slash == std::string_view::npos)
        return std::string(scheme);
    return std::string(scheme) + std::string(rest.substr(0, slash + 1));
}

TGetUrlList::TGetUrlList(GatherSink& sink, GatherSetup setup) : sink_(sink), setup_(std::move(setup))
{
    client_.setUserAgent(net::kUserAgent);
    client_.setFollowRedirects(true);
    client_.setConnectTimeoutMs(setup_.timeoutMs);
    client_.setReadTimeoutMs(setup_.timeoutMs);
    client_.setMaxBodyBytes(setup_.maxBodyBytes);
    thread_ = std::thread([this] { run(); });
}

TGetUrlList::~TGetUrlList()
{
    terminate();
    join();
}

void TGetUrlList::terminate()
{
    terminated_.store(true);
    client_.cancel();
}

void TGetUrlList::join()
{
    if (thread_.joinable())
        thread_.join();
}

void TGetUrlList::run()
{
    for (const auto& page : setup_.listingPages) {
        if (terminated_.load())
            break;
        net::HttpResult r = client_.get(page);
        if (terminated_.load())
            break;
        if (!r.success()) {
            // Skipped, but said: its detail pages are missing from the run.
            sink_.listingFailed(page, r.ok ? "HTTP " + std::to_string(r.status) : r.error);
            continue;
        }
        UrlList links;
        extractLinks(r.body, listingBaseUrl(page, setup_.autoBase, setup_.fixedBase), setup_.getWords, links,
                     setup_.filterWords);
        std::vector<std::string> pageLinks = links.items();
        sink_.addDetailAddresses(pageLinks);
    }
    if (!terminated_.load())
        sink_.gatheringDone();
    ended_.store(true);
}

} // namespace tarvimo::engine
