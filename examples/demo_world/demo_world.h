// The demo world: every site the directory search and its task templates talk to, made up
// and served offline on 127.0.0.1 by one HTTP server. Each site answers under its own host
// name below demo.localhost (which resolves to 127.0.0.1); the request's Host header, port
// stripped, tells them apart:
//
//   d1.demo.localhost ... d12.demo.localhost   the twelve business directories D1 ... D12
//   search.demo.localhost                      the web search S1, restricted to
//   city58.demo.localhost                      the directory whose pages S1 finds
//   s2.demo.localhost                          the classified-ads site S2
//   templates.demo.localhost                   the template server (primary location)
//   mirror.demo.localhost                      the template server (fallback location)
//
// A keyword sent in a site's own keyword form picks a deterministic part of that site's
// generated directory: the same keyword always gives the same companies, another keyword
// others, and every site holds companies of its own. The free functions below tell what a
// site holds for a keyword, so a test compares collected rows with the truth.
//
// Texts of this interface are UTF-8.
//
// Threads: a DemoWorld is started and stopped by one thread; its server answers on a pool
// of its own threads. The free functions are pure and may be called from any thread.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tarvimo::demo {

// The catalogue labels in creation order: D1 ... D12, S1, S2.
const std::vector<std::string>& siteLabels();

// The keyword the bundled scripts search for; every site lists companies for it.
inline constexpr std::string_view kDefaultKeyword = "机械";

// Searching for this word (or for nothing) lists a site's whole directory.
inline constexpr std::string_view kWholeDirectoryKeyword = "全部";

// Companies in each site's directory.
inline constexpr int kDirectorySize = 1056;

// Companies a site lists for an ordinary keyword (D1 always lists one page of 24). A
// company-directory task delivers about one row a second per fetch worker, and a search
// runs one worker per site unless told otherwise, so these bound how long it takes.
inline constexpr int kFewestMatches = 15;
inline constexpr int kMostMatches = 32;

struct DemoCompany {
    std::string label;     // the site that lists it
    int id = 0;            // its number in that site's directory, 0 .. kDirectorySize - 1
    std::string name;      // e.g. 杭州恒达机械有限公司; unique across the whole world
    std::string contact;   // contact person
    std::string mobile;    // empty when the company gives none; a few are malformed
    std::string address;   // without any site's decoration
    std::string email;     // empty when the company gives none
    std::string phone, fax, zip;
    std::string city, industry, products;
    std::string memberId;  // the site's member number
    std::string level;     // the site's membership level
    std::string host;      // host of its detail page (no port)
    std::string path;      // path of its detail page
};

// What a site lists for a keyword, in listing order (the keyword as typed, before any
// encoding; it goes through the site's keyword form exactly as a request carries it).
// Empty for an unknown label.
std::vector<DemoCompany> companies(std::string_view label, std::string_view keyword);
// The number of those companies: the result count the site reports.
int resultCount(std::string_view label, std::string_view keyword);
// Companies on one listing page of a site; 0 for an unknown label.
int pageSize(std::string_view label);
// The host name of a site (S1: the search engine; its results lie on city58).
std::string siteHost(std::string_view label);
// The template of a catalogue row, e.g. "hc360.dll" for D1; empty for an unknown label.
std::string templateName(std::string_view label);
// The link word a template gathers detail pages with; empty for an unknown label.
std::string gatherWord(std::string_view label);
// The last page (or offset) of the start address's range that the row's count rule gives
// for a result count, as published in the templates: D1 count div 24, D2 the page count,
// D3 count div 25 + 1, ..., D5 100, D7 50, S1 500.
int lastPageOfRange(std::string_view label, int count);

// What a request to a catalogue site's listing pages (its first-page request and every
// page of the range) is answered with.
enum class SiteFault {
    None,
    ServerError,  // 500
    Hang,         // no answer until the world stops
    Garbage,      // 200 with binary bytes instead of a page
};

// How the template server treats one template.
enum class TemplateFault {
    None,
    PrimaryFails,  // the primary location answers 500; the fallback serves it
    BothFail,      // the primary answers 500, the fallback 404
    Garbage,       // both locations answer 200 with binary bytes instead of a container
};

// The templates the primary location lacks unless told otherwise: a search always needs
// the fallback for them.
const std::set<std::string>& defaultPrimaryLacks();
// Every template name the server knows.
const std::vector<std::string>& templateNames();

struct WorldOptions {
    int port = 0;  // 0: any free port
    std::string bindAddress = "127.0.0.1";
    std::map<std::string, SiteFault> siteFaults;          // by catalogue label
    std::map<std::string, TemplateFault> templateFaults;  // by template name
    std::set<std::string> primaryLacks = defaultPrimaryLacks();
};

class DemoWorld {
public:
    explicit DemoWorld(WorldOptions options = {});
    // Stops the server.
    ~DemoWorld();
    DemoWorld(const DemoWorld&) = delete;
    DemoWorld& operator=(const DemoWorld&) = delete;

    // Binds the address and starts answering; true once requests are taken. False when the
    // address cannot be bound or the world was started before.
    bool start();
    // Ends every request held by a fault, stops the server and joins its threads. A kept
    // connection is closed after at most one idle second. Safe to call more than once.
    void stop();

    // True from a successful start until stop() (or until the server failed by itself).
    bool running() const;
    // The port bound (0 before start).
    int port() const;
    // The site catalogue (sites.ini, GBK, CR LF) naming this world's hosts with its port.
    std::string sitesIni() const;
    // "http://host:port" of a host of this world.
    std::string baseUrl(std::string_view host) const;

    // A template as the server publishes it: the INI text (UTF-8) with this world's base
    // addresses and the range of the default keyword in its start address.
    std::string templateIni(std::string_view name) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace tarvimo::demo
