// The links a fetcher takes from a page it has fetched: sub-page links, the links near a
// linked word, the links of frames. Looser than the listing-page rules: script openers
// count as links, and a relative link is resolved against the page's directory.
#pragma once

#include "engine/url_list.h"

#include <string>
#include <string_view>

namespace tarvimo::engine {

// Appends to 'found' (each link once) the links of 'text' made absolute with 'base' that
// hold at least one non-blank word of the comma-delimited 'keywords' (empty: every link).
void collectLinks(std::string text, std::string base, std::string_view keywords, UrlList& found);

} // namespace tarvimo::engine
