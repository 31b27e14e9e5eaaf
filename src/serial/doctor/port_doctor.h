#pragma once

#include <QList>
#include <QMap>
#include <QSerialPort>
#include <QString>
#include <QStringList>
#include <optional>

#include "platform/shell_quote.h"
#include "serial/port_list.h"
#include "serial/serial_link.h"

namespace corvat {

// Why a port would not open, in the terms the operator can act on.
enum class OpenFault { kMissing, kDenied, kBusy, kNoHardware, kOther };

using PresentPort = ListedPort;

struct GroupEntry {
    QString name;
    QStringList members;  // listed by name in the group database
};

// What the doctor reads of the system. ReadSurroundings fills it from the real one; tests give
// stand-ins, including folders that play /proc and the lock-file folders.
struct Surroundings {
    bool deviceExists = false;  // through links: a link to nothing does not exist
    bool accessDenied = false;  // the device's modes refuse this user reading and writing
    QList<PresentPort> ports;
    QString userName;
    unsigned userId = 0;
    unsigned primaryGroup = 0;      // the user's own group, from the user database
    QList<unsigned> sessionGroups;  // the groups this login session carries
    std::optional<unsigned> deviceGroup;
    unsigned deviceMode = 0;            // permission bits
    QMap<unsigned, GroupEntry> groups;  // the group database, as far as it matters here
    QString procRoot = QStringLiteral("/proc");
    QStringList lockFolders;
};

Surroundings ReadSurroundings(const QString& device);

OpenFault ClassifyOpenFault(QSerialPort::SerialPortError error, const QString& errorText,
                            const Surroundings& around);

// The cause and the fix, one paragraph a line; empty when there is nothing useful to add.
QString Diagnose(const PortRequest& request, OpenFault fault, const Surroundings& around);

// The folder in which the advice puts a port's COMn link: <appDir>ports/.
QString LinkFolderForAdvice(const QString& appDir);

}  // namespace corvat
