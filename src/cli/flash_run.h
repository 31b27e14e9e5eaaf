#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>
#include <vector>

#include "cli/flash_session.h"
#include "cli/options.h"
#include "cli/traced_link.h"

namespace corvat::cli {

// All ports of one run, served together on one thread: each port is a FlashSession driven by its own
// link's notices and timers, so a slow, silent or failing board holds up no other.
class FlashRun : public QObject {
    Q_OBJECT
  public:
    FlashRun(const FlashOptions& options, const QByteArray& image, FlashSink& sink, TraceLog* trace);

    // Opens every port before anything is sent; on the first that cannot be opened, closes the others
    // and returns false with the port and the serial layer's text in *error.
    bool OpenPorts(const QString& appDir, QString* error);
    void Start();
    void Interrupt();
    int ExitStatus() const;

  signals:
    void Finished();

  private:
    void OnSessionFinished();

    const FlashOptions& m_options;
    const QByteArray& m_image;
    FlashSink& m_sink;
    TraceLog* m_trace;
    std::vector<std::unique_ptr<TracedLink>> m_links;
    std::vector<std::unique_ptr<FlashSession>> m_sessions;
    QElapsedTimer m_clock;
    bool m_interrupted = false;
    bool m_finished = false;
};

// SIGINT and SIGTERM as a Qt notice: the handler only writes to a pipe that the event loop watches.
class StopSignals : public QObject {
    Q_OBJECT
  public:
    StopSignals();
    ~StopSignals() override;

  signals:
    void Stop();

  private:
    std::unique_ptr<QSocketNotifier> m_notifier;
};

}  // namespace corvat::cli
