#pragma once

#include <QString>
#include <QStringList>

#include "platform/result.h"

namespace corvat::cli {

// One file however it is named: the canonical path of what exists, the clean absolute path otherwise.
QString SameFileKey(const QString& path);

// The device each -p text opens, in order. Two texts that reach one device (COM3 and the path its link
// points to, COM1 and COM01) are refused: the second would fight the first over one line.
Result<QStringList> PortDevices(const QStringList& ports, const QString& appDir);

// A file that an option writes (option names it in the refusal): refused when the name is empty, names the
// image or one of the port devices, or is something other than a regular file that exists already.
Result<> CheckOutputFile(const QString& option, const QString& path, const QString& image,
                         const QStringList& devices);

}  // namespace corvat::cli
