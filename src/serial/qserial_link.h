#pragma once

#include <QSerialPort>
#include <chrono>
#include <functional>

#include "serial/doctor/port_doctor.h"
#include "serial/low_latency.h"
#include "serial/serial_link.h"

namespace corvat {

// What the link asks of the system beside the port itself; tests replace parts of it.
struct LinkSystem {
    SerialFlags* serialFlags = &SystemSerialFlags();
    std::function<Surroundings(const QString& device)> surroundings = ReadSurroundings;
};

// The serial link over QSerialPort, fixed at 9600 baud, 8 data bits, no parity, 1 stop bit, no flow control.
class QSerialLink : public SerialLink {
    Q_OBJECT
  public:
    explicit QSerialLink(QObject* parent = nullptr, LinkSystem system = {});
    ~QSerialLink() override;

    Result<> Open(const PortRequest& request) override;
    void Close() override;
    bool IsOpen() const override;

    void WriteText(const QString& text) override;
    void WriteBytes(const QByteArray& bytes) override;

    qint64 WaitingCount() const override;
    QByteArray ReadAll() override;

    // Longest that Close waits for queued bytes to leave; a dead line must not hang the window.
    static constexpr std::chrono::milliseconds kDrainLimit{1000};

  private:
    void OnError(QSerialPort::SerialPortError error);
    void DrainOutput();
    bool DeviceLost() const;
    Failure OpenFailure(const PortRequest& request) const;
    void CloseHandle();

    LinkSystem m_system;
    LowLatency m_lowLatency{*m_system.serialFlags};
    QSerialPort m_port;
    QString m_device;
    bool m_losing = false;         // inside the close that follows a vanished device
    bool m_closing = false;        // inside a deliberate close, draining the output
    quint64 m_openGeneration = 0;  // tells a late loss notice from a close or open made after it
};

}  // namespace corvat
