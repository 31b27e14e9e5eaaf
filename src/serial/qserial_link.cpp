#include "serial/qserial_link.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <cerrno>
#include <thread>

namespace corvat {

namespace {
constexpr qint32 kBaudRate = 9600;
constexpr std::chrono::milliseconds kOutputQueuePoll{2};

// Bytes the driver still holds for the line; 0 when the driver cannot tell.
int OutputQueueLength(int handle) {
    int queued = 0;
    if (::ioctl(handle, TIOCOUTQ, &queued) != 0) return 0;
    return queued;
}
}  // namespace

QSerialLink::QSerialLink(QObject* parent, LinkSystem system)
    : SerialLink(parent), m_system(std::move(system)) {
    // Bytes read while Close drains the output belong to a session that is ending; handing them on
    // would let a reply act (answer a greeting, disable controls) inside the close.
    connect(&m_port, &QSerialPort::readyRead, this, [this] {
        if (!m_closing) emit DataArrived();
    });
    connect(&m_port, &QSerialPort::errorOccurred, this, &QSerialLink::OnError);
}

QSerialLink::~QSerialLink() {
    // No notices for a link that is going away.
    m_port.disconnect(this);
    Close();
}

Result<> QSerialLink::Open(const PortRequest& request) {
    Close();
    m_device = request.device;
    m_port.setPortName(request.device);
    if (!m_port.open(QIODevice::ReadWrite)) {
        return OpenFailure(request);
    }
    const bool configured = m_port.setBaudRate(kBaudRate) && m_port.setDataBits(QSerialPort::Data8) &&
                            m_port.setParity(QSerialPort::NoParity) &&
                            m_port.setStopBits(QSerialPort::OneStop) &&
                            m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!configured) {
        // A port that cannot take 9600 8N1 would garble every frame: refuse it rather than half-open it.
        const QString text = m_port.errorString();
        m_port.close();
        return Fail(FailureCode::kInvalid, text);
    }
    m_lowLatency.Engage(static_cast<int>(m_port.handle()));
    ++m_openGeneration;
    return {};
}

// The serial layer's own text first, then the cause and the fix.
namespace {
FailureCode FailureCodeFor(OpenFault fault) {
    switch (fault) {
        case OpenFault::kMissing:
        case OpenFault::kNoHardware:
            return FailureCode::kNotFound;
        case OpenFault::kDenied:
            return FailureCode::kNotAllowed;
        case OpenFault::kBusy:
            return FailureCode::kBusy;
        case OpenFault::kOther:
            break;
    }
    return FailureCode::kIo;
}
}  // namespace

Failure QSerialLink::OpenFailure(const PortRequest& request) const {
    QString text = m_port.errorString();
    const Surroundings around = m_system.surroundings(request.device);
    const OpenFault fault = ClassifyOpenFault(m_port.error(), text, around);
    const QString advice = Diagnose(request, fault, around);
    if (!advice.isEmpty()) text += QLatin1Char('\n') + advice;
    return Fail(FailureCodeFor(fault), text);
}

void QSerialLink::Close() {
    if (m_port.isOpen()) {
        m_closing = true;
        DrainOutput();
        CloseHandle();
        m_closing = false;
    }
    // A loss noticed before or during a deliberate close is no news to the caller, and must not
    // arrive later, in the middle of whatever the caller does next.
    ++m_openGeneration;
}

void QSerialLink::DrainOutput() {
    const QDeadlineTimer deadline(kDrainLimit);
    while (m_port.bytesToWrite() > 0 && !deadline.hasExpired()) {
        if (!m_port.waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) break;
    }
    const int handle = static_cast<int>(m_port.handle());
    if (handle < 0) return;
    while (OutputQueueLength(handle) > 0 && !deadline.hasExpired())
        std::this_thread::sleep_for(kOutputQueuePoll);
}

void QSerialLink::CloseHandle() {
    m_lowLatency.Release(static_cast<int>(m_port.handle()));
    m_port.close();
}

bool QSerialLink::IsOpen() const {
    return m_port.isOpen();
}

void QSerialLink::WriteText(const QString& text) {
    WriteBytes(text.toLocal8Bit());
}

void QSerialLink::WriteBytes(const QByteArray& bytes) {
    // A write to a port that has gone is dropped: the window learns of the loss through AdapterGone.
    if (!m_port.isOpen()) return;
    m_port.write(bytes);
    m_port.flush();
}

qint64 QSerialLink::WaitingCount() const {
    return m_port.isOpen() ? m_port.bytesAvailable() : 0;
}

QByteArray QSerialLink::ReadAll() {
    return m_port.isOpen() ? m_port.readAll() : QByteArray();
}

bool QSerialLink::DeviceLost() const {
    const int handle = static_cast<int>(m_port.handle());
    pollfd device{handle, 0, 0};  // hang-up and error are reported whatever is asked for
    if (::poll(&device, 1, 0) == 1 && (device.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) return true;
    termios settings{};
    return ::tcgetattr(handle, &settings) != 0 && (errno == EIO || errno == ENXIO || errno == ENODEV);
}

void QSerialLink::OnError(QSerialPort::SerialPortError error) {
    // Only a vanished device matters here; line errors (framing, parity) were never reported. Qt
    // reports a full output queue (EAGAIN) as a resource error just like a vanished device, and a
    // hung-up tty reads as end of file, reported as a read error again and again with a stale system
    // text: only the descriptor itself tells a lost device from a busy or quiet one.
    if (m_losing || !m_port.isOpen()) return;
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError) return;
    if (!DeviceLost()) {
        // The port stays open and Qt keeps the unwritten bytes queued for the next chance.
        m_port.clearError();
        return;
    }
    m_losing = true;
    QString text =
        QStringLiteral("串口 %1 已断开（例如 USB 串口适配器被拔出），请检查连接后重新联机。").arg(m_device);
    if (error == QSerialPort::ResourceError) text.prepend(m_port.errorString() + QLatin1Char('\n'));
    CloseHandle();
    m_losing = false;
    // Delivered from the event loop, so that a loss noticed inside a write never re-enters the handler
    // that was writing.
    const quint64 generation = m_openGeneration;
    QMetaObject::invokeMethod(
        this,
        [this, text, generation] {
            if (generation == m_openGeneration && !m_port.isOpen()) emit AdapterGone(text);
        },
        Qt::QueuedConnection);
}

}  // namespace corvat
