#include "cli/path_checks.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "serial/port_names.h"

namespace corvat::cli {

QString SameFileKey(const QString& path) {
    const QFileInfo info(path);
    if (info.exists()) return info.canonicalFilePath();
    const QString folder = info.absoluteDir().canonicalPath();
    return folder.isEmpty() ? QDir::cleanPath(info.absoluteFilePath())
                            : folder + QLatin1Char('/') + info.fileName();
}

bool SameFile(const QString& a, const QString& b) {
    if (SameFileKey(a) == SameFileKey(b)) return true;
    struct stat first {};
    struct stat second {};
    if (::stat(QFile::encodeName(a).constData(), &first) != 0) return false;
    if (::stat(QFile::encodeName(b).constData(), &second) != 0) return false;
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

Result<QStringList> PortDevices(const QStringList& ports, const QString& appDir) {
    QStringList devices;
    QStringList keys;
    for (const QString& port : ports) {
        const Result<PortRequest> request = PortRequestFor(port, appDir);
        if (!request) return request.failure();
        const QString key = SameFileKey(request->device);
        if (const qsizetype earlier = keys.indexOf(key); earlier >= 0)
            return Fail(FailureCode::kInvalid,
                        QStringLiteral("串口 %1 和 %2 是同一个设备 %3，一个串口只能给一次。")
                            .arg(ports[earlier], port, key));
        devices << request->device;
        keys << key;
    }
    return devices;
}

Result<> CheckOutputFile(const QString& option, const QString& path, const QString& image,
                         const QStringList& devices) {
    if (path.isEmpty()) return Fail(FailureCode::kInvalid, QStringLiteral("%1 的文件名为空。").arg(option));
    if (SameFile(path, image))
        return Fail(FailureCode::kUnsafe,
                    QStringLiteral("%1 %2 就是映像文件，写进去会毁掉映像。").arg(option, path));
    for (const QString& device : devices)
        if (SameFile(path, device))
            return Fail(FailureCode::kUnsafe,
                        QStringLiteral("%1 %2 是要下载的串口设备，不能写进去。").arg(option, path));
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return Fail(
            FailureCode::kUnsafe,
            QStringLiteral("%1 %2 已存在，但不是普通文件（而是目录、设备或管道）。").arg(option, path));
    return {};
}

Result<> CheckTracePath(const QString& path, const QString& image, const QStringList& devices) {
    if (const Result<> usable = CheckOutputFile(QStringLiteral("--trace"), path, image, devices); !usable)
        return usable;
    if (QFileInfo(path).isSymLink())
        return Fail(FailureCode::kUnsafe,
                    QStringLiteral("跟踪文件 %1 是符号链接：请给出文件本身的路径。").arg(path));
    return {};
}

}  // namespace corvat::cli
