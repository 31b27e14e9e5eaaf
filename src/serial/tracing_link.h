#pragma once

#include <memory>

#include "serial/serial_link.h"
#include "trace/trace_writer.h"

namespace corvat {

// Another link, with every byte it carries both ways written to a trace, and its opening, closing and
// loss as notes. The bytes are traced as they pass this link, so the trace shows what the loader wrote
// and read, in its own order.
class TracingLink : public SerialLink {
    Q_OBJECT
  public:
    // port: the name the trace gives the line; empty: the port text each opening was asked for.
    TracingLink(std::unique_ptr<SerialLink> inner, trace::TraceWriter* writer, QString port = {});

    Result<> Open(const PortRequest& request) override;
    void Close() override;
    bool IsOpen() const override { return m_inner->IsOpen(); }
    void WriteText(const QString& text) override;
    void WriteBytes(const QByteArray& bytes) override;
    qint64 WaitingCount() const override { return m_inner->WaitingCount(); }
    QByteArray ReadAll() override;

    const QString& Device() const { return m_device; }

  private:
    void Note(const char* note, const trace::Fields& fields = {});

    std::unique_ptr<SerialLink> m_inner;
    trace::TraceWriter* m_writer;
    QString m_fixedPort;
    QString m_port;
    QString m_device;
};

}  // namespace corvat
