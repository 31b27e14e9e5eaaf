#include "serial/doctor/port_holders.h"

#include <dirent.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <algorithm>

namespace corvat {

namespace {
// The kernel keeps a process's name to this many characters.
constexpr int kCommLength = 15;
constexpr qint64 kLockFileLimit = 256;

QString ProcessFolder(const QString& procRoot, qint64 pid) {
    return procRoot + QLatin1Char('/') + QString::number(pid);
}

QByteArray ReadSmall(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.read(kLockFileLimit * 16);
}

QString ProgramName(const QString& procRoot, qint64 pid) {
    const QString folder = ProcessFolder(procRoot, pid);
    const QString comm = QString::fromLocal8Bit(ReadSmall(folder + QStringLiteral("/comm"))).trimmed();
    if (comm.size() < kCommLength) return comm;
    // A cut name is completed from the program's path, which a process may have rewritten: only a
    // path whose file name continues the cut name is taken.
    const QByteArray argv0 = ReadSmall(folder + QStringLiteral("/cmdline")).split('\0').value(0);
    const QString full = QFileInfo(QString::fromLocal8Bit(argv0)).fileName();
    return full.startsWith(comm) ? full : comm;
}

QString LinkTarget(const QByteArray& path) {
    char target[4096];
    const ssize_t length = ::readlink(path.constData(), target, sizeof target);
    return length > 0 ? QString::fromLocal8Bit(target, static_cast<int>(length)) : QString();
}

bool HoldsAny(const QString& procRoot, qint64 pid, const QSet<QString>& paths) {
    const QByteArray fdFolder = QFile::encodeName(ProcessFolder(procRoot, pid) + QStringLiteral("/fd"));
    DIR* folder = ::opendir(fdFolder.constData());
    if (folder == nullptr) return false;  // another user's process: not ours to look into
    bool holds = false;
    while (const dirent* entry = ::readdir(folder)) {
        if (entry->d_name[0] == '.') continue;
        if (paths.contains(LinkTarget(fdFolder + '/' + entry->d_name))) {
            holds = true;
            break;
        }
    }
    ::closedir(folder);
    return holds;
}

QList<qint64> ProcessIds(const QString& procRoot) {
    QList<qint64> pids;
    for (const QString& name : QDir(procRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool number = false;
        const qint64 pid = name.toLongLong(&number);
        if (number && pid > 0) pids << pid;
    }
    return pids;
}

// Lock-file names as serial programs make them: the device without "/dev/", every "/" as "_", and
// the plain file name that older programs use.
QStringList LockNames(const QStringList& devicePaths) {
    QStringList names;
    for (const QString& path : devicePaths) {
        QString name = path.startsWith(QStringLiteral("/dev/")) ? path.mid(5) : path;
        names << QStringLiteral("LCK..") + name.replace(QLatin1Char('/'), QLatin1Char('_'));
        names << QStringLiteral("LCK..") + QFileInfo(path).fileName();
    }
    names.removeDuplicates();
    return names;
}

void AddLockHolders(const QStringList& devicePaths, const QString& procRoot, const QStringList& lockFolders,
                    QList<PortHolder>& holders) {
    for (const QString& folder : lockFolders) {
        for (const QString& name : LockNames(devicePaths)) {
            const QByteArray text = ReadSmall(folder + QLatin1Char('/') + name).left(kLockFileLimit);
            const QList<QByteArray> lines = text.split('\n');
            bool number = false;
            const qint64 pid = lines.value(0).trimmed().toLongLong(&number);
            // A lock whose owner has gone is stale and holds nothing.
            if (!number || pid <= 0 || !QFileInfo::exists(ProcessFolder(procRoot, pid))) continue;
            const bool known = std::any_of(holders.cbegin(), holders.cend(),
                                           [pid](const PortHolder& holder) { return holder.pid == pid; });
            if (known) continue;
            QString program = ProgramName(procRoot, pid);
            if (program.isEmpty()) program = QString::fromLocal8Bit(lines.value(1)).trimmed();
            holders << PortHolder{pid, program};
        }
    }
}
}  // namespace

bool IsModemManager(const PortHolder& holder) {
    return holder.program == QStringLiteral("ModemManager");
}

HolderSearch FindHolders(const QStringList& devicePaths, const QString& procRoot,
                         const QStringList& lockFolders) {
    HolderSearch search;
    const QSet<QString> paths(devicePaths.cbegin(), devicePaths.cend());
    for (const qint64 pid : ProcessIds(procRoot)) {
        const PortHolder process{pid, ProgramName(procRoot, pid)};
        if (IsModemManager(process)) search.modemManagerRunning = true;
        if (HoldsAny(procRoot, pid, paths)) search.holders << process;
    }
    AddLockHolders(devicePaths, procRoot, lockFolders, search.holders);
    return search;
}

}  // namespace corvat
