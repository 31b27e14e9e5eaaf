#include "protocol/loader.h"

#include "protocol/identification.h"
#include "serial/port_names.h"

namespace corvat {

namespace {
const QString kChipIdle = QStringLiteral("从机状况：");
const QString kMessageIdle = QStringLiteral("信息....");
}  // namespace

Loader::Loader(LoaderState& state, SerialLink& link, LoaderView& view)
    : m_state(state), m_link(link), m_view(view), m_wire(link), m_flow(state), m_pacer(link) {
    m_dataArrived = QObject::connect(&m_link, &SerialLink::DataArrived, &m_link, [this] { OnComm(); });
    m_adapterGone = QObject::connect(&m_link, &SerialLink::AdapterGone, &m_link,
                                     [this](const QString& error) { OnAdapterGone(error); });
}

Loader::~Loader() {
    QObject::disconnect(m_dataArrived);
    QObject::disconnect(m_adapterGone);
}

void Loader::Connect() {
    const QString portText = m_view.PortText();
    Result<PortRequest> request = PortRequestFor(portText, m_state.AppDir);
    if (!request) {
        // Nothing is opened for a text that names no port, and nothing else moves either; a port left
        // open by the previous Connect is closed, as opening would have done, so that no greeting on
        // it can start a session the operator has just turned away from. The status line then says so.
        if (m_link.IsOpen()) {
            m_link.Close();
            m_view.ShowMessage(kMessageIdle);
            m_view.SetChipText(kChipIdle);
        }
        m_view.ShowPrompt(request.message());
        return;
    }
    // A device path names no port number; the last one taken stays.
    if (portText.startsWith(QLatin1Char('/')))
        request.value().number = m_state.PortNumber;
    else
        m_state.PortNumber = request->number;
    if (OpenPort(*request)) {
        m_view.ShowMessage(QStringLiteral("设备联接中."));
        m_view.SetChipText(kChipIdle);
    }
    m_state.ReplyLength = kSingleCharacterReply;
    m_state.PageSize = kDefaultPageSize;
}

bool Loader::OpenPort(const PortRequest& request) {
    if (m_link.IsOpen()) m_link.Close();
    // The link's text says what went wrong and what to do; the loader adds nothing to it.
    if (const Result<> opened = m_link.Open(request); !opened) {
        m_view.ShowError(opened.message());
        return false;
    }
    return true;
}

bool Loader::PortOpen() const {
    return m_link.IsOpen();
}

void Loader::ClosePort() {
    m_link.Close();
}

void Loader::OnComm() {
    if (m_link.WaitingCount() < m_state.ReplyLength) return;
    HandleReply(m_link.ReadAll());
}

void Loader::HandleReply(const QByteArray& reply) {
    switch (ClassifyReply(reply)) {
        case Reply::kGreeting:
            m_wire.AnswerGreeting();
            m_state.ReplyLength = kIdentificationLength;
            m_view.ShowMessage(QStringLiteral("开始联接.."));
            m_view.SetEnabled(Control::Combo1, false);
            m_view.SetEnabled(Control::cmdFlashFile, false);
            m_view.SetEnabled(Control::cmdstar, false);
            return;
        case Reply::kPageAccepted:
            AcceptedPage();
            return;
        case Reply::kPageRejected:
            RejectedPage();
            return;
        case Reply::kTargetExit:
            m_view.ShowMessage(QStringLiteral("正确退出"));
            return;
        case Reply::kOther:
            if (m_state.ReplyLength == kIdentificationLength) {
                IdentifyDevice(reply);
            } else {
                m_view.ShowMessage(QStringLiteral("联接中..."));
            }
            m_state.ReplyLength = kSingleCharacterReply;
            return;
    }
}

void Loader::IdentifyDevice(const QByteArray& reply) {
    const QString retryPower = QStringLiteral("联接失败，请重上电....");
    // Every pass reads the same reply, so a bad one fails the same way until the passes run out.
    for (std::int16_t attempt = 1;; ++attempt) {
        m_view.SetAttemptCounter(QString::number(attempt));
        if (attempt > kMaxIdentificationPasses) {
            m_view.ShowMessage(QStringLiteral("联接失败，请重联...."));
            return;
        }
        const Identification identification = ReadIdentification(reply);
        if (!identification.kind) {
            m_view.ShowMessage(retryPower);
            continue;
        }
        // The page size is taken before the version is checked, so a rejected reply still leaves it.
        m_state.PageSize = identification.kind->pageSize;
        if (!identification.versionAccepted) {
            m_view.ShowMessage(retryPower);
            continue;
        }
        m_view.SetChipText(identification.kind->capacityText + VersionText(identification.versionLetter));
        m_view.ShowMessage(QStringLiteral("联接成功，可下载...."));
        m_view.Beep();
        m_view.SetEnabled(Control::cmdExit, true);
        m_view.SetEnabled(Control::cmdWrite, true);
        return;
    }
}

void Loader::Release() {
    m_wire.SendRelease();
    ResetWindowToReleased();
}

void Loader::OnAdapterGone(const QString& error) {
    // The link has closed the port already; tell the operator why, then leave the window as a release
    // would, with the image still loaded, so that connecting again is one click away.
    m_view.ShowError(error);
    ResetWindowToReleased();
}

void Loader::ResetWindowToReleased() {
    m_view.SetEnabled(Control::cmdExit, false);
    m_view.SetEnabled(Control::cmdWrite, false);
    m_view.SetEnabled(Control::cmdstar, true);
    m_view.SetEnabled(Control::cmdFlashFile, true);
    m_view.SetEnabled(Control::Combo1, true);
    m_link.Close();
    m_view.ShowMessage(kMessageIdle);
    m_view.SetChipText(kChipIdle);
    m_view.SetProgressText(QString());
}

}  // namespace corvat
