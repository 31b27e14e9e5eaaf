#include "runner.h"

#include "replay_target.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace corvat::vt {

namespace {

// Nobody holding the port gives no event on the master but a standing hang-up, so the
// opening of the port is noticed by looking this often.
constexpr std::chrono::milliseconds kLoaderWatchInterval{5};

}  // namespace

Runner::Runner(const Options& options, Transcript& transcript, int stopFd,
               std::vector<trace::ReplaySession> replay)
    : m_options(options),
      m_transcript(transcript),
      m_stopFd(stopFd),
      m_linkPath(options.linkPath),
      m_stats(options.baud) {
    if (options.replayFile.empty())
        m_target = std::make_unique<BootLoader>(options, *this, m_stats);
    else
        m_target = std::make_unique<ReplayTarget>(std::move(replay), *this);
}

std::string Runner::Direction(const char* direction) const {
    return m_options.label.empty() ? std::string(direction) : m_options.label + " " + direction;
}

int Runner::Run() {
    if (!Plug()) return 1;
    if (isatty(STDIN_FILENO)) std::fprintf(stderr, "Enter: power the target on (again); q Enter: quit\n");
    while (!m_quit && !m_target->Over()) {
        const auto now = Clock::now();
        if (m_state == LineState::kUnplugged && m_replugAt && now >= *m_replugAt) {
            m_replugAt.reset();
            if (!Plug()) return 1;
        }
        if (m_state == LineState::kNoLoader) WatchForLoader(now);
        if (m_powerOnAt && now >= *m_powerOnAt) {
            m_powerOnAt.reset();
            m_sessionSeen = true;
            m_target->PowerOn(now);
        }
        Deliver(Clock::now());

        pollfd fds[3];
        nfds_t count = 0;
        fds[count++] = {m_stopFd, POLLIN, 0};
        const nfds_t stdinIndex = m_stdinOpen ? count++ : 99;
        if (m_stdinOpen) fds[stdinIndex] = {STDIN_FILENO, POLLIN, 0};
        const nfds_t lineIndex = m_state == LineState::kLoaderPresent ? count++ : 99;
        if (lineIndex != 99) fds[lineIndex] = {m_line.Fd(), POLLIN, 0};

        const auto wait = std::max(Clock::duration::zero(), NextWake(Clock::now()));
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(wait);
        const timespec timeout{static_cast<time_t>(seconds.count()),
                               static_cast<long>(std::chrono::nanoseconds(wait - seconds).count())};
        if (ppoll(fds, count, &timeout, nullptr) < 0) continue;
        if (fds[0].revents != 0) {
            Note("stopped by a signal");
            break;
        }
        if (stdinIndex != 99 && fds[stdinIndex].revents != 0) OnStdin();
        if (lineIndex != 99 && fds[lineIndex].revents != 0 && m_state == LineState::kLoaderPresent)
            OnLineEvent(fds[lineIndex].revents);
    }
    return std::max(m_status, m_target->Status());
}

Clock::duration Runner::NextWake(Clock::time_point now) const {
    Clock::time_point wake = now + std::chrono::seconds(1);
    if (m_state == LineState::kNoLoader) wake = now + kLoaderWatchInterval;
    if (!m_outbox.empty()) wake = std::min(wake, m_outbox.front().due);
    if (m_powerOnAt) wake = std::min(wake, *m_powerOnAt);
    if (m_replugAt) wake = std::min(wake, *m_replugAt);
    return wake - now;
}

bool Runner::Plug() {
    std::string error;
    if (!m_line.Open(m_linkPath, &error)) {
        std::fprintf(stderr, "corvat-virtual-target: %s\n", error.c_str());
        m_status = 1;
        return false;
    }
    m_state = LineState::kNoLoader;
    Note("line " + m_line.SlaveName() + " linked at " + m_linkPath + ", waiting for a loader to open it");
    return true;
}

void Runner::WatchForLoader(Clock::time_point now) {
    if (!m_line.LoaderPresent()) return;
    m_state = LineState::kLoaderPresent;
    m_txFree = m_rxFree = now;
    if (m_options.manual) {
        Note("loader opened the port; power on with Enter");
    } else {
        Note("loader opened the port");
        m_powerOnAt = now + m_options.greetDelay;
    }
}

