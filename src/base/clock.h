// The local wall-clock time as the program writes it into rows: "yyyy-mm-dd hh:nn:ss".
#pragma once

#include <string>

namespace tarvimo::clock {

std::string localTimeText();

} // namespace tarvimo::clock
