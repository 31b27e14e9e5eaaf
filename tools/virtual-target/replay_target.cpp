#include "replay_target.h"

#include <cstdio>

namespace corvat::vt {

void ReplayTarget::PowerOn(Clock::time_point now) {
    if (m_next >= m_sessions.size()) {
        m_wire.Note("replay: the recording holds no further session; the target stays silent");
        return;
    }
    m_wire.Note("replay: session " + std::to_string(m_next + 1) + " of " + std::to_string(m_sessions.size()));
    m_replayer.emplace(m_sessions[m_next++]);
    Carry(m_replayer->Start(now));
}

void ReplayTarget::PowerOff() {
    if (!m_replayer) return;
    m_replayer->Closed();
    CheckDifference();
    if (!m_over && m_next >= m_sessions.size())
        End(0, "replay: the loader sent what it sent in the recording; the recording is played");
    m_replayer.reset();
}

void ReplayTarget::Receive(std::string_view bytes, Clock::time_point lineDone) {
    if (!m_replayer) return;
    Carry(m_replayer->Received(bytes, lineDone));
    CheckDifference();
}

void ReplayTarget::LineClosed() {
    if (m_next >= m_sessions.size()) End(0, "replay: the recording ends with the adapter unplugged");
}

void ReplayTarget::Carry(const std::vector<trace::ReplayAction>& actions) {
    for (const trace::ReplayAction& action : actions) {
        if (action.kind == trace::ReplayStep::Kind::kHangUp)
            m_wire.HangUpAt(action.due);
        else
            m_wire.Send(action.bytes, action.due);
    }
}

void ReplayTarget::CheckDifference() {
    if (m_over || !m_replayer || !m_replayer->FirstDifference()) return;
    const std::string text =
        "replay: the loader differs from the recording at " + m_replayer->FirstDifference()->Text();
    std::fprintf(stderr, "corvat-virtual-target: %s\n", text.c_str());
    End(1, text);
}

void ReplayTarget::End(int status, const std::string& why) {
    m_wire.Note(why);
    m_over = true;
    m_status = status;
}

}  // namespace corvat::vt
