#pragma once
// The target's side of a recorded session, played back: what the target sent goes out once the loader
// has sent everything it sent before it, after the gap the trace shows; the first byte of the loader's
// that differs from the recording stops the replay. No I/O and no clock of its own: the caller reports
// what arrived and when, and carries out the actions it is handed.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "trace/trace_format.h"

namespace corvat::trace {

using ReplayClock = std::chrono::steady_clock;

// One step of the target's: bytes to send, or the line to close as an unplugged adapter does.
struct ReplayStep {
    enum class Kind { kSend, kHangUp };
    Kind kind = Kind::kSend;
    std::string bytes;
    std::size_t loaderBytesBefore = 0;  // of the loader's bytes, how many come before this step
    std::chrono::microseconds gap{0};   // after the trace line before it (or the session's start)
    bool afterTargetStep = false;       // that line was the target's own step, not the loader's bytes
};

// One session of one port: from the loader opening the port to the next opening.
struct ReplaySession {
    std::string loaderBytes;  // everything the loader sent, in order
    std::vector<ReplayStep> steps;
};

struct ReplayAction {
    ReplayStep::Kind kind = ReplayStep::Kind::kSend;
    std::string bytes;
    ReplayClock::time_point due;
};

struct Difference {
    std::size_t offset = 0;        // in the loader's bytes of the session
    std::optional<char> expected;  // none: the recording had ended
    std::optional<char> got;       // none: the loader closed the port
    std::string Text() const;
};

// The sessions of one port in the trace: the port given, or the first one the trace names. Empty with
// *error when the trace has no such port.
std::vector<ReplaySession> SessionsOf(const Trace& trace, const std::string& port, std::string* error);

class Replayer {
  public:
    explicit Replayer(ReplaySession session) : m_session(std::move(session)) {}

    // The loader opened the port: the steps due before any byte of the loader's.
    std::vector<ReplayAction> Start(ReplayClock::time_point now);
    // The loader's bytes arrived at `now`: the steps they make due, or none once a difference is found.
    std::vector<ReplayAction> Received(std::string_view bytes, ReplayClock::time_point now);
    // The loader closed the port: a difference when it had not yet sent all it sent in the recording.
    void Closed();

    const std::optional<Difference>& FirstDifference() const { return m_difference; }
    // Every step handed out and every byte of the loader's seen, with no difference.
    bool Complete() const;
    std::size_t LoaderBytesSeen() const { return m_seen; }

  private:
    std::vector<ReplayAction> DueSteps();

    ReplaySession m_session;
    std::size_t m_seen = 0;
    std::size_t m_next = 0;  // the next step to hand out
    ReplayClock::time_point m_start{};
    std::vector<ReplayClock::time_point> m_reached;  // [k]: when the loader's byte count reached k
    ReplayClock::time_point m_lastStepDue{};
    std::optional<Difference> m_difference;
};

}  // namespace corvat::trace
