// A recorded session played back as the target: its bytes go out as the recording has them, and the
// first byte of the loader's that the recording does not have ends the program with status 1.
#pragma once

#include <optional>
#include <vector>

#include "boot_loader.h"
#include "trace/replay.h"

namespace corvat::vt {

class ReplayTarget : public Target {
  public:
    ReplayTarget(std::vector<trace::ReplaySession> sessions, Wire& wire)
        : m_sessions(std::move(sessions)), m_wire(wire) {}

    // Each opening of the port plays the next recorded session.
    void PowerOn(Clock::time_point now) override;
    void PowerOff() override;
    void Receive(std::string_view bytes, Clock::time_point lineDone) override;
    void LineClosed() override;
    bool Over() const override { return m_over; }
    int Status() const override { return m_status; }

  private:
    void Carry(const std::vector<trace::ReplayAction>& actions);
    void CheckDifference();
    void End(int status, const std::string& why);

    std::vector<trace::ReplaySession> m_sessions;
    Wire& m_wire;
    std::size_t m_next = 0;
    std::optional<trace::Replayer> m_replayer;
    bool m_over = false;
    int m_status = 0;
};

}  // namespace corvat::vt
