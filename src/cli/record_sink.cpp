#include "cli/record_sink.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>
#include <cerrno>
#include <cstring>

namespace corvat::cli {

namespace {

QString SystemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

}  // namespace

QJsonValue TextOrNull(const QString& text) {
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

RecordFile::~RecordFile() {
    if (m_fd >= 0) ::close(m_fd);
}

Result<> RecordFile::Open(const QString& path) {
    m_path = path;
    m_fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (m_fd < 0)
        return Fail(errno == EACCES ? FailureCode::kNotAllowed : FailureCode::kIo,
                    QStringLiteral("无法打开记录文件 %1：%2").arg(path, SystemError(errno)));
    return {};
}

Result<> RecordFile::Append(const QByteArray& line) {
    const QByteArray whole = line + '\n';
    ssize_t written = -1;
    do {
        written = ::write(m_fd, whole.constData(), static_cast<std::size_t>(whole.size()));
    } while (written < 0 && errno == EINTR);
    if (written != whole.size()) {
        const int error = written < 0 ? errno : ENOSPC;
        return Fail(FailureCode::kIo,
                    QStringLiteral("无法写入记录文件 %1：%2").arg(m_path, SystemError(error)));
    }
    if (::fsync(m_fd) != 0)
        return Fail(FailureCode::kIo,
                    QStringLiteral("记录文件 %1 未能写到盘上：%2").arg(m_path, SystemError(errno)));
    return {};
}

RecordSink::RecordSink(RecordFile& file, ImageFacts image, AdapterLookup adapters,
                       std::function<void(const Failure&)> onFailure)
    : m_file(file),
      m_image(std::move(image)),
      m_adapters(std::move(adapters)),
      m_onFailure(std::move(onFailure)),
      m_host(QSysInfo::machineHostName()) {}

void RecordSink::Report(const FlashEvent& event) {
    Port& port = m_ports[event.port];
    switch (event.type) {
        case FlashEvent::Type::kOpened:
            port.device = event.device;
            port.adapter = m_adapters ? m_adapters(event.device) : AdapterIdentity{};
            port.since.start();
            return;
        case FlashEvent::Type::kPortBack:
            // Another adapter may have been plugged in where the last one was.
            port.device = event.device;
            port.adapter = m_adapters ? m_adapters(event.device) : AdapterIdentity{};
            return;
        case FlashEvent::Type::kWaitingPort:
            return;
        case FlashEvent::Type::kGreeted:
            port.since.start();
            port.kind = port.capacity = port.version = QJsonValue();
            port.pages = port.resends = 0;
            return;
        case FlashEvent::Type::kIdentified:
            port.kind = event.kind;
            port.capacity = static_cast<qint64>(event.capacity);
            port.version = event.version;
            return;
        case FlashEvent::Type::kPageAccepted:
            port.pages = event.index + 1;
            return;
        case FlashEvent::Type::kPageRejected:
            ++port.resends;
            return;
        case FlashEvent::Type::kDone:
            port.pages = event.of;
            [[fallthrough]];
        case FlashEvent::Type::kFailed:
            Write(event, port);
            port.since.start();
            return;
    }
}

void RecordSink::Write(const FlashEvent& event, Port& port) {
    const bool done = event.type == FlashEvent::Type::kDone;
    const QJsonObject adapter{{QStringLiteral("vid_pid"), TextOrNull(port.adapter.vidPid)},
                              {QStringLiteral("serial"), TextOrNull(port.adapter.serialNumber)},
                              {QStringLiteral("by_id"), TextOrNull(port.adapter.byId)}};
    const QJsonObject record{
        {QStringLiteral("time"), UtcTimeText()},
        {QStringLiteral("host"), m_host},
        {QStringLiteral("port"), event.port},
        {QStringLiteral("device"), port.device},
        {QStringLiteral("adapter"), adapter},
        {QStringLiteral("board"), event.board},
        {QStringLiteral("kind"), port.kind},
        {QStringLiteral("capacity"), port.capacity},
        {QStringLiteral("version"), port.version},
        {QStringLiteral("image"), m_image.name},
        {QStringLiteral("image_size"), m_image.size},
        {QStringLiteral("image_sha256"), m_image.sha256},
        {QStringLiteral("pages"), port.pages},
        {QStringLiteral("resends"), done ? event.resends : port.resends},
        {QStringLiteral("outcome"), done ? QStringLiteral("done") : QStringLiteral("failed")},
        {QStringLiteral("reason"), done ? QJsonValue() : QJsonValue(ReasonKey(event.reason))},
        {QStringLiteral("message"), done ? QJsonValue() : QJsonValue(event.message)},
        {QStringLiteral("duration_ms"), port.since.isValid() ? port.since.elapsed() : qint64{0}}};
    const Result<> appended = m_file.Append(QJsonDocument(record).toJson(QJsonDocument::Compact));
    if (appended) return;
    // The first failure is enough to tell; the board's own outcome stands.
    if (!m_failed && m_onFailure) m_onFailure(appended.failure());
    m_failed = true;
}

}  // namespace corvat::cli
