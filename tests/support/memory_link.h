#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

#include "serial/serial_link.h"

namespace corvat::test {

// A SerialLink held in memory, for the loader's own tests: it keeps what was written, in order, and
// lets the test play the target's replies. The real QSerialPort link has tests of its own on a
// pseudo-terminal, and the end-to-end tests drive both against the virtual target.
class MemoryLink : public SerialLink {
  public:
    using SerialLink::SerialLink;

    Result<> Open(const PortRequest& request) override;
    void Close() override;
    bool IsOpen() const override { return m_open; }
    void WriteText(const QString& text) override;
    void WriteBytes(const QByteArray& bytes) override;
    qint64 WaitingCount() const override { return m_incoming.size(); }
    QByteArray ReadAll() override;

    // The target's side: the bytes join those waiting, then DataArrived fires as the port would.
    void Receive(const QByteArray& bytes);
    // The adapter is pulled: the port closes and AdapterGone carries the error text.
    void Vanish(const QString& error);

    // Every write made while open, one entry per call, in order.
    QList<QByteArray> writes;
    // Open, write and close calls in order: "Open(/dev/ttyS0)", "Write(3C)", "Close()"; a write on a
    // closed port shows as "DroppedWrite(45)".
    QStringList events;
    // When set, the next opens fail with this text.
    QString openError;
    int readCount = 0;
    // What the last open was asked for.
    PortRequest lastRequest;

  private:
    void Record(const QByteArray& bytes);

    bool m_open = false;
    QByteArray m_incoming;
};

// Hexadecimal in capitals, bytes separated by blanks: "FF FF".
QString Hex(const QByteArray& bytes);

}  // namespace corvat::test
