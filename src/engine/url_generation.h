// How the addresses a task visits are made: the start-address grammar (page-number
// navigation, brace ranges, address files, hand-added addresses), the rewriting applied to
// each address before it is fetched, the form-post notation, and the links taken from a
// listing page. All texts are GBK.
#pragma once

#include "engine/url_list.h"

#include <string>
#include <string_view>
#include <vector>

namespace tarvimo::engine {

// A page range or all brace ranges together never yield more addresses than this, so a
// typing slip such as {1,999999999} cannot exhaust memory; the cut is noted.
inline constexpr long long kMaxGeneratedAddresses = 10'000'000;

// The URL navigation values of a task. A start address that is a local path (see
// home::isLocalPath) names an address file.
struct UrlNavigation {
    std::string begin;       // urlbegin
    std::string keyword;     // urlkeyword
    std::string pageBegin;   // urlpagebegin (text: "01" is used as typed)
    std::string pageEnd;     // urlpageend
    int increment = 1;       // urlinc
    std::vector<std::string> extraUrls;  // URLlist
    std::string home;                    // the folder a relative address file is read from
    long long maxAddresses = kMaxGeneratedAddresses;  // per page range and all brace ranges
};

struct UrlListResult {
    std::vector<std::string> urls;
    // False when nothing may be started: an address file that cannot be read or holds no
    // address, or a page bound that is no integer (then only the start address is built).
    bool ok = true;
    std::string error;
    // What a limit left out or what yielded nothing, one UTF-8 line each, for the message
    // list.
    std::vector<std::string> notes;
};

// The address list of a URL navigation task.
UrlListResult buildUrlList(const UrlNavigation& nav);

// Expands the brace ranges ("{from,to,step}") of every template address: other addresses
// keep their order, the expansions follow in template order, the templates are removed.
// A range that yields nothing and the cut at 'maxAddresses' are added to 'notes'.
void expandBraceRanges(std::vector<std::string>& urls, std::vector<std::string>* notes = nullptr,
                       long long maxAddresses = kMaxGeneratedAddresses);

struct UrlRewrite {
    bool enabled = false;  // urlReplace
    std::string pattern;   // urlkeywordOrinal
    std::string replacement;  // urlkeywordNow
};
// The address to fetch.
std::string rewriteUrl(const std::string& address, const UrlRewrite& rule);

// An address split into what is requested: blanks removed; "[post]" ... "[/post]" makes a
// form POST of the trimmed body to the text before "[post]".
struct Request {
    std::string url;
    bool post = false;
    std::string body;
    // The body as form lines of at most 255 characters each.
    std::vector<std::string> formLines() const;
};
Request parseRequest(std::string_view address);

// Appends the page's links (made absolute with 'base') that hold a gather word and no
// filter word (comma-delimited lists; empty: no test) to 'found', each once: an address
// equal to one already in 'found' (letter case ignored) is not added again, so many pages
// can feed one list in linear time. Returns the list size, 0 for a page without links.
std::size_t extractLinks(std::string_view page, std::string base, std::string_view gatherWords,
                         UrlList& found, std::string_view filterWords = {});

} // namespace tarvimo::engine
