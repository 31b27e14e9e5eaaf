#pragma once

#include <QByteArray>
#include <QMetaObject>
#include <QString>
#include <cstdint>

#include "protocol/loader_state.h"
#include "protocol/loader_view.h"
#include "protocol/page_flow.h"
#include "protocol/page_pacer.h"
#include "protocol/target_wire.h"
#include "serial/serial_link.h"

namespace corvat {

// Connection, identification, release and the page download. Runs on the window's thread, works on
// LoaderState, reaches the window only through LoaderView and the line only through SerialLink.
class Loader {
  public:
    Loader(LoaderState& state, SerialLink& link, LoaderView& view);
    ~Loader();  // stops the link's notices from reaching a loader that is gone
    Loader(const Loader&) = delete;
    Loader& operator=(const Loader&) = delete;

    void Connect();        // Click of cmdstar
    void Release();        // Click of cmdExit
    void StartDownload();  // Click of cmdWrite
    bool PortOpen() const;
    void ClosePort();  // image loading closes an open port first

    // The receive gate: reads only when at least ReplyLength characters wait, then all of them.
    void OnComm();
    void HandleReply(const QByteArray& reply);

  private:
    bool OpenPort(const PortRequest& request);
    void IdentifyDevice(const QByteArray& reply);
    void AcceptedPage();
    void RejectedPage();
    void SendPage(const Outgoing& out);
    void OnAdapterGone(const QString& error);
    void ResetWindowToReleased();

    LoaderState& m_state;
    SerialLink& m_link;
    LoaderView& m_view;
    TargetWire m_wire;
    PageFlow m_flow;
    BlockingPacer m_pacer;
    QMetaObject::Connection m_dataArrived;
    QMetaObject::Connection m_adapterGone;
};

}  // namespace corvat
