#include "support/memory_link.h"

namespace corvat::test {

QString Hex(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

Result<> MemoryLink::Open(const PortRequest& request) {
    Close();
    lastRequest = request;
    events << QStringLiteral("Open(%1)").arg(request.device);
    if (!openError.isEmpty()) return Fail(FailureCode::kIo, openError);
    m_open = true;
    m_incoming.clear();
    return {};
}

void MemoryLink::Close() {
    if (!m_open) return;
    events << QStringLiteral("Close()");
    m_open = false;
}

void MemoryLink::WriteText(const QString& text) {
    Record(text.toLocal8Bit());
}

void MemoryLink::WriteBytes(const QByteArray& bytes) {
    Record(bytes);
}

void MemoryLink::Record(const QByteArray& bytes) {
    if (!m_open) {
        events << QStringLiteral("DroppedWrite(%1)").arg(Hex(bytes));
        return;
    }
    events << QStringLiteral("Write(%1)").arg(Hex(bytes));
    writes << bytes;
}

QByteArray MemoryLink::ReadAll() {
    ++readCount;
    QByteArray all;
    all.swap(m_incoming);
    return all;
}

void MemoryLink::Receive(const QByteArray& bytes) {
    m_incoming += bytes;
    emit DataArrived();
}

void MemoryLink::Vanish(const QString& error) {
    m_open = false;
    m_incoming.clear();
    events << QStringLiteral("Vanished()");
    emit AdapterGone(error);
}

}  // namespace corvat::test