void Runner::OnLineEvent(short revents) {
    // A loader that writes and closes at once (the release) may leave its last bytes to be read only
    // after the hang-up is seen: they are read before the loader counts as gone.
    if (revents & (POLLIN | POLLHUP)) {
        const std::string bytes = m_line.Read();
        if (!bytes.empty()) {
            const auto now = Clock::now();
            m_transcript.Bytes(Direction("rx"), bytes, now);
            m_stats.BytesRead(now, bytes.size());
            m_target->Receive(bytes, LineDone(now, bytes.size()));
        }
    }
    if (m_state == LineState::kLoaderPresent && !m_line.LoaderPresent()) OnLoaderGone();
}

void Runner::OnLoaderGone() {
    Note("loader closed the port");
    m_target->PowerOff();
    m_outbox.clear();
    m_powerOnAt.reset();
    m_state = LineState::kNoLoader;
    if (m_options.once && m_sessionSeen) m_quit = true;
}

void Runner::OnStdin() {
    char buffer[256];
    const ssize_t count = read(STDIN_FILENO, buffer, sizeof buffer);
    if (count <= 0) {
        m_stdinOpen = false;  // no more commands; the target keeps running
        return;
    }
    m_command.append(buffer, static_cast<std::size_t>(count));
    for (auto end = m_command.find('\n'); end != std::string::npos; end = m_command.find('\n')) {
        std::string line = m_command.substr(0, end);
        m_command.erase(0, end + 1);
        line.erase(std::remove_if(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\r'; }),
                   line.end());
        if (line.empty() || line == "p")
            PowerCycle(Clock::now());
        else if (line == "q")
            m_quit = true;
        else
            Note("unknown command \"" + line + "\" (Enter or p: power on, q: quit)");
    }
}

void Runner::PowerCycle(Clock::time_point now) {
    if (m_state != LineState::kLoaderPresent) {
        Note("no loader has the port open: nobody would hear the greeting");
        return;
    }
    m_target->PowerOff();
    m_outbox.clear();
    m_powerOnAt.reset();
    m_sessionSeen = true;
    m_target->PowerOn(now);
}

void Runner::Send(std::string bytes, Clock::time_point notBefore) {
    auto insert = [this](Clock::time_point due, std::string data) { Queue(Outgoing{due, std::move(data)}); };
    if (!m_options.pace) {
        insert(notBefore, std::move(bytes));
        return;
    }
    // Each byte reaches the loader when its stop bit would have: one write per byte, on time.
    for (const char byte : bytes) {
        m_txFree = std::max(notBefore, m_txFree) + m_options.ByteTime();
        insert(m_txFree, std::string(1, byte));
    }
}

void Runner::Deliver(Clock::time_point now) {
    while (!m_outbox.empty() && m_outbox.front().due <= now && m_state == LineState::kLoaderPresent) {
        const Outgoing next = std::move(m_outbox.front());
        m_outbox.pop_front();
        if (next.hangUp) {
            HangUp();
            return;
        }
        m_line.Write(next.bytes);
        const auto written = Clock::now();
        m_transcript.Bytes(Direction("tx"), next.bytes, written);
        m_stats.AnswerWritten(written, next.bytes.size());
    }
}

void Runner::HangUp() {
    m_line.Close();
    Note("line closed, as by an unplugged adapter");
    m_state = LineState::kUnplugged;
    m_outbox.clear();
    m_powerOnAt.reset();
    m_target->LineClosed();
    if (m_options.once || m_target->Over())
        m_quit = true;
    else
        m_replugAt = Clock::now() + m_options.replugDelay;
}

void Runner::HangUpAt(Clock::time_point when) {
    Queue(Outgoing{when, {}, true});
}

void Runner::Queue(Outgoing outgoing) {
    const auto at = std::upper_bound(m_outbox.begin(), m_outbox.end(), outgoing.due,
                                     [](Clock::time_point t, const Outgoing& o) { return t < o.due; });
    m_outbox.insert(at, std::move(outgoing));
}

Clock::time_point Runner::LineDone(Clock::time_point readAt, std::size_t bytes) {
    if (!m_options.pace) return readAt;
    // The loader's bytes arrive at once through the pseudo-terminal; on a real line they would
    // still be arriving, so what follows them is timed from when they would be complete.
    m_rxFree = std::max(readAt, m_rxFree) + m_options.ByteTime() * static_cast<long>(bytes);
    return m_rxFree;
}

}  // namespace corvat::vt
