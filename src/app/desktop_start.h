// What the desktop program does before its window shows: the single-instance lock, the
// copy of the system proxy into the settings, where its own files are, and the tool bar's
// state codes. Headless, so the rules are tested without a display.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tarvimo::app {

// One desktop program per home: an exclusive lock on a file in the user's runtime folder,
// named after the home. The kernel drops the lock when the process ends, however it ends,
// so a crash never leaves a stale lock behind.
class SingleInstance {
public:
    // 'runtimeDir': where the lock file lives (the user's runtime folder).
    SingleInstance(const std::string& runtimeDir, const std::string& home);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this process holds the lock; false when another one does (or the lock
    // file cannot be made, in which case the program runs unguarded).
    bool acquired() const { return acquired_; }
    bool anotherRunning() const { return anotherRunning_; }
    const std::string& lockFile() const { return file_; }

private:
    std::string file_;
    int fd_ = -1;
    bool acquired_ = false;
    bool anotherRunning_ = false;
};

// The system's proxy as the desktop states it: the first of http_proxy, HTTP_PROXY,
// https_proxy, HTTPS_PROXY that is set. 'getenv' reads a variable (null when unset).
struct SystemProxy {
    bool enabled = false;
    std::string server, port;
};
SystemProxy systemProxy(const std::function<const char*(const char*)>& getenv);

// Writes the system proxy into section proxy of the settings: UseProxy, and when it is
// on, servername and port. Errors are ignored (the user can still set a proxy by hand
// for this session in the options).
void copySystemProxy(const std::string& settingsPath, const SystemProxy& proxy);

// The program's own files: the start page "files/tarvimo.htm" and the manual. The home's
// "files" folder wins, so a user can put their own start page there; otherwise the
// installed copy beside the program ('programDir'/../share/...). Empty when none exists.
std::string startPagePath(const std::string& home, const std::string& programDir);
std::string manualPath(const std::string& programDir);

// The tool bar's enabled buttons, changed by state codes: a string of digits applied
// left to right. "0" disables run, pause, stop, delete, properties and the exports; "1"
// enables pause and stop and disables run; "2" enables run and stop and disables pause;
// "3" enables run only; "4" enables delete and properties; "5" enables the exports.
struct ToolbarState {
    bool run = false, pause = false, stop = false, remove = false, properties = false, exports = false;
    bool operator==(const ToolbarState&) const = default;
};
ToolbarState applyToolbarCode(ToolbarState state, std::string_view code);

} // namespace tarvimo::app
