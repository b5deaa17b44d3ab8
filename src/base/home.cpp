#include "base/home.h"

#include "base/files.h"
#include "base/text.h"

#include <cstdlib>
#include <filesystem>

namespace tarvimo::home {
namespace {

std::string env(const char* name)
{
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

// The folder as an absolute path: paths built from it are stored in files (relative ones
// would later be read against the home folder a second time).
std::string absolute(const std::string& dir)
{
    if (dir.empty() || dir.front() == '/')
        return dir;
    std::error_code ec;
    auto p = std::filesystem::absolute(dir, ec);
    return ec ? dir : p.lexically_normal().string();
}

std::string chosenFolder(const std::string& chosen)
{
    if (!chosen.empty())
        return chosen;
    if (auto v = env("TARVIMO_HOME"); !v.empty())
        return v;
    if (auto v = env("XDG_DATA_HOME"); !v.empty())
        return files::joinPath(v, "tarvimo");
    if (auto v = env("HOME"); !v.empty())
        return files::joinPath(v, ".local/share/tarvimo");
    return ".tarvimo";
}

} // namespace

std::string resolve(const std::string& chosen) { return absolute(chosenFolder(chosen)); }

std::string taskFolder(const std::string& home) { return files::joinPath(home, "Task"); }

std::string settingsPath(const std::string& home) { return files::joinPath(home, "DefaultSet.ini"); }

bool isLocalPath(std::string_view value)
{
    return value.find(":\\") != std::string_view::npos || value.starts_with('/') ||
           text::startsWithNoCase(value, "file://");
}

std::string toNativePath(std::string_view value, const std::string& home)
{
    std::string_view v = text::trimView(value);
    if (text::startsWithNoCase(v, "file://"))
        v.remove_prefix(7);
    std::string p = text::gbkToUtf8(v);
    for (char& c : p)
        if (c == '\\')
            c = '/';
    if (p.size() >= 2 && p[1] == ':' &&
        ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z')))
        p.erase(0, 2);
    if (p.empty())
        return home;
    if (p[0] != '/')
        return files::joinPath(home, p);
    return p;
}

} // namespace tarvimo::home
