#pragma once

#include <cstdint>
#include <functional>

namespace corvat {

// A free-running millisecond count that wraps around from 0xFFFFFFFF to 0.
using MillisecondCounter = std::function<std::uint32_t()>;

// The system's count: milliseconds of the monotonic clock, truncated to 32 bits.
std::uint32_t SystemMilliseconds();

// Waits the given milliseconds while the thread's pending events go on being handled. Elapsed time is the
// wrap-around difference of two counter readings, so a wait across the wrap ends on time. A request of 0 or
// less returns at once without handling any event. The wait sleeps in the event dispatcher rather than
// spinning, and re-reads the counter after every wake.
void Delay(std::int32_t milliseconds, const MillisecondCounter& counter = SystemMilliseconds);

}  // namespace corvat
