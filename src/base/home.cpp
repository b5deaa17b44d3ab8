#include "base/home.h"

#include "base/files.h"
#include "base/text.h"

#include <cstdlib>
#include <filesystem>
#include <mutex>

namespace tarvimo::home {
namespace {

std::mutex& overrideMutex()
{
    static std::mutex m;
    return m;
}

std::string& overrideDir()
{
    static std::string dir;
    return dir;
}

std::string env(const char* name)
{
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

} // namespace

void setOverride(const std::string& dir)
{
    std::lock_guard<std::mutex> lock(overrideMutex());
    overrideDir() = dir;
}

namespace {

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

std::string chosenFolder()
{
    {
        std::lock_guard<std::mutex> lock(overrideMutex());
        if (!overrideDir().empty())
            return overrideDir();
    }
    if (auto v = env("TARVIMO_HOME"); !v.empty())
        return v;
    if (auto v = env("XDG_DATA_HOME"); !v.empty())
        return files::joinPath(v, "tarvimo");
    if (auto v = env("HOME"); !v.empty())
        return files::joinPath(v, ".local/share/tarvimo");
    return ".tarvimo";
}

} // namespace

std::string folder()
{
    return absolute(chosenFolder());
}

std::string ensureFolder()
{
    std::string dir = folder();
    if (!files::makeDirs(dir))
        throw files::FileError("Cannot create the Tarvimo home folder " + dir);
    return dir;
}

std::string taskFolder() { return files::joinPath(folder(), "Task"); }

std::string settingsPath() { return files::joinPath(folder(), "DefaultSet.ini"); }

bool isLocalPath(std::string_view value)
{
    return value.find(":\\") != std::string_view::npos || value.starts_with('/') ||
           text::startsWithNoCase(value, "file://");
}

std::string toNativePath(std::string_view value)
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
        return folder();
    if (p[0] != '/')
        return files::joinPath(folder(), p);
    return p;
}

} // namespace tarvimo::home
