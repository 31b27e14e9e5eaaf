#include <chrono>
#include <limits>
#include <thread>

#include "protocol/download_status.h"
#include "protocol/identification.h"
#include "protocol/loader.h"
#include "protocol/page_frame.h"
#include "protocol/target_wire.h"

namespace corvat {

namespace {
// Counters stop at their top instead of wrapping into negatives after billions of answers.
void Increment(std::int32_t& counter) {
    if (counter < std::numeric_limits<std::int32_t>::max()) ++counter;
}
}  // namespace

void Loader::StartDownload() {
    if (m_state.PageSize <= 0) {
        m_view.ShowError(QStringLiteral("从机页大小未知，请重新联机后再下载。"));
        return;
    }
    const std::int32_t lastPage = LastPage(m_state.ImageLength, m_state.PageSize);
    // A page number travels in two bytes whose first must stay below FF, the end marker's byte;
    // refusing here, before "W", leaves the target untouched.
    if (lastPage > kMaxPageIndex) {
        m_view.ShowError(QStringLiteral("程序映像太大，无法下载：长度 %1 字节，按每页 %2 字节需 %3 页，"
                                        "超过下载上限 %4 页（%5 字节）。")
                             .arg(m_state.ImageLength)
                             .arg(m_state.PageSize)
                             .arg(std::int64_t{lastPage} + 1)
                             .arg(kMaxPageIndex + 1)
                             .arg(std::int64_t{kMaxPageIndex + 1} * m_state.PageSize));
        return;
    }
    m_state.LastPage = lastPage;
    m_wire.SendDownloadCommand();
    m_state.PageIndex = -1;
    m_state.ErrorCount = 0;
    m_state.ReplyLength = kSingleCharacterReply;
    m_state.StartTime = QDateTime::currentDateTime();
    m_view.SetEnabled(Control::cmdWrite, false);
    m_view.SetEnabled(Control::cmdExit, false);
}

void Loader::AcceptedPage() {
    m_state.ReplyLength = kSingleCharacterReply;
    Increment(m_state.PageIndex);
    SendPage(m_state.PageIndex);
    m_view.SetProgressText(ProgressBarText(ProgressGlyphCount(m_state.PageIndex, m_state.LastPage)));
    const QString elapsed = ElapsedText(ElapsedSeconds(m_state.StartTime, QDateTime::currentDateTime()));
    m_view.ShowMessage(AcceptedPageStatus(m_state.PageIndex, m_state.ErrorCount, elapsed));
}

void Loader::RejectedPage() {
    Increment(m_state.ErrorCount);
    m_state.ReplyLength = kSingleCharacterReply;
    SendPage(m_state.PageIndex);
    m_view.ShowMessage(RejectedPageStatus(m_state.PageIndex, m_state.ErrorCount));
}

void Loader::SendPage(std::int32_t pageIndex) {
    switch (m_wire.BeginPage(pageIndex, m_state.LastPage)) {
        case PageStep::kNothing:
            return;
        case PageStep::kEndMarker:
            m_view.SetEnabled(Control::cmdExit, true);
            return;
        case PageStep::kHeader:
            // The window's one thread waits here, as the original host did; replies wait in the link.
            std::this_thread::sleep_for(kHeaderToDataPause);
            m_wire.FinishPage(m_state.ImageData, m_state.ImageLength, pageIndex, m_state.PageSize);
            return;
    }
}

}  // namespace corvat
