#pragma once

#include <QByteArray>
#include <chrono>
#include <cstdint>
#include <optional>

#include "protocol/identification.h"
#include "serial/serial_link.h"

namespace corvat {

// The target needs this long after a page header before the data frame follows.
constexpr std::chrono::milliseconds kHeaderToDataPause{5};

// What a whole reply from the target means on the wire. The window compares the whole text it read;
// the command line hands over one byte at a time.
enum class Reply { kGreeting, kPageAccepted, kPageRejected, kTargetExit, kOther };
Reply ClassifyReply(const QByteArray& reply);

// The identification as the wire carries it: a kind from the first character, and whether the third
// names the one boot-loader version served. A kind is known even when the version is refused.
struct Identification {
    std::optional<TargetKind> kind;
    bool versionAccepted = false;
    char versionLetter = '\0';
    bool Accepted() const { return kind && versionAccepted; }
};
Identification ReadIdentification(const QByteArray& reply);

// What the first half of a page step put on the line.
enum class PageStep { kNothing, kHeader, kEndMarker };

// The loader's side of the wire, one message per write. A page goes out in two halves so that each
// front end can wait kHeaderToDataPause between them its own way: the window blocks its thread, as the
// boot loader's original host did; the command line keeps serving its other ports meanwhile.
class TargetWire {
  public:
    explicit TargetWire(SerialLink& link) : m_link(link) {}

    void AnswerGreeting();
    void SendDownloadCommand();
    // A negative index sends nothing; past lastPage, the end marker; otherwise the page's header.
    PageStep BeginPage(std::int32_t pageIndex, std::int32_t lastPage);
    // The data frame that follows the header of BeginPage, after the pause.
    void FinishPage(const QByteArray& image, std::int32_t imageLength, std::int32_t pageIndex,
                    std::int32_t pageSize);
    void SendRelease();

  private:
    SerialLink& m_link;
};

}  // namespace corvat
