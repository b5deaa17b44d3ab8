// Page text as the engine sees it: charset detection and conversion into GBK, and the
// base address that completes relative links.
#pragma once

#include <atomic>
#include <string>
#include <string_view>

namespace tarvimo::engine {

// Page encodings of a task (`charType`).
enum CharType { kCharGbk = 0, kCharUtf8 = 1, kCharBig5 = 2 };

// Detects the encoding when 'autoDetect' is set (storing it in 'charType', which the
// fetchers of one task share) and converts the page into GBK by 'charType'.
std::string convertPage(std::string raw, bool autoDetect, std::atomic<int>& charType);

// The base address of a page: 'fixedBase' when automatic derivation is off and it is not
// blank; otherwise the page address up to its last "/" (scheme and host kept, "http://"
// when the address has none), ending in "/".
std::string pageBaseUrl(std::string_view pageAddress, bool autoBase = true, std::string_view fixedBase = {});

// True for an address that holds "http://" or "https://" (letter case ignored).
bool hasWebScheme(std::string_view value);

// The longest text from "href=" to its ">" that listing-link extraction takes for a link.
// A longer run is a stray "href=" in plain text; taking it whole would copy the rest of
// the page once per candidate, since each candidate there starts at the next "href=".
inline constexpr std::size_t kMaxLinkBytes = 4096;

} // namespace tarvimo::engine
