// A row the extraction engine hands over: its fields in order, GBK.
#pragma once

#include <string>
#include <vector>

namespace tarvimo::engine {

using Row = std::vector<std::string>;

} // namespace tarvimo::engine
