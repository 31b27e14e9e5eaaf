#pragma once

#include <QStringList>

#include "cli/flash_event.h"
#include "protocol/page_frame.h"
#include "support/memory_link.h"
#include "support/virtual_target.h"

namespace corvat::test {

// What the sessions reported, as words: "done 1", "failed 1 board_reset", "waiting_port", "port_back".
class RecordingSink : public cli::FlashSink {
  public:
    void Report(const cli::FlashEvent& event) override {
        using Type = cli::FlashEvent::Type;
        events << event;
        if (event.type == Type::kDone) outcomes << QStringLiteral("done %1").arg(event.board);
        if (event.type == Type::kFailed)
            outcomes << QStringLiteral("failed %1 %2").arg(event.board).arg(cli::ReasonKey(event.reason));
        if (event.type == Type::kWaitingPort) outcomes << QStringLiteral("waiting_port");
        if (event.type == Type::kPortBack) outcomes << QStringLiteral("port_back");
    }
    void Finish(const cli::FlashSummary&) override {}

    QList<cli::FlashEvent> events;
    QStringList outcomes;
};

// The writes as words: "W", "<", "E", "H1" (header of page 1), "F1" (its data frame), "M" (end marker).
inline QStringList Words(const QList<QByteArray>& writes, const QByteArray& image, int pageSize) {
    QStringList words;
    for (const QByteArray& bytes : writes) {
        QString word = bytes == EndMarker() ? QStringLiteral("M") : QString::fromLatin1(bytes);
        for (int page = 0; page * pageSize < image.size(); ++page) {
            if (bytes == PageHeader(page)) word = QStringLiteral("H%1").arg(page);
            if (bytes == DataFrame(image, static_cast<std::int32_t>(image.size()), page, pageSize))
                word = QStringLiteral("F%1").arg(page);
        }
        words << word;
    }
    return words;
}

// A page header is out and its data frame is not: the one moment no answer may come.
inline bool HeaderPending(const MemoryLink& link) {
    return !link.writes.isEmpty() && link.writes.last().size() == kHeaderLength &&
           static_cast<std::uint8_t>(link.writes.last().at(0)) != kEndMarkerByte;
}

}  // namespace corvat::test
