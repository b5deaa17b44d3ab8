// The task templates the template server publishes: readable UTF-8 sources built into
// the library (templates/*.ini.utf8), given this world's addresses when served, and
// packed as the program's encrypted task container.
#include "world_internal.h"

#include "base/text.h"
#include "store/encrypt_inifile.h"

#include <zlib.h>

#include <stdexcept>

namespace tarvimo::demo::detail {

// The sources, generated from templates/*.ini.utf8 at configure time.
struct EmbeddedTemplate {
    const char* name;
    const unsigned char* bytes;
    std::size_t size;
};
extern const EmbeddedTemplate kEmbeddedTemplates[];
extern const std::size_t kEmbeddedTemplateCount;

namespace {

std::string replaceAll(std::string s, std::string_view from, std::string_view to)
{
    for (std::size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
    return s;
}

} // namespace

std::string_view templateSource(std::string_view name)
{
    for (std::size_t i = 0; i < kEmbeddedTemplateCount; ++i)
        if (name == kEmbeddedTemplates[i].name)
            return {reinterpret_cast<const char*>(kEmbeddedTemplates[i].bytes), kEmbeddedTemplates[i].size};
    return {};
}

std::string publishedTemplate(std::string_view name, int port)
{
    const std::string_view source = templateSource(name);
    const Site* row = nullptr;
    for (const auto& s : sites())
        if (name == s.templateName)
            row = &s;
    if (source.empty() || !row)
        return {};
    const std::string base = "http://" + std::string(row->host) + ":" + std::to_string(port);
    const int last = lastPageOfRange(row->label, resultCount(row->label, kDefaultKeyword));
    return replaceAll(replaceAll(std::string(source), "@BASE@", base), "@LAST@", std::to_string(last));
}

std::string containerOf(std::string_view iniUtf8)
{
    // Task files are GBK with CR LF; every line that is not blank is enciphered.
    std::string plain;
    for (const auto& line : text::splitLines(iniUtf8)) {
        const std::string gbk = text::utf8ToGbk(line);
        plain += text::trimView(gbk).empty() ? gbk : store::EncryptLine(gbk, store::storeKey());
        plain += "\r\n";
    }
    uLongf size = compressBound(static_cast<uLong>(plain.size()));
    std::string packed(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(plain.data()),
                  static_cast<uLong>(plain.size()), 9) != Z_OK)
        throw std::runtime_error("cannot compress a template");
    packed.resize(size);
    return packed;
}

} // namespace tarvimo::demo::detail

namespace tarvimo::demo {

const std::set<std::string>& defaultPrimaryLacks()
{
    // A multi-site search needs the fallback for two of its companions, a mobile-number
    // search for its second task.
    static const std::set<std::string> lacks{"qy6.dll", "258.dll", "single-edeng.dll"};
    return lacks;
}

const std::vector<std::string>& templateNames()
{
    static const std::vector<std::string> names = [] {
        std::vector<std::string> v;
        for (const auto& s : detail::sites())
            v.emplace_back(s.templateName);
        return v;
    }();
    return names;
}

} // namespace tarvimo::demo
