#include "cli/port_listing.h"

#include <QJsonDocument>
#include <QJsonObject>

#include "cli/path_checks.h"
#include "serial/port_list.h"

namespace corvat::cli {

namespace {

QByteArray JsonLine(const ListedPort& port) {
    const QJsonObject object{{QStringLiteral("event"), QStringLiteral("port")},
                             {QStringLiteral("time"), UtcTimeText()},
                             {QStringLiteral("device"), port.device},
                             {QStringLiteral("product"), TextOrNull(port.product)},
                             {QStringLiteral("maker"), TextOrNull(port.maker)},
                             {QStringLiteral("vid_pid"), TextOrNull(VidPidText(port))},
                             {QStringLiteral("serial"), TextOrNull(port.serialNumber)},
                             {QStringLiteral("by_id"), TextOrNull(port.stableName)}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

QString HumanLine(const ListedPort& port) {
    QStringList parts = PortFacts(port);
    if (!port.stableName.isEmpty()) parts << QStringLiteral("固定名称 %1").arg(port.stableName);
    return parts.isEmpty() ? port.device + QLatin1Char('\n')
                           : QStringLiteral("%1：%2\n").arg(port.device, parts.join(QStringLiteral("，")));
}

}  // namespace

int ListPorts(std::FILE* out, bool json) {
    const std::vector<ListedPort> ports = ListSerialPorts();
    if (ports.empty() && !json) WriteOut(stderr, QStringLiteral("未发现任何串口设备。\n").toUtf8());
    for (const ListedPort& port : ports) WriteOut(out, json ? JsonLine(port) : HumanLine(port).toUtf8());
    return kExitFlashed;
}

AdapterIdentity AdapterIdentityOf(const QString& device) {
    // The port may be named through a COMn link or a by-id name: the listing names the device node itself.
    const QString key = SameFileKey(device);
    for (const ListedPort& port : ListSerialPorts())
        if (SameFileKey(port.device) == key) return {VidPidText(port), port.serialNumber, port.stableName};
    return {};
}

}  // namespace corvat::cli
