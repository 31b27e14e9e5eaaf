#include "cli/path_checks.h"

#include <QDir>
#include <QFileInfo>

#include "serial/port_names.h"

namespace corvat::cli {

QString SameFileKey(const QString& path) {
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
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
    const QString key = SameFileKey(path);
    if (key == SameFileKey(image))
        return Fail(FailureCode::kUnsafe,
                    QStringLiteral("%1 %2 就是映像文件，写进去会毁掉映像。").arg(option, path));
    for (const QString& device : devices)
        if (key == SameFileKey(device))
            return Fail(FailureCode::kUnsafe,
                        QStringLiteral("%1 %2 是要下载的串口设备，不能写进去。").arg(option, path));
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return Fail(
            FailureCode::kUnsafe,
            QStringLiteral("%1 %2 已存在，但不是普通文件（而是目录、设备或管道）。").arg(option, path));
    return {};
}

}  // namespace corvat::cli
