#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <cstdint>

#include "platform/result.h"

namespace corvat {

// A port as the operator asked for it. The device is what is opened; the rest lets the serial layer
// explain a failure in the operator's own terms.
struct PortRequest {
    PortRequest() = default;
    // A device path, opened as it stands, as if typed into the port box.
    PortRequest(const QString& devicePath) : device(devicePath), text(devicePath) {}  // NOLINT: implicit
    PortRequest(const QString& device, const QString& text, std::uint8_t number, const QString& appDir)
        : device(device), text(text), number(number), appDir(appDir) {}

    QString device;           // the path that is opened
    QString text;             // the port box's text: "COM3", or a path beginning with "/"
    std::uint8_t number = 0;  // the port number its last digit gave
    QString appDir;           // the program folder, ending in "/"; empty when not known
};

// The only way the protocol reaches the line. Opening applies 9600 baud, 8 data bits, no parity,
// 1 stop bit; every write is handed to the OS before the call returns.
class SerialLink : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;
    ~SerialLink() override = default;

    // Closes an open port first. A failure's text is the serial layer's, which says what went wrong and
    // what to do about it.
    virtual Result<> Open(const PortRequest& request) = 0;
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
