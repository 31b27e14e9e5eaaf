#include "platform/port_names.h"

#include <QFileInfo>

namespace corvat {

QString DeviceForPort(const QString& portText, std::uint8_t portNumber, const QString& appDir) {
    if (portText.startsWith(QLatin1Char('/'))) return portText;
    // /dev/ttyS-1 follows the numbering below and no driver creates it.
    if (portNumber == 0) return QStringLiteral("/dev/ttyS-1");
    const QString named = appDir + QStringLiteral("ports/COM") + QString::number(portNumber);
    // A dangling link is still the operator's choice: opening it must fail, not fall through to another
    // device that happens to exist.
    const QFileInfo info(named);
    if (info.exists() || info.isSymLink()) return named;
    return QStringLiteral("/dev/ttyS") + QString::number(portNumber - 1);
}

}  // namespace corvat
