#include "protocol/page_pacer.h"

#include <thread>

namespace corvat {

void PagePacer::Send(const Outgoing& out) {
    if (out.kind == Outgoing::Kind::kNothing) return;
    m_link.WriteBytes(out.first);
    if (out.kind == Outgoing::Kind::kPage) SendAfterPause(out.frame);
}

void BlockingPacer::SendAfterPause(const QByteArray& frame) {
    std::this_thread::sleep_for(kHeaderToDataPause);
    m_link.WriteBytes(frame);
}

TimedPacer::TimedPacer(SerialLink& link) : PagePacer(link) {
    connect(&m_pause, &Deadline::Expired, this, [this] {
        m_link.WriteBytes(m_frame);
        emit FrameSent();
    });
}

void TimedPacer::SendAfterPause(const QByteArray& frame) {
    m_frame = frame;
    m_pause.Start(kHeaderToDataPause);
}

}  // namespace corvat
