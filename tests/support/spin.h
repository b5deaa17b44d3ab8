// Runs a test's Qt event loop until a condition holds.
#pragma once

#include <QCoreApplication>
#include <QThread>

#include <chrono>
#include <functional>

namespace tarvimo::test {

// Runs the event loop until 'done' holds; false on time-out.
inline bool spinUntil(const std::function<bool()>& done, int timeoutMs = 20000)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

} // namespace tarvimo::test
