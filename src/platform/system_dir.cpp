#include "platform/system_dir.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cerrno>
#include <cstring>

namespace corvat {
namespace {

constexpr mode_t kPrivateMode = 0700;
// The random part that QTemporaryFile and mkstemp put in place of "XXXXXX".
constexpr qsizetype kTemporarySuffixLength = 6;

const QString kNotRegularFile = QStringLiteral("不是普通文件（可能是管道或设备），拒绝读取");

// name + "." + six letters or digits: the only shape our temporaries take.
bool IsTemporaryOf(const QString& entry, const QString& name) {
    const QString prefix = name + QLatin1Char('.');
    if (entry.size() != prefix.size() + kTemporarySuffixLength || !entry.startsWith(prefix)) return false;
    for (const QChar c : entry.sliced(prefix.size())) {
        if (c.unicode() > 0x7F || !c.isLetterOrNumber()) return false;
    }
    return true;
}

QString SystemError(const QString& what, const QString& path) {
    return QStringLiteral("%1 %2：%3").arg(what, path, QString::fromLocal8Bit(std::strerror(errno)));
}

Failure SystemFailure(const QString& what, const QString& path) {
    const FailureCode code = errno == ENOENT                     ? FailureCode::kNotFound
                             : errno == EACCES || errno == EPERM ? FailureCode::kNotAllowed
                                                                 : FailureCode::kIo;
    return Fail(code, SystemError(what, path));
}

constexpr mode_t kWritableByOthers = S_IWGRP | S_IWOTH;

}  // namespace

QString DefaultSystemDirPath() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && CheckOwnPrivateFolder(runtime))
        return QDir(runtime).filePath(QStringLiteral("corvat"));
    return QDir(QDir::tempPath()).filePath(QStringLiteral("corvat-%1").arg(::geteuid()));
}

Result<QString> PrepareSystemDir(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), kPrivateMode) != 0 && errno != EEXIST)
        return SystemFailure(QStringLiteral("无法建立系统目录"), path);
    struct stat status {};
    if (::lstat(native.constData(), &status) != 0)
        return SystemFailure(QStringLiteral("无法检查系统目录"), path);
    if (S_ISLNK(status.st_mode))
        return Fail(FailureCode::kUnsafe, QStringLiteral("系统目录 %1 是符号链接，拒绝使用").arg(path));
    if (!S_ISDIR(status.st_mode))
        return Fail(FailureCode::kUnsafe, QStringLiteral("系统目录 %1 不是文件夹，拒绝使用").arg(path));
    if (status.st_uid != ::geteuid())
        return Fail(FailureCode::kUnsafe, QStringLiteral("系统目录 %1 属于其他用户，拒绝使用").arg(path));
    if ((status.st_mode & 07777) != kPrivateMode && ::chmod(native.constData(), kPrivateMode) != 0)
        return SystemFailure(QStringLiteral("无法设置系统目录权限"), path);
    return path;
}

Result<QString> PlatformSystemDir() {
    return PrepareSystemDir(DefaultSystemDirPath());
}

Result<> CheckOwnPrivateFolder(const QString& path) {
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return SystemFailure(QStringLiteral("无法检查文件夹"), path);
    if (!S_ISDIR(status.st_mode))
        return Fail(FailureCode::kUnsafe, QStringLiteral("%1 不是文件夹").arg(path));
    if (status.st_uid != ::geteuid())
        return Fail(FailureCode::kUnsafe, QStringLiteral("文件夹 %1 属于其他用户").arg(path));
    if ((status.st_mode & kWritableByOthers) != 0)
        return Fail(FailureCode::kUnsafe, QStringLiteral("文件夹 %1 允许其他用户写入").arg(path));
    return {};
}

Result<> OpenRegularFile(QFile& file) {
    const QFileInfo info(file.fileName());
    if (info.exists() && !info.isFile()) return Fail(FailureCode::kUnsafe, kNotRegularFile);
    // Non-blocking, so that a FIFO put in place after the check above still cannot hold the open.
    const int fd = ::open(QFile::encodeName(file.fileName()).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const FailureCode code = errno == ENOENT   ? FailureCode::kNotFound
                                 : errno == EACCES ? FailureCode::kNotAllowed
                                                   : FailureCode::kIo;
        return Fail(code, QString::fromLocal8Bit(std::strerror(errno)));
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return Fail(FailureCode::kUnsafe, kNotRegularFile);
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return Fail(FailureCode::kIo, file.errorString());
    }
    return {};
}

Result<> SyncFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return SystemFailure(QStringLiteral("无法同步文件夹"), folder);
    const bool synced = ::fsync(fd) == 0;
    const Failure failure = synced ? Failure{} : SystemFailure(QStringLiteral("无法同步文件夹"), folder);
    ::close(fd);
    if (!synced) return failure;
    return {};
}

void RemoveConverterFiles(const QString& folder) {
    if (folder.isEmpty()) return;
    const QDir dir(folder);
    const QStringList names = {QString::fromLatin1(kConverterOutputName),
                               QString::fromLatin1(kConverterFileName),
                               QString::fromLatin1(kConverterInputName)};
    for (const QString& name : names) {
        QFile file(dir.filePath(name));
        if (file.exists()) file.remove();
    }
    // The converter writes its output under a hidden name beside it; the copies use a visible one.
    const QStringList temporaryOf = {names[1], names[2], QLatin1Char('.') + names[0]};
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& entry : entries) {
        for (const QString& name : temporaryOf) {
            if (IsTemporaryOf(entry, name)) QFile::remove(dir.filePath(entry));
        }
    }
}

Result<> CopyReplacing(const QString& source, const QString& target) {
    QFile input(source);
    if (const Result<> opened = OpenRegularFile(input); !opened)
        return Fail(opened.code(), QStringLiteral("无法读取 %1：%2").arg(source, opened.message()));
    // Created exclusively, so a name planted beside the target is never written through.
    QTemporaryFile copy(target + QStringLiteral(".XXXXXX"));
    if (!copy.open())
        return Fail(FailureCode::kIo, QStringLiteral("无法写入 %1：%2").arg(target, copy.errorString()));
    const QByteArray bytes = input.readAll();
    if (copy.write(bytes) != bytes.size() || !copy.flush() || !copy.setPermissions(input.permissions()))
        return Fail(FailureCode::kIo, QStringLiteral("无法写入 %1：%2").arg(target, copy.errorString()));
    copy.close();
    if (::rename(QFile::encodeName(copy.fileName()).constData(), QFile::encodeName(target).constData()) != 0)
        return SystemFailure(QStringLiteral("无法替换"), target);
    copy.setAutoRemove(false);
    return SyncFolder(QFileInfo(target).path());
}

}  // namespace corvat
