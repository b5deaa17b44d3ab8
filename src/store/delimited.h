// Lists stored in one INI value: items joined by a delimiter, an item quoted with double
// quotes when it holds a blank, a control byte, a quote or the delimiter. Double-byte
// characters are stepped over whole, so a trail byte equal to the delimiter never splits.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarvimo::store {

std::vector<std::string> splitDelimited(std::string_view value, char delimiter);
std::string joinDelimited(const std::vector<std::string>& items, char delimiter);

// The task's rule delimiter from its `ruleSplit` value: the first character, "^" when empty.
char ruleDelimiter(std::string_view ruleSplitValue);

} // namespace tarvimo::store
