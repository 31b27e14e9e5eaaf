#pragma once

#include <QByteArray>
#include <cstdint>

#include "platform/result.h"

namespace corvat {

// Where a download stands. The window keeps it in LoaderState, the command line one per port; the page
// arithmetic is held in 32 bits, since the 16-bit originals overflow beyond 32768-byte images.
struct DownloadState {
    QByteArray ImageData;  // the flat image, offset k at index k
    std::int32_t ImageLength = 0;
    std::int16_t PageSize = 0;    // 64 or 128, set by the identification
    std::int32_t PageIndex = 0;   // page last sent; -1 before the first
    std::int32_t ErrorCount = 0;  // "@" answers in this download
    std::int32_t LastPage = 0;    // page holding the image's last byte; -1 for an empty image
};

// What goes on the line after an answer: nothing, the end marker, or a page, whose data frame must
// follow its header kHeaderToDataPause later.
struct Outgoing {
    enum class Kind { kNothing, kPage, kEndMarker };
    Kind kind = Kind::kNothing;
    std::int32_t page = -1;
    QByteArray first;  // the page header, or the end marker
    QByteArray frame;  // kPage: the data frame
};

// The page download without I/O: told what the target answered, it moves the position on and says
// what to send. Both front ends drive it, each moving the bytes and the time its own way.
class PageFlow {
  public:
    explicit PageFlow(DownloadState& state) : m_state(state) {}

    // Takes LastPage from the image and forgets the previous download; hands back the download
    // command's bytes. Refused, with nothing changed, when the page size is unknown or the image needs
    // more pages than a header can number.
    Result<QByteArray> Start();
    Outgoing Accepted();  // "!": the next page, or the end marker past the last
    Outgoing Rejected();  // "@": the same page again; nothing while the command itself is unanswered
    Outgoing PageOut(std::int32_t pageIndex) const;

    bool CommandAnswered() const { return m_state.PageIndex >= 0; }
    bool Ended() const { return m_state.PageIndex > m_state.LastPage; }
    std::int32_t PageCount() const { return m_state.LastPage + 1; }
    const DownloadState& State() const { return m_state; }

  private:
    DownloadState& m_state;
};

}  // namespace corvat
