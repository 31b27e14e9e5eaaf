#include "serial/tracing_link.h"

namespace corvat {

namespace {

std::string_view View(const QByteArray& bytes) {
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

}  // namespace

TracingLink::TracingLink(std::unique_ptr<SerialLink> inner, trace::TraceWriter* writer, QString port)
    : m_inner(std::move(inner)), m_writer(writer), m_fixedPort(std::move(port)), m_port(m_fixedPort) {
    connect(m_inner.get(), &SerialLink::DataArrived, this, &SerialLink::DataArrived);
    connect(m_inner.get(), &SerialLink::AdapterGone, this, [this](const QString& error) {
        Note("port-lost", {{"message", error.toStdString()}});
        emit AdapterGone(error);
    });
}

void TracingLink::Note(const char* note, const trace::Fields& fields) {
    if (m_writer) m_writer->Note(m_port.toStdString(), note, fields);
}

Result<> TracingLink::Open(const PortRequest& request) {
    Close();
    m_port = m_fixedPort.isEmpty() ? request.text : m_fixedPort;
    m_device = request.device;
    Result<> opened = m_inner->Open(request);
    if (opened)
        Note("open", {{"device", request.device.toStdString()}});
    else
        Note("open-failed",
             {{"device", request.device.toStdString()}, {"message", opened.message().toStdString()}});
    return opened;
}

void TracingLink::Close() {
    if (m_inner->IsOpen()) Note("close");
    m_inner->Close();
}

void TracingLink::WriteText(const QString& text) {
    WriteBytes(text.toLocal8Bit());
}

void TracingLink::WriteBytes(const QByteArray& bytes) {
    // A write to a closed port goes nowhere; the trace shows only what reached the line.
    if (m_writer && m_inner->IsOpen())
        m_writer->Bytes(m_port.toStdString(), trace::Direction::kTx, View(bytes));
    m_inner->WriteBytes(bytes);
}

QByteArray TracingLink::ReadAll() {
    QByteArray bytes = m_inner->ReadAll();
    if (m_writer) m_writer->Bytes(m_port.toStdString(), trace::Direction::kRx, View(bytes));
    return bytes;
}

}  // namespace corvat
