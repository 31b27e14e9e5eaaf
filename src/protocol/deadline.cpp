#include "protocol/deadline.h"

namespace corvat {

Deadline::Deadline(QObject* parent) : QObject(parent) {
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &Deadline::OnTimeout);
}

void Deadline::Start(std::chrono::milliseconds limit) {
    m_limit = limit;
    m_clock.start();
    m_timer.start(limit);
}

void Deadline::OnTimeout() {
    const std::chrono::nanoseconds elapsed{m_clock.nsecsElapsed()};
    if (elapsed < m_limit) {
        m_timer.start(std::chrono::ceil<std::chrono::milliseconds>(m_limit - elapsed));
        return;
    }
    emit Expired();
}

}  // namespace corvat
