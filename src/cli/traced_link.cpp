#include "cli/traced_link.h"

#include "protocol/identification.h"
#include "serial/port_names.h"

namespace corvat::cli {

bool TraceLog::Open(const QString& path, QString* error) {
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        *error = QStringLiteral("无法写入跟踪文件 %1：%2").arg(path, m_file.errorString());
        return false;
    }
    m_clock.start();
    return true;
}

void TraceLog::Bytes(const QString& port, const char* direction, const QByteArray& bytes) {
    if (!m_file.isOpen() || bytes.isEmpty()) return;
    const double seconds = static_cast<double>(m_clock.nsecsElapsed()) / 1e9;
    const QByteArray line = QByteArray::number(seconds, 'f', 6) + ' ' + port.toUtf8() + ' ' + direction +
                            ' ' + bytes.toHex(' ').toUpper() + '\n';
    m_file.write(line);
    // A run that ends in a crash or a kill should still leave what happened on the line.
    m_file.flush();
}

TracedLink::TracedLink(QString port, TraceLog* trace) : m_port(std::move(port)), m_trace(trace) {
    connect(&m_link, &SerialLink::DataArrived, this, &SerialLink::DataArrived);
    connect(&m_link, &SerialLink::AdapterGone, this, &SerialLink::AdapterGone);
}

void TracedLink::WriteText(const QString& text) {
    WriteBytes(text.toLocal8Bit());
}

void TracedLink::WriteBytes(const QByteArray& bytes) {
    if (m_trace && m_link.IsOpen()) m_trace->Bytes(m_port, "tx", bytes);
    m_link.WriteBytes(bytes);
}

QByteArray TracedLink::ReadAll() {
    QByteArray bytes = m_link.ReadAll();
    if (m_trace) m_trace->Bytes(m_port, "rx", bytes);
    return bytes;
}

Result<> OpenPortFor(SerialLink& link, const QString& portText, const QString& appDir) {
    const Result<PortRequest> request = PortRequestFor(portText, appDir);
    if (!request) return request.failure();
    return link.Open(*request);
}

}  // namespace corvat::cli
