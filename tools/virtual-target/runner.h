// The target's event loop: watches the line for a loader opening and closing it, takes
// commands from standard input, paces the line, and hands bytes to the boot loader.
#pragma once

#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "boot_loader.h"
#include "options.h"
#include "pty_line.h"
#include "stats.h"
#include "trace/replay.h"
#include "transcript.h"

namespace corvat::vt {

class Runner : public Wire {
  public:
    // replay: the sessions to play back instead of simulating a boot loader, when --replay is given.
    Runner(const Options& options, Transcript& transcript, int stopFd,
           std::vector<trace::ReplaySession> replay = {});
    // Returns the exit status.
    int Run();

    void Send(std::string bytes, Clock::time_point notBefore) override;
    void HangUp() override;
    void HangUpAt(Clock::time_point when) override;
    void Note(const std::string& event) override {
        m_transcript.Event(m_options.label.empty() ? event : m_options.label + " " + event);
    }

  private:
    enum class LineState { kNoLoader, kLoaderPresent, kUnplugged };
    struct Outgoing {
        Clock::time_point due;
        std::string bytes;
        bool hangUp = false;
    };

    bool Plug();
    Clock::duration NextWake(Clock::time_point now) const;
    void WatchForLoader(Clock::time_point now);
    void OnLineEvent(short revents);
    void OnLoaderGone();
    void OnStdin();
    void PowerCycle(Clock::time_point now);
    void Queue(Outgoing outgoing);  // in order of when it is due
    void Deliver(Clock::time_point now);
    Clock::time_point LineDone(Clock::time_point readAt, std::size_t bytes);
    std::string Direction(const char* direction) const;

    const Options& m_options;
    Transcript& m_transcript;
    int m_stopFd;
    std::string m_linkPath;
    PtyLine m_line;
    Stats m_stats;
    std::unique_ptr<Target> m_target;
    LineState m_state = LineState::kNoLoader;
    std::optional<Clock::time_point> m_powerOnAt;
    std::optional<Clock::time_point> m_replugAt;
    std::deque<Outgoing> m_outbox;
    Clock::time_point m_txFree{};
    Clock::time_point m_rxFree{};
    std::string m_command;
    bool m_stdinOpen = true;
    bool m_quit = false;
    bool m_sessionSeen = false;
    int m_status = 0;
};

}  // namespace corvat::vt
