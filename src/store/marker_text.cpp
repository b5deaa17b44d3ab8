#include "store/marker_text.h"

#include "base/text.h"

namespace tarvimo::store {

std::string markerToText(std::string_view stored) { return text::replaceAll(stored, kLineBreakToken, "\r\n"); }

std::string markerFromEdit(std::string_view edit)
{
    if (edit.find(kLineBreakToken) == std::string_view::npos)
        return text::trim(text::replaceAll(edit, "\r\n", kLineBreakToken));
    std::string out = text::trim(text::replaceAll(edit, kLineBreakToken, "\r\n"));
    if (out.starts_with("\r\n"))
        out.erase(0, 2);
    return out;
}

} // namespace tarvimo::store
