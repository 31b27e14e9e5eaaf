#include "serial/doctor/port_holders.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <chrono>
#include <optional>

namespace corvat {

namespace {
// /proc/<pid>/comm holds at most 15 characters and a line end; a lock file a pid and a few short lines.
constexpr qsizetype kCommLimit = 64;
constexpr qsizetype kLockFileLimit = 256;
// The search gives up past this: the operator waits for the whole diagnosis, however many processes run.
constexpr std::chrono::milliseconds kSearchLimit{700};

struct SmallFile {
    QByteArray bytes;
    unsigned ownerId = 0;
};

// Regular files only, never through a link, and never waiting: a FIFO planted in a shared lock folder
// would otherwise hold the open for ever.
std::optional<SmallFile> ReadSmall(const QString& path, qsizetype limit) {
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat status {};
    std::optional<SmallFile> file;
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
        QByteArray bytes(limit, '\0');
        const ssize_t length = ::read(fd, bytes.data(), static_cast<size_t>(limit));
        if (length >= 0) file = SmallFile{bytes.left(length), static_cast<unsigned>(status.st_uid)};
    }
    ::close(fd);
    return file;
}

QString ProcessFolder(const QString& procRoot, qint64 pid) {
    return procRoot + QLatin1Char('/') + QString::number(pid);
}

struct Process {
    qint64 pid = 0;
    QString name;
    unsigned ownerId = 0;
};

std::optional<Process> ReadProcess(const QString& procRoot, qint64 pid) {
    const std::optional<SmallFile> comm =
        ReadSmall(ProcessFolder(procRoot, pid) + QStringLiteral("/comm"), kCommLimit);
    if (!comm) return std::nullopt;
    return Process{pid, PrintableOnly(QString::fromUtf8(comm->bytes).trimmed()), comm->ownerId};
}

QString LinkTarget(const QByteArray& path) {
    char target[4096];
    const ssize_t length = ::readlink(path.constData(), target, sizeof target);
    return length > 0 ? QString::fromLocal8Bit(target, static_cast<int>(length)) : QString();
}

bool HoldsAny(const QString& procRoot, qint64 pid, const QSet<QString>& paths) {
    const QByteArray fdFolder = QFile::encodeName(ProcessFolder(procRoot, pid) + QStringLiteral("/fd"));
    DIR* folder = ::opendir(fdFolder.constData());
    if (folder == nullptr) return false;
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

bool Known(const QList<PortHolder>& holders, qint64 pid) {
    return std::any_of(holders.cbegin(), holders.cend(),
                       [pid](const PortHolder& holder) { return holder.pid == pid; });
}

// The lock's process is named only when both the lock and the process are the operator's own.
void AddLock(const QString& path, const QString& procRoot, unsigned userId, HolderSearch& search) {
    const std::optional<SmallFile> lock = ReadSmall(path, kLockFileLimit);
    if (!lock) return;
    bool number = false;
    const qint64 pid = lock->bytes.split('\n').value(0).trimmed().toLongLong(&number);
    if (!number || pid <= 0) return;
    if (!QFileInfo::exists(ProcessFolder(procRoot, pid))) {
        // The operator's own stale lock is removed by the serial layer itself; one it cannot remove stays.
        if (lock->ownerId != userId) search.staleLocks << StaleLock{path, pid, lock->ownerId};
        return;
    }
    if (Known(search.holders, pid)) return;
    const std::optional<Process> process = ReadProcess(procRoot, pid);
    const bool own = lock->ownerId == userId && process && process->ownerId == userId;
    search.holders << PortHolder{pid, own ? process->name : QString(), path};
}
}  // namespace

QString PrintableOnly(const QString& text) {
    QString printable;
    for (const QChar c : text) {
        if (c.isPrint()) printable += c;
    }
    return printable;
}

bool IsModemManager(const PortHolder& holder) {
    return holder.program == QStringLiteral("ModemManager");
}

HolderSearch FindHolders(const QStringList& devicePaths, const QString& procRoot,
                         const QStringList& lockFolders, unsigned userId) {
    HolderSearch search;
    const QSet<QString> paths(devicePaths.cbegin(), devicePaths.cend());
    const QDeadlineTimer deadline(kSearchLimit);
    for (const qint64 pid : ProcessIds(procRoot)) {
        if (deadline.hasExpired()) break;
        const std::optional<Process> process = ReadProcess(procRoot, pid);
        if (!process) continue;
        // ModemManager runs as root; another user's process of that name is no sign of it.
        const bool trusted = process->ownerId == 0 || process->ownerId == userId;
        if (trusted && process->name == QStringLiteral("ModemManager")) search.modemManagerRunning = true;
        if (process->ownerId != userId) continue;  // another user's: not ours to look into
        if (HoldsAny(procRoot, pid, paths)) search.holders << PortHolder{pid, process->name, {}};
    }
    for (const QString& folder : lockFolders) {
        for (const QString& name : LockNames(devicePaths))
            AddLock(folder + QLatin1Char('/') + name, procRoot, userId, search);
    }
    return search;
}

}  // namespace corvat
