// Links and addresses from outside: listing-page link extraction, the looser link
// collection of fetched pages, address rewriting and the post notation. The input holds a page, then after zero bytes the rewrite pattern,
// its replacement and the gather words.
#include "engine/link_collection.h"
#include "engine/page_text.h"
#include "engine/url_generation.h"

#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace tarvimo::engine;
    std::string_view in(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> parts;
    for (std::size_t b = 0;;) {
        auto z = in.find('\0', b);
        parts.emplace_back(in.substr(b, z == std::string_view::npos ? std::string_view::npos : z - b));
        if (z == std::string_view::npos)
            break;
        b = z + 1;
    }
    parts.resize(4);
    UrlList found;
    const std::size_t n = extractLinks(parts[0], "http://127.0.0.1/a/", parts[3], found);
    if (n != 0 && n != found.size())
        __builtin_trap();
    // Each link once, letter case ignored, and each one findable through the index.
    UrlList again;
    for (const auto& link : found.items())
        if (!found.contains(link) || !again.add(link))
            __builtin_trap();
    for (const auto& link : found.items()) {
        std::string rewritten = rewriteUrl(link, {true, parts[1], parts[2]});
        Request r = parseRequest(rewritten);
        for (const auto& line : r.formLines())
            if (line.size() > 255)
                __builtin_trap();
    }
    // Collected links are absolute and free of media files; each is taken once.
    UrlList collected;
    collectLinks(std::string(parts[0]), "http://127.0.0.1/a/", parts[3], collected);
    for (const auto& link : collected.items())
        if (!hasWebScheme(link))
            __builtin_trap();
    return 0;
}
