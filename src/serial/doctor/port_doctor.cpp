#include "serial/doctor/port_doctor.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>

#include "serial/doctor/port_holders.h"
#include "serial/port_names.h"

namespace corvat {

namespace {
const QString kIndent = QStringLiteral("  ");

QString SystemText(int code) {
    return qt_error_string(code);
}

// Quoted for a POSIX shell only where needed, so that a folder with blanks still pastes as one word.
QString ShellQuoted(const QString& path) {
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./:@%+,=-]+$"));
    if (plain.match(path).hasMatch()) return path;
    QString quoted = path;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString Hex4(quint16 value) {
    return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0'));
}

bool IsComName(const PortRequest& request) {
    return !request.text.startsWith(QLatin1Char('/')) && request.number > 0;
}

// The name under /dev/serial/by-id that leads to the device, which stays the same when the adapter is
// plugged into another socket or the ttyUSB numbers shift.
QString StableName(const QString& device, const QString& byIdFolder) {
    const QDir folder(byIdFolder);
    for (const QString& name : folder.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        const QString link = folder.filePath(name);
        const QString target = QFileInfo(link).symLinkTarget();
        if (!target.isEmpty() && QDir::cleanPath(target) == QDir::cleanPath(device)) return link;
    }
    return {};
}

QStringList PortDevices(const QList<PresentPort>& ports) {
    QStringList devices;
    for (const PresentPort& port : ports) devices << port.device;
    return devices;
}

QString PortLine(const PresentPort& port) {
    QStringList facts;
    if (!port.description.isEmpty()) facts << port.description;
    if (!port.maker.isEmpty()) facts << port.maker;
    if (port.vendorId && port.productId)
        facts << Hex4(*port.vendorId) + QLatin1Char(':') + Hex4(*port.productId);
    if (!port.serialNumber.isEmpty()) facts << QStringLiteral("序列号 ") + port.serialNumber;
    if (facts.isEmpty()) return kIndent + port.device;
    return kIndent + port.device + QStringLiteral("：") + facts.join(QStringLiteral("，"));
}

QStringList LinkCommands(const PortRequest& request, const QStringList& targets) {
    const QString folder = LinkFolderForAdvice(request.appDir);
    const QString link = ShellQuoted(folder + QStringLiteral("COM") + QString::number(request.number));
    const QString prepare = QFileInfo(folder).isDir()
                                ? QString()
                                : QStringLiteral("mkdir -p ") + ShellQuoted(folder) + QStringLiteral(" && ");
    QStringList commands;
    for (const QString& target : targets)
        commands << kIndent + prepare + QStringLiteral("ln -sf ") + ShellQuoted(target) + QLatin1Char(' ') +
                        link;
    return commands;
}

// The ports that are present, and how to reach one of them under the name the operator typed.
QStringList PresentPortsText(const PortRequest& request, const Surroundings& around) {
    if (around.ports.isEmpty())
        return {QStringLiteral(
            "未发现任何串口设备。请检查 USB 线和串口适配器是否插好；插好后应出现 /dev/ttyUSB0 或 "
            "/dev/ttyACM0 这样的设备。")};
    QStringList lines{QStringLiteral("当前存在的串口：")};
    QStringList targets;
    for (const PresentPort& port : around.ports) {
        lines << PortLine(port);
        const QString stable = StableName(port.device, around.byIdFolder);
        if (!stable.isEmpty()) lines << kIndent + kIndent + QStringLiteral("固定名称：") + stable;
        targets << (stable.isEmpty() ? port.device : stable);
    }
    if (!IsComName(request)) {
        const bool stable = targets != PortDevices(around.ports);
        lines << (stable
                      ? QStringLiteral("请在端口框中填写其中一个设备路径（固定名称在重新插拔后也不会变）。")
                      : QStringLiteral("请在端口框中填写其中一个设备路径。"));
        return lines;
    }
    lines << (targets.size() == 1
                  ? QStringLiteral("要让“%1”打开它，请在终端执行：").arg(request.text)
                  : QStringLiteral("要让“%1”打开其中一个，请在终端执行对应的一行：").arg(request.text));
    return lines + LinkCommands(request, targets);
}

QStringList MissingText(const PortRequest& request, const Surroundings& around) {
    QStringList lines{MissingPortHint(request.text, request.number, request.device)};
    const QFileInfo info(request.device);
    if (info.isSymLink())
        lines << QStringLiteral("%1 是指向 %2 的链接，而 %2 不存在（适配器没有插上，或者换了名称）。")
                     .arg(request.device, info.symLinkTarget());
    return lines + PresentPortsText(request, around);
}

QStringList NoHardwareText(const PortRequest& request, const Surroundings& around) {
    QStringList lines{
        QStringLiteral("%1 处没有串口硬件：这台电脑在这个名称下没有串口芯片。").arg(request.device)};
    if (IsComName(request) && !request.device.startsWith(LinkFolderForAdvice(request.appDir)))
        lines << QStringLiteral("“%1”在 %2 中没有链接，所以打开的是传统串口名 %3。")
                     .arg(request.text, LinkFolderForAdvice(request.appDir), request.device);
    return lines + PresentPortsText(request, around);
}

bool InDatabaseGroup(const Surroundings& around, unsigned group) {
    if (around.primaryGroup == group) return true;
    return around.groups.value(group).members.contains(around.userName);
}

QStringList DeniedText(const PortRequest& request, const Surroundings& around) {
    const QString& device = request.device;
    const std::optional<unsigned> group = around.deviceGroup;
    const QString name = group && around.groups.contains(*group) ? around.groups.value(*group).name
                                                                 : QStringLiteral("dialout");
    if (group && *group == 0)
        return {
            QStringLiteral(
                "没有权限打开串口 %1：它只允许 root 使用。请管理员把它交给 dialout 组（例如 udev 规则中的 "
                "GROUP=\"dialout\", MODE=\"0660\"），并把当前用户加入 dialout 组。")
                .arg(device)};
    if (!group || !InDatabaseGroup(around, *group))
        return {QStringLiteral(
                    "没有权限打开串口 %1：当前用户须属于 %2 组（sudo usermod -aG %2 $USER，然后重新登录）。")
                    .arg(device, name)};
    if (!around.sessionGroups.contains(*group))
        return {QStringLiteral(
                    "没有权限打开串口 %1：用户 %2 已在 %3 组中，但这次登录还没有带上这个组（刚加入的组要到"
                    "下次登录才生效）。请注销后重新登录（或重启电脑），再联机。")
                    .arg(device, around.userName, name)};
    return {QStringLiteral(
                "没有权限打开串口 %1：当前用户已属于它的 %2 组，但它的权限不许该组读写（ls -l %1 可以查看）。"
                "请管理员修改它的权限（例如 udev 规则中的 MODE=\"0660\"）。")
                .arg(device, name)};
}

// who: how sure we are that ModemManager holds the port.
QStringList ModemManagerAdvice(const QString& who, const QString& canonical, const Surroundings& around) {
    QString match = QStringLiteral("KERNEL==\"%1\"").arg(QFileInfo(canonical).fileName());
    for (const PresentPort& port : around.ports) {
        if (port.device == canonical && port.vendorId && port.productId)
            match = QStringLiteral("ATTRS{idVendor}==\"%1\", ATTRS{idProduct}==\"%2\"")
                        .arg(Hex4(*port.vendorId), Hex4(*port.productId));
    }
    const QString rule = match + QStringLiteral(", ENV{ID_MM_DEVICE_IGNORE}=\"1\"");
    return {
        who + QStringLiteral("：它会探测新插上的调制解调器，刚插上的串口适配器也会被它打开试探一阵。"),
        QStringLiteral("它试探完就会放开，稍候再联机即可；要让它以后不再碰这个适配器，请在终端执行以下两行，"
                       "然后拔下适配器再插上："),
        kIndent +
            QStringLiteral("echo '%1' | sudo tee /etc/udev/rules.d/70-corvat-mm-ignore.rules").arg(rule),
        kIndent + QStringLiteral("sudo udevadm control --reload-rules")};
}

QStringList BusyText(const PortRequest& request, const Surroundings& around) {
    const QString& device = request.device;
    const QString canonical = QFileInfo(device).canonicalFilePath();
    QStringList paths{device};
    if (!canonical.isEmpty() && canonical != device) paths << canonical;
    const HolderSearch search = FindHolders(paths, around.procRoot, around.lockFolders);
    const QString realDevice = canonical.isEmpty() ? device : canonical;
    QStringList lines;
    if (search.holders.isEmpty()) {
        lines << QStringLiteral("串口 %1 正被其他程序占用，请先关闭占用它的程序。").arg(device)
              << QStringLiteral("占用它的进程不属于当前用户，看不到是哪一个；可以用 sudo fuser -v %1 查看。")
                     .arg(realDevice);
        if (!search.modemManagerRunning) return lines;
        return lines +
               ModemManagerAdvice(QStringLiteral("ModemManager 正在运行，很可能是它"), realDevice, around);
    }
    QStringList named;
    for (const PortHolder& holder : search.holders)
        named << QStringLiteral("进程 %1（%2）").arg(holder.pid).arg(holder.program);
    lines << QStringLiteral("串口 %1 正被其他程序占用：%2。请先关闭占用它的程序。")
                 .arg(device, named.join(QStringLiteral("、")));
    const bool modemManager = std::any_of(search.holders.cbegin(), search.holders.cend(), IsModemManager);
    if (!modemManager) return lines;
    return lines + ModemManagerAdvice(QStringLiteral("占用它的是 ModemManager"), realDevice, around);
}
}  // namespace

QString LinkFolderForAdvice(const QString& appDir) {
    // The first folder looked up is the one the operator can write: their own once the program is installed.
    const QStringList folders = PortLinkFolders(appDir);
    return folders.isEmpty() ? appDir + QStringLiteral("ports/") : folders.front();
}

OpenFault ClassifyOpenFault(QSerialPort::SerialPortError error, const QString& errorText,
                            const Surroundings& around) {
    if (!around.deviceExists) return OpenFault::kMissing;
    if (errorText == SystemText(EIO) || errorText == SystemText(ENXIO)) return OpenFault::kNoHardware;
    if (error == QSerialPort::DeviceNotFoundError) return OpenFault::kMissing;
    // QSerialPort reports a refused open, a lock file held by another program and a port opened for
    // exclusive use alike; the file's own modes tell them apart.
    if (error == QSerialPort::PermissionError || errorText == SystemText(EBUSY) ||
        errorText == SystemText(EACCES))
        return around.accessDenied ? OpenFault::kDenied : OpenFault::kBusy;
    return OpenFault::kOther;
}

QString Diagnose(const PortRequest& request, OpenFault fault, const Surroundings& around) {
    switch (fault) {
        case OpenFault::kMissing:
            return MissingText(request, around).join(QLatin1Char('\n'));
        case OpenFault::kDenied:
            return DeniedText(request, around).join(QLatin1Char('\n'));
        case OpenFault::kBusy:
            return BusyText(request, around).join(QLatin1Char('\n'));
        case OpenFault::kNoHardware:
            return NoHardwareText(request, around).join(QLatin1Char('\n'));
        case OpenFault::kOther:
            break;
    }
    return {};
}

}  // namespace corvat
