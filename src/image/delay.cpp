#include "image/delay.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <chrono>

namespace corvat {

namespace {

std::int32_t Elapsed(std::uint32_t start, std::uint32_t now) {
    // Unsigned subtraction is modulo 2^32, which is exactly the wrap-around the counter needs.
    return static_cast<std::int32_t>(now - start);
}

// Handles what is pending, or sleeps until something arrives; the timer bounds the sleep so the counter
// is read again no later than when the wait should be over.
void HandleEventsFor(std::int32_t remaining) {
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    wake.start(remaining);
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

}  // namespace

std::uint32_t SystemMilliseconds() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void Delay(std::int32_t milliseconds, const MillisecondCounter& counter) {
    const std::uint32_t start = counter();
    std::int32_t elapsed = Elapsed(start, counter());
    while (elapsed < milliseconds) {
        HandleEventsFor(milliseconds - elapsed);
        elapsed = Elapsed(start, counter());
    }
}

}  // namespace corvat
