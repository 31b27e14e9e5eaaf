#include "trace/replay.h"

#include <algorithm>

namespace corvat::trace {

namespace {

class SessionBuilder {
  public:
    void Open(std::int64_t micros) {
        Flush();
        m_started = true;
        m_previous = micros;
        m_previousWasTarget = false;
    }
    void LoaderBytes(const Entry& entry) {
        m_started = true;
        m_current.loaderBytes += entry.bytes;
        m_previous = entry.micros;
        m_previousWasTarget = false;
    }
    void TargetStep(ReplayStep::Kind kind, const Entry& entry) {
        m_started = true;
        ReplayStep step{kind, entry.bytes, m_current.loaderBytes.size(),
                        std::chrono::microseconds(std::max<std::int64_t>(0, entry.micros - m_previous)),
                        m_previousWasTarget};
        m_current.steps.push_back(std::move(step));
        m_previous = entry.micros;
        m_previousWasTarget = true;
    }
    std::vector<ReplaySession> Finish() {
        Flush();
        return std::move(m_sessions);
    }

  private:
    void Flush() {
        if (m_started) m_sessions.push_back(std::move(m_current));
        m_current = {};
        m_started = false;
    }

    std::vector<ReplaySession> m_sessions;
    ReplaySession m_current;
    bool m_started = false;
    std::int64_t m_previous = 0;
    bool m_previousWasTarget = false;
};

std::string HexByte(std::optional<char> byte, const char* none) {
    return byte ? HexBytes(std::string(1, *byte)) : none;
}

}  // namespace

std::string Difference::Text() const {
    return "offset " + std::to_string(offset) + ": expected " + HexByte(expected, "nothing more") + ", got " +
           HexByte(got, "nothing (the loader closed the port)");
}

std::vector<ReplaySession> SessionsOf(const Trace& trace, const std::string& port, std::string* error) {
    std::string chosen = port;
    if (chosen.empty() && !trace.header.ports.empty()) chosen = trace.header.ports.front();
    for (const Entry& entry : trace.entries)
        if (chosen.empty() && entry.port != kNoPort) chosen = entry.port;
    SessionBuilder builder;
    bool seen = false;
    for (const Entry& entry : trace.entries) {
        if (entry.port != chosen) continue;
        seen = true;
        if (entry.kind == Entry::Kind::kBytes && entry.direction == Direction::kTx)
            builder.LoaderBytes(entry);
        else if (entry.kind == Entry::Kind::kBytes)
            builder.TargetStep(ReplayStep::Kind::kSend, entry);
        else if (entry.note == "open")
            builder.Open(entry.micros);
        else if (entry.note == "port-lost")
            builder.TargetStep(ReplayStep::Kind::kHangUp, entry);
    }
    if (!seen) {
        *error =
            chosen.empty() ? "the trace names no port" : "the trace holds nothing of port \"" + chosen + "\"";
        return {};
    }
    return builder.Finish();
}

std::vector<ReplayAction> Replayer::Start(ReplayClock::time_point now) {
    m_start = now;
    m_reached.assign(1, now);
    m_lastStepDue = now;
    return DueSteps();
}

std::vector<ReplayAction> Replayer::Received(std::string_view bytes, ReplayClock::time_point now) {
    for (const char byte : bytes) {
        if (m_difference) return {};
        if (m_seen >= m_session.loaderBytes.size() || m_session.loaderBytes[m_seen] != byte) {
            m_difference = Difference{m_seen,
                                      m_seen < m_session.loaderBytes.size()
                                          ? std::optional<char>(m_session.loaderBytes[m_seen])
                                          : std::nullopt,
                                      byte};
            return {};
        }
        ++m_seen;
        m_reached.push_back(now);
    }
    return DueSteps();
}

void Replayer::Closed() {
    if (!m_difference && m_seen < m_session.loaderBytes.size())
        m_difference = Difference{m_seen, m_session.loaderBytes[m_seen], std::nullopt};
}

bool Replayer::Complete() const {
    return !m_difference && m_seen == m_session.loaderBytes.size() && m_next == m_session.steps.size();
}

std::vector<ReplayAction> Replayer::DueSteps() {
    std::vector<ReplayAction> actions;
    if (m_difference) return actions;
    while (m_next < m_session.steps.size() && m_session.steps[m_next].loaderBytesBefore <= m_seen) {
        const ReplayStep& step = m_session.steps[m_next++];
        const auto from = step.afterTargetStep ? m_lastStepDue : m_reached[step.loaderBytesBefore];
        const auto due = std::max(from + step.gap, m_lastStepDue);
        actions.push_back({step.kind, step.bytes, due});
        m_lastStepDue = due;
    }
    return actions;
}

}  // namespace corvat::trace
