#include "cli/flash_session.h"

#include "protocol/identification.h"
#include "protocol/page_frame.h"

namespace corvat::cli {

namespace {

QString HexText(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

}  // namespace

FlashSession::FlashSession(QString port, SerialLink& link, const QByteArray& image,
                           const SessionLimits& limits, FlashSink& sink)
    : m_port(std::move(port)), m_link(link), m_wire(link), m_image(image), m_limits(limits), m_sink(sink) {
    for (QTimer* timer : {&m_greetingTimer, &m_replyTimer, &m_pauseTimer}) timer->setSingleShot(true);
    // Coarse timers may fire a few milliseconds early or late; the pause must be neither short nor long.
    m_pauseTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_greetingTimer, &QTimer::timeout, this, [this] {
        Fail(FailReason::kGreetingTimeout, QStringLiteral("等待从机上电超时：%1 秒内没有收到从机的问候“>”。")
                                               .arg(m_greetingTimer.interval() / 1000.0));
    });
    connect(&m_replyTimer, &QTimer::timeout, this, [this] {
        const QString what = m_phase == Phase::kIdentifying ? QStringLiteral("识别码")
                             : m_pageIndex < 0              ? QStringLiteral("下载命令的应答")
                                               : QStringLiteral("第 %1 页的应答").arg(m_pageIndex);
        Fail(FailReason::kReplyTimeout,
             QStringLiteral("应答超时：%1 毫秒内没有收到%2。").arg(m_replyTimer.interval()).arg(what));
    });
    connect(&m_pauseTimer, &QTimer::timeout, this, &FlashSession::OnPauseOver);
    connect(&m_link, &SerialLink::DataArrived, this, &FlashSession::OnData);
    connect(&m_link, &SerialLink::AdapterGone, this, [this](const QString& error) {
        if (m_phase != Phase::kFinished) Fail(FailReason::kPortLost, error);
    });
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
    m_phase = Phase::kWaitingGreeting;
    m_pending.clear();
    m_replyTimer.stop();
    m_pauseTimer.stop();
    const auto limit = m_board == 0 ? m_limits.firstGreeting : m_limits.nextGreeting;
    if (limit.count() > 0) m_greetingTimer.start(limit);
}

void FlashSession::OnData() {
    m_pending += m_link.ReadAll();
    while (!m_pending.isEmpty()) {
        switch (m_phase) {
            case Phase::kFinished:
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
            case Phase::kAwaitingAnswer: {
                const char answer = m_pending.front();
                m_pending.remove(0, 1);
                OnAnswer(answer);
                break;
            }
            case Phase::kPausing:
                // Every page is acknowledged by now; whatever a target says to the end marker changes
                // nothing.
                if (m_releasing) {
                    m_pending.clear();
                    return;
                }
                Fail(FailReason::kUnexpectedReply,
                     QStringLiteral("从机在一页发完之前就应答了 %1，通信已失步。").arg(HexText(m_pending)));
                return;
        }
    }
}

void FlashSession::OnGreeting() {
    m_greetingTimer.stop();
    ++m_board;
    m_sink.Report(Event(FlashEvent::Type::kGreeted));
    m_wire.AnswerGreeting();
    m_phase = Phase::kIdentifying;
    ExpectReply();
}

void FlashSession::OnIdentification(const QByteArray& reply) {
    m_replyTimer.stop();
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
    if (m_image.size() > kind.capacity) {
        Fail(FailReason::kImageTooBig, QStringLiteral("映像有 %1 字节，超过从机容量 %2 字节，未开始下载。")
                                           .arg(m_image.size())
                                           .arg(kind.capacity));
        return;
    }
    m_pageSize = kind.pageSize;
    StartDownload();
}

void FlashSession::StartDownload() {
    m_lastPage = LastPage(static_cast<std::int32_t>(m_image.size()), m_pageSize);
    m_pageIndex = -1;
    m_pageResends = 0;
    m_boardResends = 0;
    m_releasing = false;
    m_downloadClock.start();
    m_wire.SendDownloadCommand();
    m_phase = Phase::kAwaitingAnswer;
    ExpectReply();
}

void FlashSession::OnAnswer(char answer) {
    m_replyTimer.stop();
    const bool accepted = answer == kPageAccepted;
    if (!accepted && answer != kPageRejected) {
        Fail(FailReason::kUnexpectedReply,
             QStringLiteral("等待页应答时收到意外的 %1，通信已失步。").arg(HexText(QByteArray(1, answer))));
        return;
    }
    FlashEvent event = Event(accepted ? FlashEvent::Type::kPageAccepted : FlashEvent::Type::kPageRejected);
    event.index = m_pageIndex;
    event.of = PageCount();
    if (accepted) {
        event.resends = m_pageResends;
        event.elapsedMs = m_downloadClock.elapsed();
        // The answer to the download command itself is no page.
        if (m_pageIndex >= 0) m_sink.Report(event);
        ++m_pageIndex;
        m_pageResends = 0;
    } else {
        event.resends = ++m_pageResends;
        ++m_boardResends;
        event.elapsedMs = m_downloadClock.elapsed();
        m_sink.Report(event);
        if (m_pageResends > m_limits.maxResends) {
            const QString what =
                m_pageIndex < 0 ? QStringLiteral("下载命令") : QStringLiteral("第 %1 页").arg(m_pageIndex);
            Fail(FailReason::kTooManyResends, QStringLiteral("%1被拒收 %2 次，超过上限 %3 次。")
                                                  .arg(what)
                                                  .arg(m_pageResends)
                                                  .arg(m_limits.maxResends));
            return;
        }
    }
    SendCurrent();
}

void FlashSession::SendCurrent() {
    // Unlike the window, which waits for the next "!" when its command is refused, the command goes again.
    if (m_pageIndex < 0) {
        m_wire.SendDownloadCommand();
        ExpectReply();
        return;
    }
    const PageStep step = m_wire.BeginPage(m_pageIndex, m_lastPage);
    m_releasing = step == PageStep::kEndMarker;
    m_phase = Phase::kPausing;
    m_pauseClock.start();
    m_pauseTimer.start(kHeaderToDataPause);
}

void FlashSession::OnPauseOver() {
    const auto elapsed = std::chrono::nanoseconds(m_pauseClock.nsecsElapsed());
    if (elapsed < kHeaderToDataPause) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(kHeaderToDataPause - elapsed);
        m_pauseTimer.start(left);
        return;
    }
    if (m_releasing) {
        Release();
        return;
    }
    m_wire.FinishPage(m_image, static_cast<std::int32_t>(m_image.size()), m_pageIndex, m_pageSize);
    m_phase = Phase::kAwaitingAnswer;
    ExpectReply();
}

