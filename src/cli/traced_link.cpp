#include "cli/traced_link.h"

#include <QFile>

namespace corvat::cli {

namespace {

std::string Text(const QString& text) {
    return text.toStdString();
}

std::string Number(std::int64_t value) {
    return std::to_string(value);
}

}  // namespace

Result<> StartTrace(TraceLog& trace, const QString& path, const ImageFacts& image, const QStringList& ports) {
    std::string error;
    const int fd = trace::OpenTraceFile(QFile::encodeName(path).toStdString(), &error);
    if (fd < 0)
        return Fail(FailureCode::kIo,
                    QStringLiteral("无法写入跟踪文件 %1：%2").arg(path, QString::fromStdString(error)));
    trace.Attach(fd);
    trace::Header header;
    header.program = "corvat-flash";
    header.programVersion = CORVAT_VERSION;
    header.image = Text(image.name);
    header.imageSize = image.size;
    header.imageSha256 = Text(image.sha256);
    for (const QString& port : ports) header.ports.push_back(Text(port));
    trace.WriteHeader(header);
    return {};
}

void TraceNotes::Report(const FlashEvent& event) {
    const std::string port = Text(event.port);
    const trace::Fields board{{"board", Number(event.board)}};
    switch (event.type) {
        case FlashEvent::Type::kOpened:
            m_trace.Note(port, "open", {{"device", Text(event.device)}});
            break;
        case FlashEvent::Type::kGreeted:
            m_trace.Note(port, "power-on", board);
            break;
        case FlashEvent::Type::kIdentified:
            m_trace.Note(port, "identified",
                         {{"board", Number(event.board)},
                          {"kind", Number(event.kind)},
                          {"capacity", Number(event.capacity)},
                          {"version", Text(event.version)}});
            break;
        case FlashEvent::Type::kPageAccepted:
        case FlashEvent::Type::kPageRejected:
            break;  // the bytes say it
        case FlashEvent::Type::kDone:
            m_trace.Note(port, "done",
                         {{"board", Number(event.board)},
                          {"pages", Number(event.of)},
                          {"resends", Number(event.resends)}});
            break;
        case FlashEvent::Type::kWaitingPort:
            m_trace.Note(port, "waiting-port", board);
            break;
        case FlashEvent::Type::kPortBack:
            m_trace.Note(port, "port-back", {{"board", Number(event.board)}, {"device", Text(event.device)}});
            break;
        case FlashEvent::Type::kFailed: {
            const std::string reason = Text(ReasonKey(event.reason));
            if (event.reason == FailReason::kGreetingTimeout || event.reason == FailReason::kReplyTimeout)
                m_trace.Note(port, "timeout", {{"board", Number(event.board)}, {"reason", reason}});
            m_trace.Note(
                port, "failed",
                {{"board", Number(event.board)}, {"reason", reason}, {"message", Text(event.message)}});
            break;
        }
    }
}

void TraceNotes::Finish(const FlashSummary& summary) {
    m_trace.Note(trace::kNoPort, "end",
                 {{"done", Number(summary.done)},
                  {"failed", Number(summary.failed)},
                  {"interrupted", summary.interrupted ? "yes" : "no"}});
}

}  // namespace corvat::cli
