#include "base/stop_signals.h"

#include <pthread.h>
#include <ctime>

namespace tarvimo::stop_signals {

sigset_t block()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    return set;
}

bool wait(const sigset_t& signals, const std::function<bool()>& keepWaiting)
{
    const timespec tick{0, 200 * 1000 * 1000};
    while (keepWaiting())
        if (sigtimedwait(&signals, nullptr, &tick) > 0)
            return true;
    return false;
}

} // namespace tarvimo::stop_signals
