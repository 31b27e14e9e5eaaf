#include "serial/port_list.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <algorithm>

namespace corvat {

namespace {
// Every attribute read here is a line of a few dozen bytes.
constexpr qint64 kAttributeLimit = 512;
// A tty sits a few levels below its USB device: the interface, sometimes a port folder between.
constexpr int kMostLevelsToUsbDevice = 6;
// The kernel's PORT_UNKNOWN: a legacy UART slot with no chip found behind it.
const QString kNoUart = QStringLiteral("0");

QString ReadAttribute(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.read(kAttributeLimit)).trimmed();
}

// /sys/class/tty/console/active names the consoles in use; /proc/consoles lists every registered one.
QSet<QString> ConsoleNames(const PortListRoots& roots) {
    QSet<QString> names;
    const QString active = ReadAttribute(roots.sysClassTty + QStringLiteral("/console/active"));
    for (const QString& name : active.split(QLatin1Char(' '), Qt::SkipEmptyParts)) names.insert(name);
    QFile consoles(roots.consoles);
    if (!consoles.open(QIODevice::ReadOnly)) return names;
    for (const QByteArray& line : consoles.read(kAttributeLimit * 8).split('\n')) {
        const QByteArray name = line.trimmed().split(' ').value(0);
        if (!name.isEmpty()) names.insert(QString::fromUtf8(name));
    }
    return names;
}

std::optional<quint16> HexId(const QString& text) {
    bool ok = false;
    const uint value = text.toUInt(&ok, 16);
    if (!ok || value > 0xFFFF) return std::nullopt;
    return static_cast<quint16>(value);
}

// The USB device above the tty, found by walking up to the first folder that carries a vendor id.
void AddUsbFacts(const QString& deviceFolder, ListedPort& port) {
    QDir folder(QFileInfo(deviceFolder).canonicalFilePath());
    if (folder.path().isEmpty()) return;
    for (int level = 0; level < kMostLevelsToUsbDevice; ++level) {
        if (folder.exists(QStringLiteral("idVendor"))) {
            port.vendorId = HexId(ReadAttribute(folder.filePath(QStringLiteral("idVendor"))));
            port.productId = HexId(ReadAttribute(folder.filePath(QStringLiteral("idProduct"))));
            port.product = ReadAttribute(folder.filePath(QStringLiteral("product")));
            port.maker = ReadAttribute(folder.filePath(QStringLiteral("manufacturer")));
            port.serialNumber = ReadAttribute(folder.filePath(QStringLiteral("serial")));
            return;
        }
        if (!folder.cdUp()) return;
    }
}

// Links under by-id are relative ("../../ttyUSB0"); Qt resolves them against the link's folder.
QString StableNameOf(const QString& device, const QString& byIdFolder) {
    const QDir folder(byIdFolder);
    const QStringList names =
        folder.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : names) {
        const QString link = folder.filePath(name);
        const QString target = QFileInfo(link).symLinkTarget();
        if (!target.isEmpty() && QDir::cleanPath(target) == device) return link;
    }
    return {};
}

// ttyUSB2 before ttyUSB10: the trailing number counts as a number.
bool ComesBefore(const ListedPort& a, const ListedPort& b) {
    const auto split = [](const QString& device) {
        qsizetype digits = device.size();
        while (digits > 0 && device.at(digits - 1).isDigit()) --digits;
        return std::pair{device.left(digits), device.mid(digits).toULongLong()};
    };
    return split(a.device) < split(b.device);
}
}  // namespace

std::vector<ListedPort> ListSerialPorts(const PortListRoots& roots) {
    const QSet<QString> consoles = ConsoleNames(roots);
    const QDir ttys(roots.sysClassTty);
    const QString byId = roots.dev + QStringLiteral("/serial/by-id");
    std::vector<ListedPort> ports;
    for (const QString& name : ttys.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString folder = ttys.filePath(name);
        const QString deviceFolder = folder + QStringLiteral("/device");
        if (!QFileInfo::exists(deviceFolder) || consoles.contains(name)) continue;
        if (ReadAttribute(folder + QStringLiteral("/type")) == kNoUart) continue;
        ListedPort port;
        port.device = QDir::cleanPath(roots.dev + QLatin1Char('/') + name);
        AddUsbFacts(deviceFolder, port);
        port.stableName = StableNameOf(port.device, byId);
        ports.push_back(port);
    }
    std::sort(ports.begin(), ports.end(), ComesBefore);
    return ports;
}

QString VidPidText(const ListedPort& port) {
    if (!port.vendorId || !port.productId) return {};
    return QStringLiteral("%1:%2")
        .arg(*port.vendorId, 4, 16, QLatin1Char('0'))
        .arg(*port.productId, 4, 16, QLatin1Char('0'));
}

QStringList PortFacts(const ListedPort& port) {
    QStringList facts;
    for (const QString& fact : {port.product, port.maker, VidPidText(port)})
        if (!fact.isEmpty()) facts << fact;
    if (!port.serialNumber.isEmpty()) facts << QStringLiteral("序列号 ") + port.serialNumber;
    return facts;
}

}  // namespace corvat
