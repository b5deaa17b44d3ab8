// The Tarvimo home: the folder that holds the task library, DefaultSet.ini, the category
// store and the output folders. Resolution order: the --home override, $TARVIMO_HOME,
// $XDG_DATA_HOME/tarvimo, ~/.local/share/tarvimo.
#pragma once

#include <string>
#include <string_view>

namespace tarvimo::home {

// Set by a front end's --home flag; an empty text removes the override.
void setOverride(const std::string& dir);
// The home folder (not created here).
std::string folder();
// The home folder, created when missing. Throws files::FileError when it cannot be made.
std::string ensureFolder();

std::string taskFolder();     // home + "/Task"
std::string settingsPath();   // home + "/DefaultSet.ini"

// Values stored in task and settings files may hold Windows-style paths. A value is a
// local path when it holds ":\", starts with "/" or starts with "file://".
bool isLocalPath(std::string_view value);
// The file-system path of such a value (GBK text in, UTF-8 path out): "file://" dropped,
// backslashes read as separators, a drive letter "X:" dropped so "C:\data\a.txt" is
// "/data/a.txt"; a relative path is taken from the home folder.
std::string toNativePath(std::string_view value);

} // namespace tarvimo::home
