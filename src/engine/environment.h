// The installation the code runs in: the home folder, the settings file, the site
// catalogue and the clock. A front end makes it once (forHome) and passes it down; tests
// build one in a temporary folder with the shipped catalogue and a fixed clock. Nothing
// below the front ends finds these by itself, so no reader creates or writes a file the
// caller did not ask for.
//
// Threads: an environment is read-only once made; the workers of a run share their
// frame's by reference, so its clock must be callable from any thread.
#pragma once

#include "engine/site_catalogue.h"

#include <functional>
#include <string>
#include <string_view>

namespace tarvimo::engine {

struct Environment {
    std::string home;          // absolute
    std::string settingsPath;  // the DefaultSet.ini every reader opens
    SiteCatalogue catalogue = SiteCatalogue::shipped();
    // The text of the time column ("yyyy-mm-dd hh:nn:ss"); empty function: the wall clock.
    std::function<std::string()> clock;

    // The environment of a home folder: its DefaultSet.ini, its sites.ini (written with the
    // shipped values when it does not exist yet; the shipped values when it cannot be read)
    // and the wall clock.
    static Environment forHome(const std::string& home);

    std::string now() const;
    // A value stored in a task or settings file as a file-system path (relative paths are
    // taken from the home folder).
    std::string nativePath(std::string_view value) const;
    // Every time column shows 'text' (reproducible output); empty: the wall clock again.
    void fixClock(std::string text);
};

} // namespace tarvimo::engine
