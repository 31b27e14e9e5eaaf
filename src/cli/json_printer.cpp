#include "cli/json_printer.h"

#include <QJsonArray>
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
        case FlashEvent::Type::kWaitingPort:
            return QStringLiteral("waiting_port");
        case FlashEvent::Type::kPortBack:
            return QStringLiteral("port_back");
    }
    return QStringLiteral("unknown");
}

void Print(std::FILE* out, QJsonObject object) {
    object.insert(QStringLiteral("time"), UtcTimeText());
    WriteOut(out, QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n');
}

}  // namespace

void JsonPrinter::Report(const FlashEvent& event) {
    QJsonObject object{{QStringLiteral("event"), TypeKey(event.type)}, {QStringLiteral("port"), event.port}};
    // Every event after the port's opening belongs to a board.
    if (event.type != FlashEvent::Type::kOpened) object.insert(QStringLiteral("board"), event.board);
    switch (event.type) {
        case FlashEvent::Type::kOpened:
        case FlashEvent::Type::kPortBack:
            object.insert(QStringLiteral("device"), event.device);
            break;
        case FlashEvent::Type::kWaitingPort:
            object.insert(QStringLiteral("message"), event.message);
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

void JsonPrinter::Start(const FlashOptions& options, const ImageFacts& image) {
    const QJsonObject limits{
        {QStringLiteral("greeting_timeout_s"), static_cast<qint64>(options.greetingTimeout.count())},
        {QStringLiteral("greeting_timeout_given"), options.greetingTimeoutGiven},
        {QStringLiteral("reply_timeout_ms"), static_cast<qint64>(options.replyTimeout.count())},
        {QStringLiteral("max_resends"), options.maxResends},
        {QStringLiteral("kind"), options.kind ? QJsonValue(*options.kind) : QJsonValue()},
        {QStringLiteral("loop"), options.loop}};
    Print(m_out, QJsonObject{{QStringLiteral("event"), QStringLiteral("start")},
                             {QStringLiteral("schema"), kJsonSchemaVersion},
                             {QStringLiteral("program"), QStringLiteral("corvat-flash")},
                             {QStringLiteral("version"), QStringLiteral(CORVAT_VERSION)},
                             {QStringLiteral("image"), image.name},
                             {QStringLiteral("image_size"), image.size},
                             {QStringLiteral("image_sha256"), image.sha256},
                             {QStringLiteral("image_bytes"), image.bytes},
                             {QStringLiteral("ports"), QJsonArray::fromStringList(options.ports)},
                             {QStringLiteral("limits"), limits}});
}

void JsonPrinter::Finish(const FlashSummary& summary) {
    QJsonObject object{{QStringLiteral("event"), QStringLiteral("summary")},
                       {QStringLiteral("done"), summary.done},
                       {QStringLiteral("failed"), summary.failed},
                       {QStringLiteral("interrupted"), summary.interrupted},
                       {QStringLiteral("elapsed_ms"), static_cast<qint64>(summary.elapsedMs)}};
    if (!summary.signal.isEmpty()) object.insert(QStringLiteral("signal"), summary.signal);
    if (!summary.traceError.isEmpty()) object.insert(QStringLiteral("trace_error"), summary.traceError);
    Print(m_out, object);
}

void JsonPrinter::Error(const QString& reason, const QString& message) {
    Print(m_out, QJsonObject{{QStringLiteral("event"), QStringLiteral("error")},
                             {QStringLiteral("reason"), reason},
                             {QStringLiteral("message"), message}});
}

}  // namespace corvat::cli
