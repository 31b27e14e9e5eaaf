#include "cli/flash_session.h"

#include "protocol/identification.h"

namespace corvat::cli {

FlashSession::FlashSession(QString port, PortRequest request, SerialLink& link, const QByteArray& image,
                           const SessionLimits& limits, FlashSink& sink)
    : m_port(std::move(port)),
      m_request(std::move(request)),
      m_link(link),
      m_wire(link),
      m_pacer(link),
      m_limits(limits),
      m_sink(sink) {
    m_download.ImageData = image;
    m_download.ImageLength = static_cast<std::int32_t>(image.size());
    m_portRetry.setInterval(kPortRetry);
    m_portRetry.setTimerType(Qt::PreciseTimer);  // a coarse timer may come early: never more often
    connect(&m_greetingWait, &Deadline::Expired, this, [this] {
        Fail(FailReason::kGreetingTimeout, QStringLiteral("等待从机上电超时：%1 秒内没有收到从机的问候“>”。")
                                               .arg(m_greetingWait.Limit().count() / 1000.0));
    });
    connect(&m_replyWait, &Deadline::Expired, this, &FlashSession::OnReplyTimeout);
    connect(&m_quietWait, &Deadline::Expired, this, &FlashSession::Release);
    connect(&m_pacer, &TimedPacer::FrameSent, this, &FlashSession::OnFrameSent);
    connect(&m_portRetry, &QTimer::timeout, this, &FlashSession::TryPort);
    connect(&m_link, &SerialLink::DataArrived, this, &FlashSession::OnData);
    connect(&m_link, &SerialLink::AdapterGone, this, &FlashSession::OnAdapterGone);
}

FlashEvent FlashSession::Event(FlashEvent::Type type) const {
    FlashEvent event;
    event.type = type;
    event.port = m_port;
    event.board = m_board;
    return event;
}

void FlashSession::Start() {
    WaitForBoard();
}

void FlashSession::WaitForBoard() {
    StopWaits();
    m_phase = Phase::kWaitingGreeting;
    const auto limit = m_board == 0 ? m_limits.firstGreeting : m_limits.nextGreeting;
    if (limit.count() > 0) m_greetingWait.Start(limit);
}

void FlashSession::OnData() {
    m_pending += m_link.ReadAll();
    while (!m_pending.isEmpty()) {
        switch (m_phase) {
            case Phase::kFinished:
            case Phase::kWaitingPort:
                m_pending.clear();
                return;
            case Phase::kWaitingGreeting: {
                // Whatever a board sends while it powers up, only its last character can be the greeting.
                const bool greeted = m_pending.endsWith(kGreeting);
                m_pending.clear();
                if (greeted) OnGreeting();
                return;
            }
            case Phase::kIdentifying: {
                if (m_pending.size() < kIdentificationLength) return;
                const QByteArray reply = m_pending;
                m_pending.clear();
                OnIdentification(reply);
                return;
            }
            case Phase::kAwaitingAnswer:
            case Phase::kPausing:
            case Phase::kConfirming: {
                // One byte at a time: each answer is matched to the one frame it can answer.
                const char byte = m_pending.front();
                m_pending.remove(0, 1);
                OnDownloadByte(byte);
                break;
            }
        }
    }
}

void FlashSession::OnGreeting() {
    m_greetingWait.Stop();
    ++m_board;
    m_sink.Report(Event(FlashEvent::Type::kGreeted));
    m_wire.AnswerGreeting();
    m_phase = Phase::kIdentifying;
    m_replyWait.Start(m_limits.reply);
}

void FlashSession::OnIdentification(const QByteArray& reply) {
    m_replyWait.Stop();
    const Identification identification = ReadIdentification(reply);
    if (!identification.Accepted()) {
        Fail(FailReason::kUnknownKind,
             QStringLiteral("从机的识别码 %1 不是已知的从机类型。").arg(HexText(reply)));
        return;
    }
    const TargetKind& kind = *identification.kind;
    FlashEvent event = Event(FlashEvent::Type::kIdentified);
    event.kind = reply.at(0) - '0';
    event.capacity = kind.capacity;
    event.pageSize = kind.pageSize;
    event.version = VersionNumberText(identification.versionLetter);
    m_sink.Report(event);
    if (m_limits.kind && *m_limits.kind != event.kind) {
        Fail(FailReason::kWrongKind, QStringLiteral("从机类型为 %1，而 --kind 要求 %2，未开始下载。")
                                         .arg(event.kind)
                                         .arg(*m_limits.kind));
        return;
    }
    if (m_download.ImageLength > kind.capacity) {
        Fail(FailReason::kImageTooBig, QStringLiteral("映像有 %1 字节，超过从机容量 %2 字节，未开始下载。")
                                           .arg(m_download.ImageLength)
                                           .arg(kind.capacity));
        return;
    }
    m_download.PageSize = kind.pageSize;
    StartDownload();
}

void FlashSession::OnReplyTimeout() {
    const QString what = m_phase == Phase::kIdentifying ? QStringLiteral("识别码")
                                                        : QStringLiteral("%1的应答").arg(PageText());
    Fail(FailReason::kReplyTimeout,
         QStringLiteral("应答超时：%1 毫秒内没有收到%2。").arg(m_replyWait.Limit().count()).arg(what));
}

void FlashSession::OnAdapterGone(const QString& error) {
    if (m_phase == Phase::kFinished || m_phase == Phase::kWaitingPort) return;
    // Between boards of a loop nothing is lost: the port waits for its adapter to come back.
    if (m_phase == Phase::kWaitingGreeting && m_limits.loop) {
        WaitForPort(error);
        return;
    }
    Fail(FailReason::kPortLost, error);
}

void FlashSession::WaitForPort(const QString& error) {
    StopWaits();
    m_phase = Phase::kWaitingPort;
    m_pending.clear();
    FlashEvent event = Event(FlashEvent::Type::kWaitingPort);
    event.message = error;
    m_sink.Report(event);
    m_portRetry.start();
}

void FlashSession::TryPort() {
    if (!m_link.Open(m_request)) return;
    m_portRetry.stop();
    FlashEvent event = Event(FlashEvent::Type::kPortBack);
    event.device = m_request.device;
    m_sink.Report(event);
    WaitForBoard();
}

void FlashSession::Fail(FailReason reason, const QString& message) {
    ++m_failed;
    FlashEvent event = Event(FlashEvent::Type::kFailed);
    // A port that fails before any board greets it fails for the board it was waiting for.
    if (m_phase == Phase::kWaitingGreeting) event.board = m_board + 1;
    event.reason = reason;
    event.message = message;
    m_sink.Report(event);
    // A failed board is never released: it would run a program that is half written or not meant for it.
    if (reason == FailReason::kPortLost && m_limits.loop) {
        WaitForPort(message);
        return;
    }
    const bool portGoesOn =
        m_limits.loop && reason != FailReason::kInterrupted && reason != FailReason::kGreetingTimeout;
    if (portGoesOn)
        WaitForBoard();
    else
        Finish();
}

void FlashSession::Interrupt(const QString& cause) {
    if (m_phase == Phase::kFinished) return;
    // Between boards of a loop nothing is lost; anywhere else a board was left unflashed.
    if ((m_phase == Phase::kWaitingGreeting || m_phase == Phase::kWaitingPort) && m_limits.loop) {
        Finish();
        return;
    }
    m_limits.loop = false;
    Fail(FailReason::kInterrupted, QStringLiteral("被中断（%1），该从机未下载完。").arg(cause));
}

void FlashSession::StopWaits() {
    m_greetingWait.Stop();
    m_replyWait.Stop();
    m_quietWait.Stop();
    m_pacer.Cancel();
    m_portRetry.stop();
}

void FlashSession::Finish() {
    m_phase = Phase::kFinished;
    StopWaits();
    m_link.Close();
    emit SessionFinished();
}

}  // namespace corvat::cli
