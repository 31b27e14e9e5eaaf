#include "protocol/target_wire.h"

#include "protocol/page_frame.h"

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

void TargetWire::SendDownloadCommand() {
    m_link.WriteText(QString(QLatin1Char(kDownloadCommand)));
}

PageStep TargetWire::BeginPage(std::int32_t pageIndex, std::int32_t lastPage) {
    if (pageIndex < 0) return PageStep::kNothing;
    if (pageIndex > lastPage) {
        m_link.WriteBytes(EndMarker());
        return PageStep::kEndMarker;
    }
    m_link.WriteBytes(PageHeader(pageIndex));
    return PageStep::kHeader;
}

void TargetWire::FinishPage(const QByteArray& image, std::int32_t imageLength, std::int32_t pageIndex,
                            std::int32_t pageSize) {
    m_link.WriteBytes(DataFrame(image, imageLength, pageIndex, pageSize));
}

void TargetWire::SendRelease() {
    m_link.WriteText(QString(QLatin1Char(kReleaseCommand)));
}

}  // namespace corvat
