#include "cli/json_printer.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace corvat::cli {

namespace {

QString TypeKey(FlashEvent::Type type) {
    switch (type) {
        case FlashEvent::Type::kOpened:
            return QStringLiteral("opened");
        case FlashEvent::Type::kGreeted:
            return QStringLiteral("greeted");
        case FlashEvent::Type::kIdentified:
            return QStringLiteral("identified");
        case FlashEvent::Type::kPageAccepted:
            return QStringLiteral("page_accepted");
        case FlashEvent::Type::kPageRejected:
            return QStringLiteral("page_rejected");
        case FlashEvent::Type::kDone:
            return QStringLiteral("done");
        case FlashEvent::Type::kFailed:
            return QStringLiteral("failed");
    }
    return QStringLiteral("unknown");
}

void Print(std::FILE* out, const QJsonObject& object) {
    WriteOut(out, QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n');
}

}  // namespace

void JsonPrinter::Report(const FlashEvent& event) {
    QJsonObject object{{QStringLiteral("event"), TypeKey(event.type)}, {QStringLiteral("port"), event.port}};
    // Every event after the port's opening belongs to a board.
    if (event.type != FlashEvent::Type::kOpened) object.insert(QStringLiteral("board"), event.board);
    switch (event.type) {
        case FlashEvent::Type::kOpened:
            object.insert(QStringLiteral("device"), event.device);
            break;
        case FlashEvent::Type::kGreeted:
            break;
        case FlashEvent::Type::kIdentified:
            object.insert(QStringLiteral("kind"), event.kind);
            object.insert(QStringLiteral("capacity"), event.capacity);
            object.insert(QStringLiteral("page_size"), event.pageSize);
            object.insert(QStringLiteral("version"), event.version);
            break;
        case FlashEvent::Type::kPageAccepted:
        case FlashEvent::Type::kPageRejected:
            object.insert(QStringLiteral("index"), event.index);
            object.insert(QStringLiteral("of"), event.of);
            object.insert(QStringLiteral("resends"), event.resends);
            object.insert(QStringLiteral("elapsed_ms"), static_cast<qint64>(event.elapsedMs));
            break;
        case FlashEvent::Type::kDone:
            object.insert(QStringLiteral("pages"), event.of);
            object.insert(QStringLiteral("resends"), event.resends);
            object.insert(QStringLiteral("elapsed_ms"), static_cast<qint64>(event.elapsedMs));
            break;
        case FlashEvent::Type::kFailed:
            object.insert(QStringLiteral("reason"), ReasonKey(event.reason));
            object.insert(QStringLiteral("message"), event.message);
            break;
    }
    Print(m_out, object);
}

void JsonPrinter::Finish(const FlashSummary& summary) {
    QJsonObject object{{QStringLiteral("event"), QStringLiteral("summary")},
                       {QStringLiteral("done"), summary.done},
                       {QStringLiteral("failed"), summary.failed},
                       {QStringLiteral("interrupted"), summary.interrupted},
                       {QStringLiteral("elapsed_ms"), static_cast<qint64>(summary.elapsedMs)}};
    if (!summary.traceError.isEmpty()) object.insert(QStringLiteral("trace_error"), summary.traceError);
    Print(m_out, object);
}

}  // namespace corvat::cli
