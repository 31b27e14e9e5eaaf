#pragma once

#include <QString>
#include <cstdint>

namespace corvat {

// The device a port-selector text opens. A text beginning with "/" is a device path, opened as it stands.
// Otherwise port n opens <appDir>ports/COMn when that exists (a link to any tty gives it a COM name), and
// /dev/ttyS<n-1> when it does not. Port 0 names a device that cannot exist, so that opening it fails with
// the serial layer's own text. appDir ends in "/".
QString DeviceForPort(const QString& portText, std::uint8_t portNumber, const QString& appDir);

// Why the device that DeviceForPort gave for portText does not exist, in the operator's terms: a device
// path is named as typed; a port name is named as typed, with the port number its last digit gave.
QString MissingPortHint(const QString& portText, std::uint8_t portNumber, const QString& device);

}  // namespace corvat
