#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <optional>

#include "cli/flash_event.h"
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

// One port of the command line: waits for a board, greets, identifies and checks it, sends the image,
// releases it, and in a loop starts over. The bytes go out through the same TargetWire as the window's;
// what the window leaves to the operator (time-outs, resend limit, capacity) is decided here.
class FlashSession : public QObject {
    Q_OBJECT
  public:
    FlashSession(QString port, SerialLink& link, const QByteArray& image, const SessionLimits& limits,
                 FlashSink& sink);

    void Start();  // the port is open
    // A stop signal, cause its words: a board mid-way counts as failed; the port is closed.
    void Interrupt(const QString& cause);
    bool Finished() const { return m_phase == Phase::kFinished; }
    int Done() const { return m_done; }
    int Failed() const { return m_failed; }

  signals:
    void SessionFinished();

  private:
    enum class Phase { kWaitingGreeting, kIdentifying, kAwaitingAnswer, kPausing, kFinished };

    void OnData();
    void OnGreeting();
    void OnIdentification(const QByteArray& reply);
    void OnAnswer(char answer);
    void StartDownload();
    void SendCurrent();
    void OnPauseOver();
    void Release();
    void WaitForBoard();
    void Fail(FailReason reason, const QString& message);
    void Finish();
    void ExpectReply();
    FlashEvent Event(FlashEvent::Type type) const;
    std::int32_t PageCount() const { return m_lastPage + 1; }

    QString m_port;
    SerialLink& m_link;
    TargetWire m_wire;
    const QByteArray& m_image;
    SessionLimits m_limits;
    FlashSink& m_sink;

    Phase m_phase = Phase::kWaitingGreeting;
    QByteArray m_pending;
    QTimer m_greetingTimer;
    QTimer m_replyTimer;
    QTimer m_pauseTimer;
    QElapsedTimer m_pauseClock;  // since the header (or end marker) went out
    QElapsedTimer m_downloadClock;
    bool m_releasing = false;  // the pause after the end marker leads to the release
    int m_board = 0;
    int m_done = 0;
    int m_failed = 0;
    std::int32_t m_pageSize = 0;
    std::int32_t m_lastPage = -1;
    std::int32_t m_pageIndex = -1;
    std::int32_t m_pageResends = 0;
    std::int32_t m_boardResends = 0;
};

}  // namespace corvat::cli
