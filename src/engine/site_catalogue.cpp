#include "engine/site_catalogue.h"

#include "base/files.h"
#include "base/text.h"
#include "store/tinifile.h"

namespace tarvimo::engine {
namespace {

struct Shipped {
    const char* section;
    const char* key;
    const char* value;
};

// Each demo site answers under its own name below demo.localhost.
const Shipped kShipped[] = {
    {"D1", "token", "d1.demo.localhost"},   {"D1", "baseurl", "http://d1.demo.localhost"},
    {"D1", "companysuffix", "/company/index.html"},
    {"D2", "token", "d2.demo.localhost"},   {"D2", "baseurl", "http://d2.demo.localhost"},
    {"D3", "token", "d3.demo.localhost"},   {"D3", "baseurl", "http://d3.demo.localhost"},
    {"D4", "token", "d4.demo.localhost"},   {"D4", "baseurl", "http://d4.demo.localhost"},
    {"D5", "token", "d5.demo.localhost"},   {"D5", "baseurl", "http://d5.demo.localhost"},
    {"D6", "token", "d6.demo.localhost"},   {"D6", "baseurl", "http://d6.demo.localhost"},
    {"D7", "token", "d7.demo.localhost"},   {"D7", "baseurl", "http://d7.demo.localhost"},
    {"D7", "searchid", "00000000000000000001"},
    {"D8", "token", "d8.demo.localhost"},   {"D8", "baseurl", "http://d8.demo.localhost"},
    {"D9", "token", "d9.demo.localhost"},   {"D9", "baseurl", "http://d9.demo.localhost"},
    {"D10", "token", "d10.demo.localhost"}, {"D10", "baseurl", "http://d10.demo.localhost"},
    {"D11", "token", "d11.demo.localhost"}, {"D11", "baseurl", "http://d11.demo.localhost"},
    {"D12", "token", "d12.demo.localhost"}, {"D12", "baseurl", "http://d12.demo.localhost"},
    {"S1", "token", "search.demo.localhost"}, {"S1", "baseurl", "http://search.demo.localhost"},
    // The directory whose pages the web search is restricted to: a host no other token is
    // part of, so the search address is told apart from the directory sites.
    {"S1", "domain", "city58.demo.localhost"},
    {"S2", "token", "s2.demo.localhost"},   {"S2", "baseurl", "http://s2.demo.localhost"},
    {"HomePage", "token1", "d1.demo.localhost"},
    {"HomePage", "token2", "portal.demo.localhost"},
    {"SearchEngine", "host", "http://search.demo.localhost"},
    {"SearchEngine", "partner", "tarvimo"},
    {"TemplateServer", "primary", "http://templates.demo.localhost"},
    {"TemplateServer", "fallback", "http://mirror.demo.localhost"},
};

// The values that name a location: scheme and host, to which a port may be added.
bool isLocation(std::string_view key) { return key == "baseurl" || key == "host" || key == "primary" || key == "fallback"; }

} // namespace

std::string SiteCatalogue::pathIn(const std::string& home) { return files::joinPath(home, kFileName); }

SiteCatalogue SiteCatalogue::shipped()
{
    SiteCatalogue c;
    for (const auto& s : kShipped)
        c.values_[text::toLower(s.section)][text::toLower(s.key)] = s.value;
    return c;
}

std::string SiteCatalogue::shippedText(int port)
{
    std::string out =
        "; Tarvimo site catalogue: the directory sites (D1 ... D12, S1, S2), the home-page\r\n"
        "; tokens and the e-mail search engine. token = a fragment of the site's host name,\r\n"
        "; baseurl = scheme and host, with an optional port. [TemplateServer] names the\r\n"
        "; two locations task templates are fetched from, primary first. Edit to point the\r\n"
        "; program at other hosts.\r\n";
    std::string section;
    for (const auto& s : kShipped) {
        if (section != s.section) {
            section = s.section;
            out += "\r\n[" + section + "]\r\n";
        }
        std::string value = s.value;
        if (port > 0 && isLocation(s.key))
            value += ":" + std::to_string(port);
        out += std::string(s.key) + "=" + value + "\r\n";
    }
    return out;
}

SiteCatalogue SiteCatalogue::load(const std::string& path)
{
    SiteCatalogue c = shipped();
    if (!files::exists(path)) {
        try {
            files::writeAtomic(path, shippedText());
        } catch (const files::FileError&) {
            return c;  // the shipped values serve
        }
    }
    store::TIniFile ini(path);
    for (const auto& section : ini.ReadSections())
        for (const auto& key : ini.ReadSection(section))
            c.values_[text::toLower(section)][text::toLower(key)] = ini.ReadString(section, key, "");
    return c;
}

std::string SiteCatalogue::value(std::string_view section, std::string_view key) const
{
    auto s = values_.find(text::toLower(section));
    if (s == values_.end())
        return {};
    auto k = s->second.find(text::toLower(key));
    return k == s->second.end() ? std::string() : k->second;
}

std::string SiteCatalogue::token(std::string_view label) const { return text::toLower(text::trimView(value(label, "token"))); }

bool SiteCatalogue::matches(std::string_view label, std::string_view address) const
{
    const std::string t = token(label);
    return !t.empty() && text::findNoCase(address, t) != std::string_view::npos;
}

} // namespace tarvimo::engine
