#include "engine/environment.h"

#include "base/clock.h"
#include "base/home.h"

#include <exception>

namespace tarvimo::engine {

Environment Environment::forHome(const std::string& home)
{
    Environment env;
    env.home = home;
    env.settingsPath = home::settingsPath(home);
    try {
        env.catalogue = SiteCatalogue::load(SiteCatalogue::pathIn(home));
    } catch (const std::exception&) {
        env.catalogue = SiteCatalogue::shipped();
    }
    return env;
}

std::string Environment::now() const { return clock ? clock() : clock::localTimeText(); }

std::string Environment::nativePath(std::string_view value) const { return home::toNativePath(value, home); }

void Environment::fixClock(std::string text)
{
    if (text.empty())
        clock = nullptr;
    else
        clock = [t = std::move(text)] { return t; };
}

} // namespace tarvimo::engine
