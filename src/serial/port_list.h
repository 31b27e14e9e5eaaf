#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace corvat {

// A serial port with hardware behind it, as the kernel describes it in sysfs. Nothing here opens a port:
// opening one can toggle the modem lines of whatever hangs on it.
struct ListedPort {
    QString device;  // /dev/ttyUSB0
    QString product;
    QString maker;
    std::optional<quint16> vendorId;
    std::optional<quint16> productId;
    QString serialNumber;
    QString stableName;  // the link under /dev/serial/by-id that leads to it; empty when there is none
};

// "0403:6001", in lower-case hex as the kernel writes it; empty when the port has no USB identity.
QString VidPidText(const ListedPort& port);

// What the system says of the port, for people: product, maker, VID:PID and serial number, each where
// it is known.
QStringList PortFacts(const ListedPort& port);

// Where the listing looks; tests point these at a made-up tree.
struct PortListRoots {
    QString sysClassTty = QStringLiteral("/sys/class/tty");
    QString dev = QStringLiteral("/dev");
    QString consoles = QStringLiteral("/proc/consoles");
};

// The ports in device-name order (ttyUSB2 before ttyUSB10). Left out: ttys without a device (virtual
// terminals, pseudo-terminals), UART slots whose chip the kernel did not find (type 0), and every
// console the kernel writes to, which no download should disturb.
std::vector<ListedPort> ListSerialPorts(const PortListRoots& roots = {});

}  // namespace corvat
