#include "platform/loader_folder.h"

#include <sys/stat.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QRegularExpression>
#include <QSet>
#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/system_dir.h"

namespace corvat {
namespace {

constexpr mode_t kPrivateMode = 0700;
// A name is taken only while a process of our number that is not us keeps its lock; it never takes many.
constexpr int kMostNameTries = 1000;
const QString kLockSuffix = QStringLiteral(".lock");

// Numbers are never reused within a process, so two windows of one process never meet either.
std::atomic<int> s_nextNumber{0};

const QRegularExpression& LoaderName() {
    static const QRegularExpression name(QStringLiteral("^(loader-[0-9]+-[0-9]+)(\\.lock)?$"));
    return name;
}

// A claim lives as long as the loader, however long that is; only a lock whose owner is gone is stale.
std::unique_ptr<QLockFile> MakeLock(const QString& path) {
    auto lock = std::make_unique<QLockFile>(path);
    lock->setStaleLockTime(0);
    return lock;
}

// A folder and all in it; a link or file in its place goes alone, never what a link points to.
void RemoveTree(const QString& path) {
    struct stat status {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0) return;
    if (S_ISDIR(status.st_mode)) {
        QDir(path).removeRecursively();
    } else {
        QFile::remove(path);
    }
}

}  // namespace

LoaderFolder::LoaderFolder() = default;

LoaderFolder::~LoaderFolder() {
    Release();
}

QString LoaderFolder::Claim(const QString& privateFolder) {
    Release();
    RemoveFoldersOfEndedLoaders(privateFolder);
    const QDir parent(privateFolder);
    for (int attempt = 0; attempt < kMostNameTries; ++attempt) {
        const QString name =
            QStringLiteral("loader-%1-%2").arg(QCoreApplication::applicationPid()).arg(s_nextNumber++);
        auto lock = MakeLock(parent.filePath(name + kLockSuffix));
        if (!lock->tryLock(0)) {
            if (lock->error() == QLockFile::LockFailedError) continue;
            return QStringLiteral("无法锁定转换文件夹 %1").arg(parent.filePath(name));
        }
        const QString path = parent.filePath(name);
        // Left by an ended loader that had our process number.
        RemoveTree(path);
        if (::mkdir(QFile::encodeName(path).constData(), kPrivateMode) != 0)
            return QStringLiteral("无法建立转换文件夹 %1：%2")
                .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        m_lock = std::move(lock);
        m_path = path;
        return {};
    }
    return QStringLiteral("无法在 %1 中建立转换文件夹").arg(privateFolder);
}

void LoaderFolder::Release() {
    if (!m_path.isEmpty()) {
        RemoveConverterFiles(m_path);
        RemoveTree(m_path);  // and anything else a converter left in it
    }
    m_path.clear();
    m_lock.reset();  // unlocks
}

void RemoveFoldersOfEndedLoaders(const QString& privateFolder) {
    const QDir parent(privateFolder);
    QSet<QString> names;
    const QStringList entries =
        parent.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        const QRegularExpressionMatch match = LoaderName().match(entry);
        if (match.hasMatch()) names.insert(match.captured(1));
    }
    for (const QString& name : names) {
        // The lock can be had only when its loader has ended; holding it keeps the name from being claimed
        // while the folder goes.
        const auto lock = MakeLock(parent.filePath(name + kLockSuffix));
        if (!lock->tryLock(0)) continue;
        RemoveTree(parent.filePath(name));
    }
}

}  // namespace corvat
