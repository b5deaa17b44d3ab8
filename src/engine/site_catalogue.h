// The site catalogue file: deployment values of the business-directory sites (match
// tokens, base addresses, address parts), the two home-page tokens, the search engine
// used by the e-mail lookup and the template server. Plain INI in the Tarvimo home, one
// section per catalogue label (D1 ... D12, S1, S2) plus [HomePage], [SearchEngine] and
// [TemplateServer]. Our shipped defaults are written when the file is missing; they name
// hosts under demo.localhost, which resolves to 127.0.0.1, so everything runs against the
// bundled demo world.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace tarvimo::engine {

class SiteCatalogue {
public:
    static constexpr std::string_view kFileName = "sites.ini";

    // home + "/sites.ini".
    static std::string pathIn(const std::string& home);
    // Reads the file, writing the shipped defaults first when it does not exist. Keys the
    // file lacks keep their shipped values; a file that cannot be written or read leaves
    // the shipped values in force.
    static SiteCatalogue load(const std::string& path);
    // The shipped values only (no file).
    static SiteCatalogue shipped();
    // The text of the shipped file (GBK, CR LF). With a port, every location (base
    // addresses, the search engine, the template server) carries it: the demo world
    // serves every host on one port.
    static std::string shippedText(int port = 0);

    // A value of a section (label) and key, GBK; empty when unknown.
    std::string value(std::string_view section, std::string_view key) const;

    // The match token of a label, lower-cased (empty: the site is never matched).
    std::string token(std::string_view label) const;
    std::string baseUrl(std::string_view label) const { return value(label, "baseurl"); }
    // True when the address (letter case ignored) holds the label's match token.
    bool matches(std::string_view label, std::string_view address) const;

private:
    std::map<std::string, std::map<std::string, std::string>> values_;  // lower-cased names
};

} // namespace tarvimo::engine
