#include "protocol/target_wire.h"

namespace corvat {

Reply ClassifyReply(const QByteArray& reply) {
    if (reply.size() != 1) return Reply::kOther;
    switch (reply.at(0)) {
        case kGreeting:
            return Reply::kGreeting;
        case kPageAccepted:
            return Reply::kPageAccepted;
        case kPageRejected:
            return Reply::kPageRejected;
        case kTargetExit:
            return Reply::kTargetExit;
        default:
            return Reply::kOther;
    }
}

Identification ReadIdentification(const QByteArray& reply) {
    Identification identification;
    identification.kind = TargetKindFor(reply.isEmpty() ? '\0' : reply.at(0));
    if (reply.size() >= kIdentificationLength) identification.versionLetter = reply.at(2);
    identification.versionAccepted = identification.versionLetter == kAcceptedVersionLetter;
    return identification;
}

void TargetWire::AnswerGreeting() {
    m_link.WriteText(QString(QLatin1Char(kGreetingAnswer)));
}

void TargetWire::SendRelease() {
    m_link.WriteText(QString(QLatin1Char(kReleaseCommand)));
}

}  // namespace corvat
