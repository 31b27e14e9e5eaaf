#pragma once

#include <QByteArray>
#include <QObject>
#include <chrono>

#include "protocol/deadline.h"
#include "protocol/page_flow.h"
#include "serial/serial_link.h"

namespace corvat {

// The target needs this long after a page header before the data frame follows.
constexpr std::chrono::milliseconds kHeaderToDataPause{5};

// Puts what the page flow asked for on the line, one message per write: the end marker alone, or a
// page's header and, kHeaderToDataPause later, its data frame. How the pause passes is the front end's.
class PagePacer {
  public:
    explicit PagePacer(SerialLink& link) : m_link(link) {}
    virtual ~PagePacer() = default;
    PagePacer(const PagePacer&) = delete;
    PagePacer& operator=(const PagePacer&) = delete;

    void Send(const Outgoing& out);

  protected:
    virtual void SendAfterPause(const QByteArray& frame) = 0;
    SerialLink& m_link;
};

// The window's form: its one thread sleeps through the pause, as the boot loader's original host did;
// replies wait in the link meanwhile. The frame is out when Send returns.
class BlockingPacer final : public PagePacer {
  public:
    using PagePacer::PagePacer;

  private:
    void SendAfterPause(const QByteArray& frame) override;
};

// The command line's form: the pause passes in the event loop, so the other ports are served meanwhile.
// FrameSent follows once the frame is out.
class TimedPacer final : public QObject, public PagePacer {
    Q_OBJECT
  public:
    explicit TimedPacer(SerialLink& link);

    bool Pausing() const { return m_pause.IsActive(); }
    void Cancel() { m_pause.Stop(); }

  signals:
    void FrameSent();

  private:
    void SendAfterPause(const QByteArray& frame) override;

    Deadline m_pause;
    QByteArray m_frame;
};

}  // namespace corvat
