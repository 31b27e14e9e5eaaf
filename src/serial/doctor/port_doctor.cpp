#include "serial/doctor/port_doctor.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>

#include "serial/doctor/advice_text.h"
#include "serial/port_names.h"

namespace corvat {

namespace {
const QString& kIndent = kAdviceIndent;
// Groups that exist to hand out serial devices. Never tty (it writes to every terminal) nor root.
const QStringList kSerialGroups = {QStringLiteral("dialout"), QStringLiteral("uucp"),
                                   QStringLiteral("plugdev"), QStringLiteral("lock"),
                                   QStringLiteral("serial")};
constexpr unsigned kGroupReadWrite = 060;

QString SystemText(int code) {
    return qt_error_string(code);
}

bool IsComName(const PortRequest& request) {
    return !request.text.startsWith(QLatin1Char('/')) && request.number > 0;
}

QStringList PortDevices(const QList<PresentPort>& ports) {
    QStringList devices;
    for (const PresentPort& port : ports) devices << port.device;
    return devices;
}

QString PortLine(const PresentPort& port) {
    const QStringList facts = PortFacts(port);
    if (facts.isEmpty()) return kIndent + port.device;
    return kIndent + port.device + QStringLiteral("：") + facts.join(QStringLiteral("，"));
}

QStringList LinkCommands(const PortRequest& request, const QStringList& targets) {
    const QString folder = LinkFolderForAdvice(request.appDir);
    const QString link = ShellQuoted(folder + QStringLiteral("COM") + QString::number(request.number));
    // The folder may be the settings folder's: made private, in a subshell so the umask stays the shell's.
    const bool made = QFileInfo(folder).isDir();
    const QString prepare =
        made ? QString()
             : QStringLiteral("(umask 077 && mkdir -p ") + ShellQuoted(folder) + QStringLiteral(" && ");
    QStringList commands;
    for (const QString& target : targets)
        commands << kIndent + prepare + QStringLiteral("ln -sf ") + ShellQuoted(target) + QLatin1Char(' ') +
                        link + (made ? QString() : QStringLiteral(")"));
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
        // The by-id name stays the same when the adapter moves to another socket or the numbers shift.
        const QString& stable = port.stableName;
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

// Virtual terminals, pseudo-terminals and the console belong to tty; a UART under getty does too.
bool IsTerminal(const QString& device, const QString& groupName) {
    static const QRegularExpression terminal(QStringLiteral("^/dev/(tty[0-9]*|console|pts/.*)$"));
    return groupName == QStringLiteral("tty") ||
           terminal.match(QFileInfo(device).canonicalFilePath()).hasMatch() ||
           terminal.match(device).hasMatch();
}

QStringList DeniedText(const PortRequest& request, const Surroundings& around) {
    const QString& device = request.device;
    const std::optional<unsigned> group = around.deviceGroup;
    const QString name = group && around.groups.contains(*group) ? around.groups.value(*group).name
                                                                 : QStringLiteral("dialout");
    if (IsTerminal(device, group ? name : QString()))
        return QStringList{
                   QStringLiteral("没有权限打开 %1：它是终端或控制台设备，不是下载用的串口；加入 tty 组"
                                  "也打不开它，还会让该用户能向所有终端写入。请改用串口适配器的设备。")
                       .arg(device)} +
               PresentPortsText(request, around);
    if (group && *group == 0)
        return {
            QStringLiteral(
                "没有权限打开串口 %1：它只允许 root 使用。请管理员把它交给 dialout 组（例如 udev 规则中的 "
                "GROUP=\"dialout\", MODE=\"0660\"），并把当前用户加入 dialout 组。")
                .arg(device)};
    const bool member = group && InDatabaseGroup(around, *group);
    if (member && around.sessionGroups.contains(*group))
        return {
            QStringLiteral(
                "没有权限打开串口 %1：当前用户已属于它的 %2 组，但它的权限不许该组读写（ls -l %3 可以查看）。"
                "请管理员修改它的权限（例如 udev 规则中的 MODE=\"0660\"）。")
                .arg(device, name, ShellQuoted(device))};
    const bool grants = (around.deviceMode & kGroupReadWrite) == kGroupReadWrite;
    if (group && (!kSerialGroups.contains(name) || !grants))
        return {QStringLiteral("没有权限打开串口 %1：它属于 %2 组，但这个组不是串口设备组，或者不许该组读写，"
                               "加入它无济于事。请管理员把它交给 dialout 组（例如 udev 规则中的 "
                               "GROUP=\"dialout\", MODE=\"0660\"）。")
                    .arg(device, name)};
    if (!member)
        return {QStringLiteral(
                    "没有权限打开串口 %1：当前用户须属于 %2 组（sudo usermod -aG %3 $USER，然后重新登录）。")
                    .arg(device, name, ShellQuoted(name))};
    return {
        QStringLiteral("没有权限打开串口 %1：用户 %2 已在 %3 组中，但这次登录还没有带上这个组（刚加入的组要到"
                       "下次登录才生效）。请注销后重新登录（或重启电脑），再联机。")
            .arg(device, around.userName, name)};
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
