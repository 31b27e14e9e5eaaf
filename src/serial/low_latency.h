#pragma once

#include <optional>

namespace corvat {

// The driver's serial flags of an open tty. Tests replace the real driver calls.
class SerialFlags {
  public:
    virtual ~SerialFlags() = default;
    // Nothing when the driver keeps no such flags (a pseudo-terminal, most other platforms).
    virtual std::optional<int> Get(int handle) = 0;
    // False when the driver refuses.
    virtual bool Set(int handle, int flags) = 0;
};

// The driver's own calls; on a platform without serial flags every request is refused.
SerialFlags& SystemSerialFlags();

// Every page answer is one byte, and an FTDI adapter holds a lone byte for its whole latency timer
// (16 ms by default) before passing it on: asking for low latency makes its driver use 1 ms. A driver
// that refuses is left as it was; nothing depends on the answer.
class LowLatency {
  public:
    explicit LowLatency(SerialFlags& flags) : m_flags(flags) {}

    void Engage(int handle);
    // Clears the low-latency bit again if Engage set it. Only that bit: the flags are read afresh, so a
    // change another program made meanwhile stays.
    void Release(int handle);

  private:
    SerialFlags& m_flags;
    bool m_engaged = false;
};

}  // namespace corvat
