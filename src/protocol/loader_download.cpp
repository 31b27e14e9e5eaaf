#include "protocol/download_status.h"
#include "protocol/loader.h"

namespace corvat {

void Loader::StartDownload() {
    const Result<QByteArray> command = m_flow.Start();
    if (!command) {
        m_view.ShowError(command.message());
        return;
    }
    m_wire.Send(*command);
    m_state.ReplyLength = kSingleCharacterReply;
    m_state.StartTime = QDateTime::currentDateTime();
    m_view.SetEnabled(Control::cmdWrite, false);
    m_view.SetEnabled(Control::cmdExit, false);
}

void Loader::AcceptedPage() {
    m_state.ReplyLength = kSingleCharacterReply;
    SendPage(m_flow.Accepted());
    m_view.SetProgressText(ProgressBarText(ProgressGlyphCount(m_state.PageIndex, m_state.LastPage)));
    const QString elapsed = ElapsedText(ElapsedSeconds(m_state.StartTime, QDateTime::currentDateTime()));
    m_view.ShowMessage(AcceptedPageStatus(m_state.PageIndex, m_state.ErrorCount, elapsed));
}

void Loader::RejectedPage() {
    const Outgoing again = m_flow.Rejected();
    m_state.ReplyLength = kSingleCharacterReply;
    SendPage(again);
    m_view.ShowMessage(RejectedPageStatus(m_state.PageIndex, m_state.ErrorCount));
}

void Loader::SendPage(const Outgoing& out) {
    // The window's one thread waits out a page's pause, as the original host did; replies wait in the link.
    m_pacer.Send(out);
    if (out.kind == Outgoing::Kind::kEndMarker) m_view.SetEnabled(Control::cmdExit, true);
}

}  // namespace corvat