void FlashSession::Release() {
    // The end marker has had the same pause as a header, so the target has left its download first.
    m_wire.SendRelease();
    ++m_done;
    FlashEvent event = Event(FlashEvent::Type::kDone);
    event.of = PageCount();
    event.resends = m_boardResends;
    event.elapsedMs = m_downloadClock.elapsed();
    m_sink.Report(event);
    if (m_limits.loop)
        WaitForBoard();
    else
        Finish();
}

void FlashSession::ExpectReply() {
    m_replyTimer.start(m_limits.reply);
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
    const bool portGoesOn = m_limits.loop && reason != FailReason::kPortLost &&
                            reason != FailReason::kInterrupted && reason != FailReason::kGreetingTimeout;
    if (portGoesOn)
        WaitForBoard();
    else
        Finish();
}

void FlashSession::Interrupt(const QString& cause) {
    if (m_phase == Phase::kFinished) return;
    // Between boards of a loop nothing is lost; anywhere else a board was left unflashed.
    if (m_phase == Phase::kWaitingGreeting && m_limits.loop) {
        Finish();
        return;
    }
    m_limits.loop = false;
    Fail(FailReason::kInterrupted, QStringLiteral("被中断（%1），该从机未下载完。").arg(cause));
}

void FlashSession::Finish() {
    m_phase = Phase::kFinished;
    m_greetingTimer.stop();
    m_replyTimer.stop();
    m_pauseTimer.stop();
    m_link.Close();
    emit SessionFinished();
}

}  // namespace corvat::cli
