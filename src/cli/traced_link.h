#pragma once

#include <QString>
#include <QStringList>

#include "cli/flash_event.h"
#include "cli/image_source.h"
#include "serial/qserial_link.h"
#include "serial/tracing_link.h"
#include "trace/trace_writer.h"

namespace corvat::cli {

using TraceLog = trace::TraceWriter;

// The serial link of one port, writing what passes into the trace when there is one, under the port's
// name as given on the command line.
class TracedLink : public TracingLink {
    Q_OBJECT
  public:
    TracedLink(const QString& port, TraceLog* trace)
        : TracingLink(std::make_unique<QSerialLink>(), trace, port) {}
};

// Opens (and only now empties) the trace file and writes its first line, naming the image as given, its
// size and SHA-256, and the ports.
Result<> StartTrace(TraceLog& trace, const QString& path, const ImageFacts& image, const QStringList& ports);

// The run's events that matter to someone reading the bytes, as notes between them.
class TraceNotes : public FlashSink {
  public:
    explicit TraceNotes(TraceLog& trace) : m_trace(trace) {}
    void Report(const FlashEvent& event) override;
    void Finish(const FlashSummary& summary) override;

  private:
    TraceLog& m_trace;
};

}  // namespace corvat::cli
