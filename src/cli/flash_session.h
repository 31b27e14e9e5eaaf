#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <optional>

#include "cli/flash_event.h"
#include "protocol/deadline.h"
#include "protocol/page_flow.h"
#include "protocol/page_pacer.h"
#include "protocol/target_wire.h"
#include "serial/serial_link.h"

namespace corvat::cli {

struct SessionLimits {
    std::chrono::milliseconds firstGreeting{60000};  // zero: no limit
    std::chrono::milliseconds nextGreeting{0};       // in a loop, for the boards after the first
    std::chrono::milliseconds reply{2000};
    int maxResends = 10;
    std::optional<int> kind;
    bool loop = false;
};

// After the end marker the line must stay quiet this long (or the reply time-out, if shorter) before a
// board counts as done: long enough for an answer still in flight behind the last frame to arrive.
constexpr std::chrono::milliseconds kEndMarkerQuiet{200};
// How often a port whose adapter vanished in a loop is tried again.
constexpr std::chrono::milliseconds kPortRetry{500};

// One port of the command line: waits for a board, greets, identifies and checks it, sends the image
// through the page flow the window drives too, releases it, and in a loop starts over. Every answer is
// matched to the frame it answers; what the window leaves to the operator (time-outs, resend limit,
// capacity, a board that says more than it should) is decided here.
class FlashSession : public QObject {
    Q_OBJECT
  public:
    // The port is open already; `request` is what reopens it when its adapter comes back in a loop.
    FlashSession(QString port, PortRequest request, SerialLink& link, const QByteArray& image,
                 const SessionLimits& limits, FlashSink& sink);

    void Start();  // the port is open
    // A stop signal, cause its words: a board mid-way counts as failed; the port is closed.
    void Interrupt(const QString& cause);
    bool Finished() const { return m_phase == Phase::kFinished; }
    int Done() const { return m_done; }
    int Failed() const { return m_failed; }

  signals:
    void SessionFinished();

  private:
    enum class Phase {
        kWaitingGreeting,
        kIdentifying,
        kAwaitingAnswer,  // a frame (or the download command) is out and unanswered
        kPausing,         // a header is out, its data frame not yet
        kConfirming,      // the end marker is out; the line must stay quiet
        kWaitingPort,
        kFinished
    };

    void OnData();
    void OnGreeting();
    void OnIdentification(const QByteArray& reply);
    void StartDownload();
    void OnDownloadByte(char byte);
    void OnAnswer(char answer);
    void OnRejected();
    void OnConfirmingByte(char byte);
    void SendOut(const Outgoing& out);
    void OnFrameSent();
    void Release();
    void WaitForBoard();
    void WaitForPort(const QString& error);
    void TryPort();
    void OnAdapterGone(const QString& error);
    void OnReplyTimeout();
    void Fail(FailReason reason, const QString& message);
    void Finish();
    void StopWaits();
    FlashEvent Event(FlashEvent::Type type) const;
    // An answer to the page the flow stands at, with this page's resends so far.
    FlashEvent PageEvent(FlashEvent::Type type) const;
    QString PageText() const;

    QString m_port;
    PortRequest m_request;
    SerialLink& m_link;
    TargetWire m_wire;
    DownloadState m_download;
    PageFlow m_flow{m_download};
    TimedPacer m_pacer;
    SessionLimits m_limits;
    FlashSink& m_sink;

    Phase m_phase = Phase::kWaitingGreeting;
    QByteArray m_pending;
    Deadline m_greetingWait;
    Deadline m_replyWait;
    Deadline m_quietWait;
    QTimer m_portRetry;
    QElapsedTimer m_downloadClock;
    int m_board = 0;
    int m_done = 0;
    int m_failed = 0;
    int m_endAnswers = 0;  // "!" heard after the end marker
    std::int32_t m_pageResends = 0;
};

}  // namespace corvat::cli
