#pragma once

#include <QByteArray>
#include <optional>

#include "protocol/identification.h"
#include "serial/serial_link.h"

namespace corvat {

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

// The loader's side of the handshake on the wire, one message per write; the pages go out through
// a PagePacer.
class TargetWire {
  public:
    explicit TargetWire(SerialLink& link) : m_link(link) {}

    void AnswerGreeting();
    void Send(const QByteArray& bytes) { m_link.WriteBytes(bytes); }
    void SendRelease();

  private:
    SerialLink& m_link;
};

}  // namespace corvat
