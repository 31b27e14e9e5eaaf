#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

namespace corvat {

// The only way the protocol reaches the line. Opening applies 9600 baud, 8 data bits, no parity,
// 1 stop bit; every write is handed to the OS before the call returns.
class SerialLink : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;
    ~SerialLink() override = default;

    // Closes an open port first. On failure returns false and fills *error with the serial layer's text.
    virtual bool Open(const QString& device, QString* error) = 0;
    // Waits (bounded) until queued bytes have left, then closes. No effect on a closed port.
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;

    virtual void WriteText(const QString& text) = 0;  // one byte per character, 8-bit local encoding
    virtual void WriteBytes(const QByteArray& bytes) = 0;

    virtual qint64 WaitingCount() const = 0;
    virtual QByteArray ReadAll() = 0;

  signals:
    void DataArrived();                      // characters are waiting
    void AdapterGone(const QString& error);  // the device vanished while open; the port is closed already
};

}  // namespace corvat
