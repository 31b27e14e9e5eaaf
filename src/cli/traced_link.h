#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <memory>

#include "serial/qserial_link.h"

namespace corvat::cli {

// Every byte on every port, both ways: "<seconds> <port> tx|rx <hex bytes>", one line per read or write.
class TraceLog {
  public:
    bool Open(const QString& path, QString* error);
    void Bytes(const QString& port, const char* direction, const QByteArray& bytes);

  private:
    QFile m_file;
    QElapsedTimer m_clock;
};

// The serial link of one port, writing what passes into the trace when there is one.
class TracedLink : public SerialLink {
    Q_OBJECT
  public:
    TracedLink(QString port, TraceLog* trace);

    Result<> Open(const PortRequest& request) override {
        m_device = request.device;
        return m_link.Open(request);
    }
    void Close() override { m_link.Close(); }
    bool IsOpen() const override { return m_link.IsOpen(); }
    void WriteText(const QString& text) override;
    void WriteBytes(const QByteArray& bytes) override;
    qint64 WaitingCount() const override { return m_link.WaitingCount(); }
    QByteArray ReadAll() override;
    QString Device() const { return m_device; }

  private:
    QString m_port;
    QString m_device;
    TraceLog* m_trace;
    QSerialLink m_link;
};

// Opens the device the port text names, as the window would, from the program folder appDir (ending
// in "/"). A failure's text is the serial layer's, which explains it.
Result<> OpenPortFor(SerialLink& link, const QString& portText, const QString& appDir);

}  // namespace corvat::cli
