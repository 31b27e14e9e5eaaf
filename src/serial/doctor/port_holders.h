#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace corvat {

struct PortHolder {
    qint64 pid = 0;
    QString program;   // the short process name, printable characters only; empty for another user's
    QString lockFile;  // the lock file it was found through; empty when seen holding the device
};

// A lock file whose process has ended but which the operator cannot remove: it keeps the port closed to
// every program that honours locks until its owner or root deletes it.
struct StaleLock {
    QString path;
    qint64 pid = 0;
    unsigned ownerId = 0;
};

struct HolderSearch {
    QList<PortHolder> holders;  // by process id, each once
    QList<StaleLock> staleLocks;
    bool modemManagerRunning = false;
};

// Who holds a device open, as far as this user may look: the user's own processes whose open descriptors
// under procRoot lead to one of the device's paths, and live owners of serial lock files naming it.
// Nothing another user controls is read beyond a lock file's process number, and no read can block.
HolderSearch FindHolders(const QStringList& devicePaths, const QString& procRoot,
                         const QStringList& lockFolders, unsigned userId);

bool IsModemManager(const PortHolder& holder);

// The text without control, format and other characters that do not print, so that a name another
// program chose cannot move the cursor, write the clipboard or break a line.
QString PrintableOnly(const QString& text);

}  // namespace corvat
