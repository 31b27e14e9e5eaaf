#include "cli/flash_run.h"

#include <fcntl.h>
#include <unistd.h>

#include <csignal>

#include "serial/port_names.h"

namespace corvat::cli {

FlashRun::FlashRun(const FlashOptions& options, const QByteArray& image, FlashSink& sink, TraceLog* trace)
    : m_options(options), m_image(image), m_sink(sink), m_trace(trace) {}

Result<> FlashRun::OpenPorts(const QString& appDir) {
    SessionLimits limits;
    limits.firstGreeting = m_options.GreetingLimit(0);
    limits.nextGreeting = m_options.GreetingLimit(1);
    limits.reply = m_options.replyTimeout;
    limits.maxResends = m_options.maxResends;
    limits.kind = m_options.kind;
    limits.loop = m_options.loop;
    for (const QString& port : m_options.ports) {
        auto link = std::make_unique<TracedLink>(port, m_trace);
        const Result<PortRequest> request = PortRequestFor(port, appDir);
        const Result<> opened = request ? link->Open(*request) : Result<>(request.failure());
        if (!opened) {
            m_sessions.clear();
            m_links.clear();  // closes those already open; nothing has been sent on them
            return Fail(opened.code(), QStringLiteral("无法打开串口 %1：%2").arg(port, opened.message()));
        }
        m_sessions.push_back(std::make_unique<FlashSession>(port, *request, *link, m_image, limits, m_sink));
        connect(m_sessions.back().get(), &FlashSession::SessionFinished, this, &FlashRun::OnSessionFinished);
        m_links.push_back(std::move(link));
    }
    return {};
}

void FlashRun::Start() {
    m_clock.start();
    for (std::size_t i = 0; i < m_sessions.size(); ++i) {
        FlashEvent opened;
        opened.type = FlashEvent::Type::kOpened;
        opened.port = m_options.ports[static_cast<qsizetype>(i)];
        opened.device = m_links[i]->Device();
        m_sink.Report(opened);
    }
    for (auto& session : m_sessions) session->Start();
}

void FlashRun::Interrupt(int signal) {
    if (m_signal == 0) m_signal = signal;
    for (auto& session : m_sessions) session->Interrupt(SignalCause(signal));
}

void FlashRun::OnSessionFinished() {
    if (m_finished) return;
    for (const auto& session : m_sessions)
        if (!session->Finished()) return;
    m_finished = true;
    FlashSummary summary;
    for (const auto& session : m_sessions) {
        summary.done += session->Done();
        summary.failed += session->Failed();
    }
    summary.interrupted = m_signal != 0;
    if (m_signal != 0) summary.signal = SignalName(m_signal);
    summary.elapsedMs = m_clock.elapsed();
    if (m_trace && m_trace->Failed()) summary.traceError = QString::fromStdString(m_trace->Error());
    m_sink.Finish(summary);
    emit Finished();
}

int FlashRun::ExitStatus() const {
    // A run whose record was lost has not done all that was asked of it.
    if (m_trace && m_trace->Failed()) return kExitBoardFailed;
    for (const auto& session : m_sessions)
        if (session->Failed() > 0) return kExitBoardFailed;
    return kExitFlashed;
}

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
int g_stopWrite = -1;

void NoteStop(int signal) {
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const auto ignored = ::write(g_stopWrite, &byte, 1);
}

}  // namespace

QString SignalName(int signal) {
    switch (signal) {
        case SIGINT:
            return QStringLiteral("SIGINT");
        case SIGTERM:
            return QStringLiteral("SIGTERM");
        case SIGHUP:
            return QStringLiteral("SIGHUP");
        case SIGPIPE:
            return QStringLiteral("SIGPIPE");
    }
    return QStringLiteral("SIG%1").arg(signal);
}

QString SignalCause(int signal) {
    switch (signal) {
        case SIGINT:
            return QStringLiteral("Ctrl-C");
        case SIGTERM:
            return QStringLiteral("收到终止信号 SIGTERM");
        case SIGHUP:
            return QStringLiteral("终端已关闭，SIGHUP");
        case SIGPIPE:
            return QStringLiteral("标准输出的读取方已关闭，SIGPIPE");
    }
    return SignalName(signal);
}

StopSignals::StopSignals() {
    int fds[2];
    if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) return;
    g_stopWrite = fds[1];
    m_notifier = std::make_unique<QSocketNotifier>(fds[0], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this, fd = fds[0]] {
        char numbers[16];
        ssize_t count = 0;
        while ((count = ::read(fd, numbers, sizeof numbers)) > 0)
            for (ssize_t i = 0; i < count; ++i) emit Stop(numbers[i]);
    });
    struct sigaction action {};
    action.sa_handler = NoteStop;
    sigemptyset(&action.sa_mask);
    for (const int stop : kStopSignals) ::sigaction(stop, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    OnStdoutBroken([] { NoteStop(SIGPIPE); });
}

StopSignals::~StopSignals() {
    OnStdoutBroken(nullptr);
    for (const int stop : kStopSignals) std::signal(stop, SIG_DFL);
}

}  // namespace corvat::cli
