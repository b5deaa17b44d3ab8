// The result-page counter: asks a directory site how many results a search has and turns
// the answer into a paged start address (a {from,to} range of the task address grammar).
// One instance per user (a wizard, a creation thread); never shared between threads, but
// cancel() may be called from any thread.
#pragma once

#include "directory/catalogue_rows.h"
#include "engine/site_catalogue.h"
#include "net/http_client.h"

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tarvimo::directory {

// A page count read from a site is outside input: a range never asks for more pages.
inline constexpr int kMaxResultPages = 1000;

// The first-page request failed: no connection, a time-out, an HTTP error status.
class CountError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What a row's count rule makes of a result page.
struct PageCount {
    std::string range;                // "{1,4}", "{0,500,10}"
    std::optional<long long> count;   // none: the row reports no count
};

// The row's page conversion and count rule applied to a first page (GBK or UTF-8 bytes as
// they arrived).
PageCount readResultPage(const CatalogueRow& row, std::string page);
// The request address with the row's page value replaced by the range.
std::string pagedAddress(const CatalogueRow& row, const std::string& requestUrl, const std::string& range);

// Tag removal of the count rules: every "&nbsp;" (any case) goes, then every "<...>" span.
std::string StripMarkedSpans(std::string text, std::string_view begin, std::string_view end);

class TqovCpOther {
public:
    // The rows are picked by the match tokens of the catalogue.
    explicit TqovCpOther(engine::SiteCatalogue catalogue);
    ~TqovCpOther();

    // The first-page request of the row whose token 'requestUrl' holds, and the paged start
    // address for it. 'startUrl' is cleared first and stays empty when no row matches;
    // 'resultCount' is left alone by rows that report no count. Throws CountError when the
    // request fails (nothing is returned then).
    void CountResultPages(const std::string& requestUrl, const std::string& encodedKeyword, long long& resultCount,
                          std::string& startUrl);

    // Ends a request in flight (from any thread); later requests fail at once.
    void cancel();
    // Connect and read time-outs, 10 s each unless set.
    void setTimeoutsMs(long ms);

    // The row whose match token the address holds; null when none does.
    const CatalogueRow* rowFor(std::string_view requestUrl) const;

private:
    engine::SiteCatalogue catalogue_;
    std::unique_ptr<net::HttpClient> http_;
};

} // namespace tarvimo::directory
