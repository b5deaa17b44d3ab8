// The parts of the demo world behind its public header: the site table, the keyword forms,
// the generated directories, the pages and the templates. Texts are UTF-8 unless a name
// says GBK; everything here is pure and thread-safe.
#pragma once

#include "demo_world/demo_world.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvimo::demo::detail {

// How a site puts the keyword into its first-page request.
enum class Form {
    GbkPercent,   // GBK bytes, %XX for all but -._0-9A-Za-z, blank as %20
    Utf8Form,     // UTF-8 bytes, %XX for all but !$'()*-.@_0-9A-Za-z, blank as +
    GbkBareHex,   // the GBK percent form without its "%" signs
    Utf16DashHex, // "-" and four hexadecimal digits per UTF-16 code unit
    SearchQuery,  // S1: "site:(domain)", then "%20" and the UTF-8 form
};

// The encoding of a site's pages and how the page says so.
enum class Charset {
    Gbk,         // charset=gbk
    Utf8,        // charset=utf-8
    Utf8Quoted,  // charset="utf-8"
};

struct Site {
    const char* label;
    const char* host;
    const char* templateName;
    Form form;
    Charset charset;
    int pageSize;
    const char* name;        // the site's display name
    const char* gatherWord;  // in every detail link and in no other link of its listings
};

// The fourteen rows in creation order; S1's detail pages lie on kCity58Host.
const std::vector<Site>& sites();
const Site* findSite(std::string_view label);
int siteIndex(const Site& site);
inline constexpr std::string_view kCity58Host = "city58.demo.localhost";

// ---- keyword forms ----------------------------------------------------------------------

std::string encodeKeyword(Form form, std::string_view keywordUtf8);
// The keyword a request's encoded text stands for; nothing when the text is no valid
// encoding of any keyword (the site then seeds its answer from the text itself).
std::optional<std::string> decodeKeyword(Form form, std::string_view encoded);

// What a site searches for: the decoded keyword (trimmed), or the encoded text as sent.
struct Search {
    bool decoded = false;
    std::string text;  // the keyword, or the undecodable encoded text
    bool wholeDirectory() const;
    std::string seedKey() const;
};
Search searchOf(Form form, std::string_view encoded);

// ---- directories ------------------------------------------------------------------------

// The ids a search lists, in listing order.
std::vector<int> matchingIds(const Site& site, const Search& search);
DemoCompany makeCompany(const Site& site, int id);
// The detail page path of a company id on a site (empty when no such company).
std::string detailPath(const Site& site, int id);
// The company id of a detail page path; -1 when the path is none.
int detailId(const Site& site, std::string_view path);

// ---- pages ------------------------------------------------------------------------------

struct Page {
    int status = 200;
    std::string body;
    std::string contentType;
};

// The answer of a site to a request (raw target, Host header as sent); nothing when the
// path is none of the site's. 'listing' tells whether it was a listing page (the requests
// faults act on).
std::optional<Page> sitePage(const Site& site, std::string_view rawTarget, std::string_view hostHeader,
                             bool& listing);
// city58's pages: S1's results link here.
std::optional<Page> city58Page(std::string_view rawTarget, std::string_view hostHeader);

// Bytes that are no page and no container.
std::string garbageBytes(std::size_t size);

// ---- templates --------------------------------------------------------------------------

// The UTF-8 source of a template, as kept in the library; empty when unknown.
std::string_view templateSource(std::string_view name);
// The source with this world's addresses: @BASE@ becomes the row's base address with the
// port, @LAST@ the last page of the default keyword's range.
std::string publishedTemplate(std::string_view name, int port);
// The INI text (UTF-8) in the encrypted task container: GBK lines enciphered one by one,
// the whole compressed as one zlib stream.
std::string containerOf(std::string_view iniUtf8);

// ---- small helpers ----------------------------------------------------------------------

std::string htmlEscape(std::string_view s);
// 1056 -> "1,056"
std::string withThousands(int n);

} // namespace tarvimo::demo::detail
