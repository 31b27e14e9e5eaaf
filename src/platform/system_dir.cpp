#include "platform/system_dir.h"

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

QString SystemError(const QString& what, const QString& path) {
    return QStringLiteral("%1 %2：%3").arg(what, path, QString::fromLocal8Bit(std::strerror(errno)));
}

}  // namespace

QString DefaultSystemDirPath() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty()) return QDir(runtime).filePath(QStringLiteral("corvat"));
    return QDir(QDir::tempPath()).filePath(QStringLiteral("corvat-%1").arg(::geteuid()));
}

SystemDir PrepareSystemDir(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), kPrivateMode) != 0 && errno != EEXIST)
        return {{}, SystemError(QStringLiteral("无法建立系统目录"), path)};
    struct stat status {};
    if (::lstat(native.constData(), &status) != 0)
        return {{}, SystemError(QStringLiteral("无法检查系统目录"), path)};
    if (S_ISLNK(status.st_mode)) return {{}, QStringLiteral("系统目录 %1 是符号链接，拒绝使用").arg(path)};
    if (!S_ISDIR(status.st_mode)) return {{}, QStringLiteral("系统目录 %1 不是文件夹，拒绝使用").arg(path)};
    if (status.st_uid != ::geteuid())
        return {{}, QStringLiteral("系统目录 %1 属于其他用户，拒绝使用").arg(path)};
    if ((status.st_mode & 07777) != kPrivateMode && ::chmod(native.constData(), kPrivateMode) != 0)
        return {{}, SystemError(QStringLiteral("无法设置系统目录权限"), path)};
    return {path, {}};
}

SystemDir PlatformSystemDir() {
    return PrepareSystemDir(DefaultSystemDirPath());
}

QString CopyReplacing(const QString& source, const QString& target) {
    QFile input(source);
    if (!input.open(QIODevice::ReadOnly))
        return QStringLiteral("无法读取 %1：%2").arg(source, input.errorString());
    QTemporaryFile copy(target + QStringLiteral(".XXXXXX"));
    if (!copy.open()) return QStringLiteral("无法写入 %1：%2").arg(target, copy.errorString());
    const QByteArray bytes = input.readAll();
    if (copy.write(bytes) != bytes.size() || !copy.flush() || !copy.setPermissions(input.permissions()))
        return QStringLiteral("无法写入 %1：%2").arg(target, copy.errorString());
    copy.close();
    if (::rename(QFile::encodeName(copy.fileName()).constData(), QFile::encodeName(target).constData()) != 0)
        return SystemError(QStringLiteral("无法替换"), target);
    copy.setAutoRemove(false);
    return {};
}

}  // namespace corvat
