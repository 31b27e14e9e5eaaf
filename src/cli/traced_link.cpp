#include "cli/traced_link.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "image/image_file.h"
#include "serial/port_names.h"

namespace corvat::cli {

namespace {

// Where a path leads, also for a file that does not exist yet.
QString Resolved(const QString& path) {
    const QFileInfo info(path);
    if (info.exists()) return info.canonicalFilePath();
    const QString folder = info.absoluteDir().canonicalPath();
    return folder.isEmpty() ? info.absoluteFilePath() : folder + QLatin1Char('/') + info.fileName();
}

// One file under two names (a hard link) is the same file too.
bool SameFile(const QString& a, const QString& b) {
    struct stat first {};
    struct stat second {};
    if (::stat(QFile::encodeName(a).constData(), &first) != 0) return false;
    if (::stat(QFile::encodeName(b).constData(), &second) != 0) return false;
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

bool Names(const QString& trace, const QString& other) {
    return Resolved(trace) == Resolved(other) || SameFile(trace, other);
}

std::string Text(const QString& text) {
    return text.toStdString();
}

std::string Number(std::int64_t value) {
    return std::to_string(value);
}

}  // namespace

Result<> CheckTracePath(const QString& path, const QString& image, const QStringList& ports,
                        const QString& appDir) {
    if (path.isEmpty()) return Fail(FailureCode::kInvalid, QStringLiteral("--trace 的文件名为空。"));
    if (Names(path, image))
        return Fail(FailureCode::kUnsafe,
                    QStringLiteral("跟踪文件 %1 就是映像文件：写入跟踪会毁掉映像。").arg(path));
    for (const QString& port : ports) {
        const Result<PortRequest> request = PortRequestFor(port, appDir);
        if (request && Names(path, request->device))
            return Fail(FailureCode::kUnsafe,
                        QStringLiteral("跟踪文件 %1 就是串口 %2 的设备：跟踪会写进线路。").arg(path, port));
    }
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0) return {};  // made when the run starts
    if (S_ISLNK(info.st_mode))
        return Fail(FailureCode::kUnsafe,
                    QStringLiteral("跟踪文件 %1 是符号链接：请给出文件本身的路径。").arg(path));
    if (!S_ISREG(info.st_mode))
        return Fail(FailureCode::kUnsafe,
                    QStringLiteral("跟踪文件 %1 不是普通文件（而是 FIFO、设备或文件夹等）。").arg(path));
    return {};
}

Result<> StartTrace(TraceLog& trace, const QString& path, const QString& image, const QStringList& ports) {
    std::string error;
    const int fd = trace::OpenTraceFile(QFile::encodeName(path).toStdString(), &error);
    if (fd < 0)
        return Fail(FailureCode::kIo,
                    QStringLiteral("无法写入跟踪文件 %1：%2").arg(path, QString::fromStdString(error)));
    trace.Attach(fd);
    trace::Header header;
    header.program = "corvat-flash";
    header.programVersion = CORVAT_VERSION;
    header.image = Text(image);
    header.imageSize = QFileInfo(image).size();
    header.imageSha256 = Text(FileSha256(image));
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
