#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <chrono>

namespace corvat {

// A single-shot wait that never ends early: a timer that wakes before its time, as timers may, is put
// back to sleep for what is left. A limit of N ms thus ends no sooner than N ms after Start.
class Deadline : public QObject {
    Q_OBJECT
  public:
    explicit Deadline(QObject* parent = nullptr);

    void Start(std::chrono::milliseconds limit);
    void Stop() { m_timer.stop(); }
    bool IsActive() const { return m_timer.isActive(); }
    std::chrono::milliseconds Limit() const { return m_limit; }

  signals:
    void Expired();

  private:
    void OnTimeout();

    QTimer m_timer;
    QElapsedTimer m_clock;
    std::chrono::milliseconds m_limit{0};
};

}  // namespace corvat
