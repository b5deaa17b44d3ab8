#include "base/clock.h"

#include <ctime>

namespace tarvimo::clock {

std::string localTimeText()
{
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
    return buf;
}

} // namespace tarvimo::clock
