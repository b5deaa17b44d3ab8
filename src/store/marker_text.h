// Marker text: in begin markers, end markers and formulas a line break is stored as the
// nine characters "[#13+#10]".
#pragma once

#include <string>
#include <string_view>

namespace tarvimo::store {

inline constexpr std::string_view kLineBreakToken = "[#13+#10]";

// The stored form as the text it stands for (every token becomes CR LF).
std::string markerToText(std::string_view stored);
// The form written from an edit field: without a token, every CR LF becomes the token
// and the result is trimmed; with one, every token becomes CR LF, the result is trimmed
// and a leading CR LF is dropped.
std::string markerFromEdit(std::string_view edit);

} // namespace tarvimo::store
