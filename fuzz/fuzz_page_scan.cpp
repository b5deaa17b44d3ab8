// The crawler's page scanner on any bytes as a downloaded page: the links read after the
// markers and the title and tags of the head. Every value handed on is a usable link text
// of a known kind, a stop asked for is honoured, and nothing faults or hangs.
#include "crawler/page_scan.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace tarvimo::crawler;

namespace {

void require(bool ok)
{
    if (!ok)
        std::abort();
}

bool hasControlByte(std::string_view s)
{
    for (char c : s)
        if (static_cast<unsigned char>(c) < 32)
            return true;
    return false;
}

bool isMarkCode(char c)
{
    return c == kLinkAttribute || c == kOptionValue || c == kEmbedAttribute || c == kBaseAddress
           || c == kContainerOpen || c == kContainerClose;
}

bool containsTopWindow(std::string_view s)
{
    std::string up(s);
    for (char& c : up)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return up.find("TOP.WINDOW") != std::string::npos;
}

bool checkValue(const FoundValue& v)
{
    require(v.kind >= kLinkAttribute && v.kind <= kBaseAddress);
    require(!v.value.empty());
    require(!hasControlByte(v.value));
    require(v.value.find_first_of(" <>()+[]") == std::string::npos);
    require(v.value != "=");
    require(!containsTopWindow(v.value));
    if (v.kind == kOptionValue)
        require(v.value.find('/') != std::string::npos && v.value.find(';') == std::string::npos);
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view body(reinterpret_cast<const char*>(data), size);

    // The phases one by one: cleaning leaves no control byte, no quote or comma and no
    // blank after "="; afterwards the only control bytes are the marker codes.
    const std::string cleaned = cleanBody(body);
    require(cleaned.size() <= body.size());
    require(!hasControlByte(cleaned));
    require(cleaned.find_first_of("\"',") == std::string::npos);
    require(cleaned.find("= ") == std::string::npos);
    std::string text = cleaned;
    const bool any = markText(text);
    require(text.size() == cleaned.size());
    require(any == (text != cleaned));
    repairNesting(text);
    require(text.size() == cleaned.size());
    for (char c : text)
        require(static_cast<unsigned char>(c) >= 32 || isMarkCode(c));

    std::size_t all = 0;
    std::string first;
    scanPage(body, [&](const FoundValue& v) {
        if (all++ == 0)
            first = v.value;
        return checkValue(v);
    });
    std::size_t direct = 0;
    if (any)
        scanValues(text, [&](const FoundValue& v) {
            ++direct;
            return checkValue(v);
        });
    require(direct == all);

    // A stop after the first value ends the scan there.
    std::size_t calls = 0;
    scanPage(body, [&](const FoundValue& v) {
        ++calls;
        require(v.value == first);
        return false;
    });
    require(calls == (all > 0 ? 1u : 0u));

    const HeadInfo head = readHead(body);
    for (std::size_t i = 0; i < head.tags.size(); ++i) {
        const MetaTag& t = head.tags[i];
        require(t.type == "TITLE" ? i == 0 && t.attrib[0] == "TITLE" : t.type.size() == 4);
        for (const std::string* s : {&t.type, &t.attrib[0], &t.attrib[1], &t.attrib[2]})
            for (char c : *s)
                require(!(c >= 'a' && c <= 'z'));
        for (const std::string& v : t.value)
            require(!hasControlByte(v));
        require(!hasControlByte(t.type));
    }
    for (const std::string& target : head.refresh) {
        require(!target.empty());
        require(!hasControlByte(target));
    }
    return 0;
}
