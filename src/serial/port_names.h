#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

#include "platform/result.h"
#include "serial/serial_link.h"

namespace corvat {

constexpr unsigned kLargestPortNumber = 255;

// The port number at the end of a port text: a single last digit gives its value ("COM3" gives 3, "COM0"
// gives 0), a number of two or more digits counts whole ("COM11" gives 11). None when the text is empty,
// ends in anything but an ASCII decimal digit, or ends in a number beyond kLargestPortNumber.
std::optional<std::uint8_t> PortNumberFromText(const QString& portText);

// Why a port text that names no port (empty, or no last digit) and is no device path is refused.
QString PortTextRefusal(const QString& portText);

// What opening portText asks for: the device it names and the terms to explain a failure in. A text that
// names no port (empty, or no last digit) and is no device path is refused with PortTextRefusal's text.
Result<PortRequest> PortRequestFor(const QString& portText, const QString& appDir);

// The folders whose COMn links name ports, in the order they are looked up, each ending in "/":
// <appDir>ports/, and before it the user's own $XDG_CONFIG_HOME/corvat/ports/ when the user cannot write to
// appDir.
QStringList PortLinkFolders(const QString& appDir);

// The device a port-selector text opens. A text beginning with "/" is a device path, opened as it stands.
// Otherwise port n opens the first ports/COMn that exists in PortLinkFolders (a link to any tty gives it a
// COM name), and /dev/ttyS<n-1> when there is none. Port 0 names a device that cannot exist, so that opening
// it fails with the serial layer's own text. appDir ends in "/".
QString DeviceForPort(const QString& portText, std::uint8_t portNumber, const QString& appDir);

// Why the device that DeviceForPort gave for portText does not exist, in the operator's terms: a device
// path is named as typed; a port name is named as typed, with the port number its last digit gave.
QString MissingPortHint(const QString& portText, std::uint8_t portNumber, const QString& device);

}  // namespace corvat
