#include <linux/serial.h>
#include <sys/ioctl.h>

#include "serial/low_latency.h"

namespace corvat {

namespace {
class DriverSerialFlags : public SerialFlags {
  public:
    std::optional<int> Get(int handle) override {
        serial_struct serial{};
        if (::ioctl(handle, TIOCGSERIAL, &serial) != 0) return std::nullopt;
        return serial.flags;
    }

    bool Set(int handle, int flags) override {
        // The driver takes the whole structure back; only the flags change.
        serial_struct serial{};
        if (::ioctl(handle, TIOCGSERIAL, &serial) != 0) return false;
        serial.flags = flags;
        return ::ioctl(handle, TIOCSSERIAL, &serial) == 0;
    }
};
}  // namespace

SerialFlags& SystemSerialFlags() {
    static DriverSerialFlags flags;
    return flags;
}

void LowLatency::Engage(int handle) {
    m_engaged = false;
    const std::optional<int> flags = m_flags.Get(handle);
    if (!flags || (*flags & ASYNC_LOW_LATENCY) != 0) return;
    m_engaged = m_flags.Set(handle, *flags | ASYNC_LOW_LATENCY);
}

void LowLatency::Release(int handle) {
    if (!m_engaged) return;
    m_engaged = false;
    const std::optional<int> flags = m_flags.Get(handle);
    if (flags) m_flags.Set(handle, *flags & ~ASYNC_LOW_LATENCY);
}

}  // namespace corvat
