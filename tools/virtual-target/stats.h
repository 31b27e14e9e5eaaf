// Timing figures of one download, as the target sees them: how fast the loader reacts to an
// answer, and how the whole download compares with what the line itself needs.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "transcript.h"

namespace corvat::vt {

class Stats {
  public:
    explicit Stats(int baud) : m_baud(baud) {}

    void DownloadStarted(Clock::time_point commandRead);
    void AnswerWritten(Clock::time_point when, std::size_t bytes);
    void BytesRead(Clock::time_point when, std::size_t bytes);
    void FrameReceived() { ++m_frames; }
    // The end marker has fully arrived (on a paced line: when its last bit would have).
    void DownloadEnded(Clock::time_point markerDone);
    bool Active() const { return m_active; }

    std::vector<std::string> Report() const;

  private:
    int m_baud;
    bool m_active = false;
    bool m_awaitingReaction = false;
    Clock::time_point m_start{};
    Clock::time_point m_end{};
    Clock::time_point m_answerAt{};
    std::vector<double> m_reactionsUs;
    std::size_t m_lineBytes = 0;
    int m_frames = 0;
};

}  // namespace corvat::vt
