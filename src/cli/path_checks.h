#pragma once

#include <QString>
#include <QStringList>

#include "platform/result.h"

namespace corvat::cli {

// One file however it is named: the canonical path of what exists; for a name not made yet, its folder's
// canonical path and the name.
QString SameFileKey(const QString& path);

// Whether two names lead to one file: the same key, or one file under two names (a hard link).
bool SameFile(const QString& a, const QString& b);

// The device each -p text opens, in order. Two texts that reach one device (COM3 and the path its link
// points to, COM1 and COM01) are refused: the second would fight the first over one line.
Result<QStringList> PortDevices(const QStringList& ports, const QString& appDir);

// A file that an option writes (option names it in the refusal): refused when the name is empty, names the
// image or one of the port devices, or is something other than a regular file that exists already.
Result<> CheckOutputFile(const QString& option, const QString& path, const QString& image,
                         const QStringList& devices);

// The trace: an output file as above, and not a symbolic link either, since it is opened without following
// one. Checked before any port is opened.
Result<> CheckTracePath(const QString& path, const QString& image, const QStringList& devices);

}  // namespace corvat::cli
