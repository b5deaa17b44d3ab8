// The Tarvimo home: the folder that holds the task library, DefaultSet.ini, the category
// store and the output folders. A front end resolves it once (its --home flag,
// $TARVIMO_HOME, $XDG_DATA_HOME/tarvimo, ~/.local/share/tarvimo) and passes it down inside
// the environment; nothing below the front ends looks it up by itself.
#pragma once

#include <string>
#include <string_view>

namespace tarvimo::home {

// The home folder as an absolute path (not created here): 'chosen' (a front end's --home
// flag) when not empty, else from the process environment.
std::string resolve(const std::string& chosen = {});

std::string taskFolder(const std::string& home);    // home + "/Task"
std::string settingsPath(const std::string& home);  // home + "/DefaultSet.ini"

// Values stored in task and settings files may hold Windows-style paths. A value is a
// local path when it holds ":\", starts with "/" or starts with "file://".
bool isLocalPath(std::string_view value);
// The file-system path of such a value (GBK text in, UTF-8 path out): "file://" dropped,
// backslashes read as separators, a drive letter "X:" dropped so "C:\data\a.txt" is
// "/data/a.txt"; a relative path is taken from the home folder 'home'.
std::string toNativePath(std::string_view value, const std::string& home);

} // namespace tarvimo::home
