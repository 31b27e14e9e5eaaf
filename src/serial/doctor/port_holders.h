#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace corvat {

struct PortHolder {
    qint64 pid = 0;
    QString program;
};

struct HolderSearch {
    QList<PortHolder> holders;  // by process id, each once
    bool modemManagerRunning = false;
};

// Who holds a device open, as far as this user may look: processes whose open descriptors under
// procRoot lead to one of the device's paths, and live owners of serial lock files naming it.
HolderSearch FindHolders(const QStringList& devicePaths, const QString& procRoot,
                         const QStringList& lockFolders);

bool IsModemManager(const PortHolder& holder);

}  // namespace corvat
