#include "engine/page_text.h"

#include "base/text.h"

namespace tarvimo::engine {

std::string convertPage(std::string raw, bool autoDetect, std::atomic<int>& charType)
{
    if (autoDetect) {
        const std::string lower = text::toLower(raw);
        if (lower.find("charset=utf-8") != std::string::npos)
            charType = kCharUtf8;
        else if (lower.find("big5") != std::string::npos)
            charType = kCharBig5;
        else
            charType = kCharGbk;
    }
    switch (charType.load()) {
    case kCharUtf8: return text::utf8ToGbk(raw);
    case kCharBig5: return text::big5ToGbk(raw);
    default: return raw;
    }
}

bool hasWebScheme(std::string_view value)
{
    return text::findNoCase(value, "http://") != std::string_view::npos ||
           text::findNoCase(value, "https://") != std::string_view::npos;
}

std::string pageBaseUrl(std::string_view pageAddress, bool autoBase, std::string_view fixedBase)
{
    if (!autoBase && !text::trimView(fixedBase).empty())
        return text::trim(fixedBase);
    // An https page keeps its scheme; anything else is completed as http.
    std::string scheme = "http://";
    std::string rest(pageAddress);
    if (auto p = text::findNoCase(rest, "https://"); p != std::string::npos && text::findNoCase(rest, "http://") == std::string::npos) {
        scheme = "https://";
        rest.erase(p, 8);
    } else if (auto q = text::findNoCase(rest, "http://"); q != std::string::npos) {
        rest.erase(q, 7);
    }
    if (auto slash = rest.rfind('/'); slash != std::string::npos)
        rest.resize(slash);
    return scheme + rest + "/";
}

} // namespace tarvimo::engine
