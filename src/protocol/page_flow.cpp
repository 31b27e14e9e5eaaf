#include "protocol/page_flow.h"

#include <QString>
#include <limits>

#include "protocol/page_frame.h"

namespace corvat {

namespace {
// Counters stop at their top instead of wrapping into negatives after billions of answers.
void Increment(std::int32_t& counter) {
    if (counter < std::numeric_limits<std::int32_t>::max()) ++counter;
}
}  // namespace

Result<QByteArray> PageFlow::Start() {
    if (m_state.PageSize <= 0)
        return Fail(FailureCode::kInvalid, QStringLiteral("从机页大小未知，请重新联机后再下载。"));
    const std::int32_t lastPage = LastPage(m_state.ImageLength, m_state.PageSize);
    // A page number travels in two bytes whose first must stay below FF, the end marker's byte;
    // refusing here, before "W", leaves the target untouched.
    if (lastPage > kMaxPageIndex) {
        return Fail(FailureCode::kTooLarge,
                    QStringLiteral("程序映像太大，无法下载：长度 %1 字节，按每页 %2 字节需 %3 页，"
                                   "超过下载上限 %4 页（%5 字节）。")
                        .arg(m_state.ImageLength)
                        .arg(m_state.PageSize)
                        .arg(std::int64_t{lastPage} + 1)
                        .arg(kMaxPageIndex + 1)
                        .arg(std::int64_t{kMaxPageIndex + 1} * m_state.PageSize));
    }
    m_state.LastPage = lastPage;
    m_state.PageIndex = -1;
    m_state.ErrorCount = 0;
    return QByteArray(1, kDownloadCommand);
}

Outgoing PageFlow::Accepted() {
    Increment(m_state.PageIndex);
    return PageOut(m_state.PageIndex);
}

Outgoing PageFlow::Rejected() {
    Increment(m_state.ErrorCount);
    return PageOut(m_state.PageIndex);
}

Outgoing PageFlow::PageOut(std::int32_t pageIndex) const {
    Outgoing out;
    out.page = pageIndex;
    if (pageIndex < 0) return out;
    if (pageIndex > m_state.LastPage) {
        out.kind = Outgoing::Kind::kEndMarker;
        out.first = EndMarker();
        return out;
    }
    out.kind = Outgoing::Kind::kPage;
    out.first = PageHeader(pageIndex);
    out.frame = DataFrame(m_state.ImageData, m_state.ImageLength, pageIndex, m_state.PageSize);
    return out;
}

}  // namespace corvat
