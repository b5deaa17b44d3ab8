// The stop signals of the server programs (SIGTERM, SIGINT, SIGHUP), taken by the main
// thread without any handler running in signal context: blocked before any thread starts,
// so every thread inherits the mask, then waited for.
#pragma once

#include <csignal>
#include <functional>

namespace tarvimo::stop_signals {

// Blocks the three signals in the calling thread; the set, for wait().
sigset_t block();

// Waits, looking every 200 ms, until a stop signal comes (true) or 'keepWaiting' says no
// more (false).
bool wait(const sigset_t& signals, const std::function<bool()>& keepWaiting);

} // namespace tarvimo::stop_signals
