#include "cli/flash_session.h"
#include "protocol/identification.h"

namespace corvat::cli {

void FlashSession::StartDownload() {
    const Result<QByteArray> command = m_flow.Start();
    if (!command) {
        Fail(FailReason::kImageTooBig, command.message());
        return;
    }
    m_pageResends = 0;
    m_endAnswers = 0;
    m_downloadClock.start();
    m_wire.Send(*command);
    m_phase = Phase::kAwaitingAnswer;
    m_replyWait.Start(m_limits.reply);
}

FlashEvent FlashSession::PageEvent(FlashEvent::Type type) const {
    FlashEvent event = Event(type);
    event.index = m_download.PageIndex;
    event.of = m_flow.PageCount();
    event.resends = m_pageResends;
    event.elapsedMs = m_downloadClock.elapsed();
    return event;
}

QString FlashSession::PageText() const {
    if (!m_flow.CommandAnswered()) return QStringLiteral("下载命令");
    if (m_flow.Ended()) return QStringLiteral("结束标记");
    return QStringLiteral("第 %1 页").arg(m_download.PageIndex);
}

void FlashSession::OnDownloadByte(char byte) {
    if (byte == kGreeting) {
        // The board has restarted: what it holds is unknown, and its greeting opens the next board.
        const QString page = PageText();
        Fail(FailReason::kBoardReset,
             QStringLiteral("从机在下载中重新启动了（在%1时收到“>”），该从机未下载完。").arg(page));
        if (m_phase == Phase::kWaitingGreeting) OnGreeting();
        return;
    }
    switch (m_phase) {
        case Phase::kPausing:
            // The data frame has not gone out yet, so this answers nothing that was sent.
            Fail(FailReason::kUnexpectedReply,
                 QStringLiteral("%1的数据帧发出之前，从机就应答了 %2，通信已失步。")
                     .arg(PageText(), HexText(byte)));
            return;
        case Phase::kConfirming:
            OnConfirmingByte(byte);
            return;
        default:
            OnAnswer(byte);
            return;
    }
}

void FlashSession::OnAnswer(char answer) {
    if (answer == kPageRejected) {
        OnRejected();
        return;
    }
    if (answer != kPageAccepted) {
        Fail(
            FailReason::kUnexpectedReply,
            QStringLiteral("等待%1的应答时收到意外的字节 %2，通信已失步。").arg(PageText(), HexText(answer)));
        return;
    }
    m_replyWait.Stop();
    // The answer to the download command itself is no page.
    if (m_flow.CommandAnswered()) m_sink.Report(PageEvent(FlashEvent::Type::kPageAccepted));
    m_pageResends = 0;
    SendOut(m_flow.Accepted());
}

void FlashSession::OnRejected() {
    const Outgoing again = m_flow.Rejected();
    ++m_pageResends;
    m_sink.Report(PageEvent(FlashEvent::Type::kPageRejected));
    if (m_pageResends > m_limits.maxResends) {
        Fail(FailReason::kTooManyResends, QStringLiteral("%1被拒收 %2 次，超过上限 %3 次。")
                                              .arg(PageText())
                                              .arg(m_pageResends)
                                              .arg(m_limits.maxResends));
        return;
    }
    // A refused download command is not repeated, as the window does not repeat it: the target would
    // read a second "W" as the first byte of a page header. The wait for its answer and its time-out go on.
    if (again.kind == Outgoing::Kind::kNothing) return;
    m_replyWait.Stop();
    SendOut(again);
}

void FlashSession::SendOut(const Outgoing& out) {
    m_pacer.Send(out);
    if (out.kind == Outgoing::Kind::kEndMarker) {
        m_phase = Phase::kConfirming;
        m_quietWait.Start(std::min(kEndMarkerQuiet, m_limits.reply));
        return;
    }
    m_phase = Phase::kPausing;
}

void FlashSession::OnFrameSent() {
    m_phase = Phase::kAwaitingAnswer;
    m_replyWait.Start(m_limits.reply);
}

void FlashSession::OnConfirmingByte(char byte) {
    // One "!" is a target that answers the end marker. Anything more is an answer left over from a frame
    // this side took for answered: some page may not be in the board.
    if (byte == kPageAccepted && m_endAnswers == 0) {
        ++m_endAnswers;
        return;
    }
    if (byte == kPageAccepted || byte == kPageRejected) {
        Fail(
            FailReason::kUnconfirmed,
            QStringLiteral("结束标记之后从机又应答了 %1：有一页未得到确认，从机未释放。").arg(HexText(byte)));
        return;
    }
    Fail(FailReason::kUnexpectedReply,
         QStringLiteral("结束标记之后收到意外的字节 %1，从机未释放。").arg(HexText(byte)));
}

void FlashSession::Release() {
    m_wire.SendRelease();
    ++m_done;
    FlashEvent event = Event(FlashEvent::Type::kDone);
    event.of = m_flow.PageCount();
    event.resends = m_download.ErrorCount;
    event.elapsedMs = m_downloadClock.elapsed();
    m_sink.Report(event);
    if (m_limits.loop)
        WaitForBoard();
    else
        Finish();
}

}  // namespace corvat::cli
