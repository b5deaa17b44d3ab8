// Splitting a web address and turning the raw links found on a page into absolute,
// classified links. Pure text work: nothing here fetches or writes.
#pragma once

#include <string>
#include <string_view>

namespace tarvimo::crawler {

// One split address. One object is reused for many addresses; each Crack replaces every
// field.
class TCrackUrl {
public:
    // True when the address could be split: a scheme, and for http and https a host.
    bool Crack(std::string_view url);

    const std::string& Url() const { return url_; }
    bool ok() const { return ok_; }
    const std::string& Scheme() const { return scheme_; }       // lower case, "http"
    const std::string& HostName() const { return host_; }
    int Port() const { return port_; }
    const std::string& UserName() const { return user_; }
    const std::string& Password() const { return password_; }
    const std::string& UrlPath() const { return path_; }        // percent-escapes decoded
    const std::string& ExtraInfo() const { return extra_; }     // "?query#fragment"
    // The path as a folder: "/a/b" gives "/a/b/", "/a/b.html" and "/" stay, "" gives "/".
    const std::string& DirectoryPath() const { return directoryPath_; }
    // The registrable part of the host: the last two labels of a longer host
    // ("www.x.com" gives "x.com"), the first label of a two-label host ("x.com" gives
    // "x"), empty for a host without ".".
    const std::string& SiteDomain() const { return siteDomain_; }

    // The scheme's own port (80, 443, 21), 0 for others.
    static int defaultPort(std::string_view scheme);

private:
    std::string url_, scheme_, host_, user_, password_, path_, extra_, directoryPath_, siteDomain_;
    int port_ = 0;
    bool ok_ = false;
};

// Links longer than this after resolution are dropped.
inline constexpr std::size_t kMaxLinkLength = 1023;

struct ResolvedLink {
    std::string link;              // empty: nothing to follow
    std::string type = "unknown";  // "mail" or "unknown"
};

// A raw link as found on the page split into 'page', made absolute.
ResolvedLink ResolveLink(const TCrackUrl& page, std::string_view rawLink);

struct LinkClass {
    std::string type = "unknown";  // "htm", a known file extension, or "unknown"
    std::string scheme = "http";
};

LinkClass ClassifyLink(std::string_view link);

// Whether 'extension' (without the dot) is in the table of known file types; exact,
// case-sensitive.
bool isKnownFileType(std::string_view extension);
// The number of entries in that table.
std::size_t knownFileTypeCount();

} // namespace tarvimo::crawler
