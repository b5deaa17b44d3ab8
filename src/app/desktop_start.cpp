#include "app/desktop_start.h"

#include "store/settings.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace tarvimo::app {

namespace fs = std::filesystem;

SingleInstance::SingleInstance(const std::string& runtimeDir, const std::string& home)
{
    // FNV-1a, the same in every build of the program (std::hash need not be), so an
    // installed and a self-built program find each other's lock.
    std::uint64_t h = 14695981039346656037ull;
    for (unsigned char c : home)
        h = (h ^ c) * 1099511628211ull;
    char name[64];
    std::snprintf(name, sizeof name, "tarvimo-%016llx.lock", static_cast<unsigned long long>(h));
    file_ = (fs::path(runtimeDir) / name).string();
    std::error_code ec;
    fs::create_directories(runtimeDir, ec);
    fd_ = ::open(file_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0)
        return;
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
        acquired_ = true;
    } else {
        anotherRunning_ = errno == EWOULDBLOCK;
        ::close(fd_);
        fd_ = -1;
    }
}

SingleInstance::~SingleInstance()
{
    if (fd_ >= 0)
        ::close(fd_);
}

SystemProxy systemProxy(const std::function<const char*(const char*)>& getenv)
{
    SystemProxy out;
    for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY"}) {
        const char* value = getenv(name);
        if (!value || !*value)
            continue;
        std::string_view v = value;
        if (const auto scheme = v.find("://"); scheme != std::string_view::npos)
            v.remove_prefix(scheme + 3);
        if (const auto at = v.rfind('@'); at != std::string_view::npos)
            v.remove_prefix(at + 1);
        if (const auto slash = v.find('/'); slash != std::string_view::npos)
            v = v.substr(0, slash);
        if (v.empty())
            continue;
        // The host is the text before the first ":", the port the text after it.
        const auto colon = v.find(':');
        out.enabled = true;
        out.server = std::string(v.substr(0, colon));
        out.port = colon == std::string_view::npos ? std::string() : std::string(v.substr(colon + 1));
        break;
    }
    return out;
}

void copySystemProxy(const std::string& settingsPath, const SystemProxy& proxy)
{
    try {
        store::settings::writeSystemProxy(settingsPath, proxy.enabled, proxy.server, proxy.port);
    } catch (const std::exception&) {
    }
}

namespace {

std::string existing(const fs::path& p)
{
    // Normalised first: "bin/../share" must not need a "bin" folder.
    const fs::path normal = p.lexically_normal();
    std::error_code ec;
    return fs::is_regular_file(normal, ec) ? normal.string() : std::string();
}

} // namespace

std::string startPagePath(const std::string& home, const std::string& programDir)
{
    if (auto own = existing(fs::path(home) / "files" / "tarvimo.htm"); !own.empty())
        return own;
    return existing(fs::path(programDir) / ".." / "share" / "tarvimo" / "files" / "tarvimo.htm");
}

std::string manualPath(const std::string& programDir)
{
    return existing(fs::path(programDir) / ".." / "share" / "doc" / "tarvimo" / "manual" / "index.html");
}

ToolbarState applyToolbarCode(ToolbarState s, std::string_view code)
{
    for (char c : code) {
        switch (c) {
        case '0':
            s = ToolbarState{};
            break;
        case '1':
            s.pause = s.stop = true;
            s.run = false;
            break;
        case '2':
            s.run = s.stop = true;
            s.pause = false;
            break;
        case '3':
            s.run = true;
            break;
        case '4':
            s.remove = s.properties = true;
            break;
        case '5':
            s.exports = true;
            break;
        default:
            break;
        }
    }
    return s;
}

} // namespace tarvimo::app
