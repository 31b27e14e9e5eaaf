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
    // and fails with the port and the serial layer's text.
    Result<> OpenPorts(const QString& appDir);
    void Start();
    // A stop signal: boards mid-way fail as interrupted, named after the signal.
    void Interrupt(int signal);
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
    int m_signal = 0;  // the signal that interrupted the run, 0 for none
    bool m_finished = false;
};

// SIGINT, SIGTERM and SIGHUP as a Qt notice: the handler only writes the signal's number to a pipe that
// the event loop watches. SIGPIPE's default death is turned off: a write to stdout that finds its reader
// gone (EPIPE) stops the run the same way, so the boards are failed and the summary still tried.
class StopSignals : public QObject {
    Q_OBJECT
  public:
    StopSignals();
    ~StopSignals() override;

  signals:
    void Stop(int signal);

  private:
    std::unique_ptr<QSocketNotifier> m_notifier;
};

// "SIGHUP" and the like.
QString SignalName(int signal);
// Why the run stopped, in the operator's words: "Ctrl-C", "终端已关闭（SIGHUP）".
QString SignalCause(int signal);

}  // namespace corvat::cli
