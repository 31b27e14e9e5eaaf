#include "serial/port_names.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "platform/program_places.h"
#include "platform/system_dir.h"

namespace corvat {

std::optional<std::uint8_t> PortNumberFromText(const QString& portText) {
    qsizetype first = portText.size();
    while (first > 0 && portText[first - 1] >= QLatin1Char('0') && portText[first - 1] <= QLatin1Char('9'))
        --first;
    const qsizetype digits = portText.size() - first;
    if (digits == 0) return std::nullopt;
    if (digits == 1) return static_cast<std::uint8_t>(portText.back().unicode() - u'0');
    // Taking COM1 for COM11 opens the wrong board, so a longer number counts whole; one that no byte can
    // carry names no port at all.
    const uint number = portText.mid(first).toUInt();
    if (number > kLargestPortNumber) return std::nullopt;
    return static_cast<std::uint8_t>(number);
}

QString PortTextRefusal(const QString& portText) {
    if (portText.isEmpty())
        return QStringLiteral("请先选择或输入串口名称（例如 COM1），或以 / 开头的设备路径。");
    return QStringLiteral(
               "端口名称无效：“%1”。端口名称的末位必须是数字（例如 COM1），"
               "或填写以 / 开头的设备路径。")
        .arg(portText);
}

namespace {
// Links in the operator's own folder choose the device a download goes to: one that another user owns or
// may write to is passed over, as its settings are.
bool TrustedLinkFolder(const QString& folder, const QString& appDir) {
    if (folder.startsWith(appDir) || !QFileInfo(folder).isDir()) return true;
    return CheckOwnPrivateFolder(folder) && CheckOwnPrivateFolder(QFileInfo(QDir::cleanPath(folder)).path());
}
}  // namespace

QStringList PortLinkFolders(const QString& appDir) {
    QStringList folders;
    for (const std::string& place : CurrentPlaces(QFile::encodeName(appDir).toStdString()).portFolders) {
        const QString folder = QFile::decodeName(QByteArray::fromStdString(place));
        if (TrustedLinkFolder(folder, appDir)) folders << folder;
    }
    return folders;
}

QString DeviceForPort(const QString& portText, std::uint8_t portNumber, const QString& appDir) {
    if (portText.startsWith(QLatin1Char('/'))) return portText;
    // /dev/ttyS-1 follows the numbering below and no driver creates it.
    if (portNumber == 0) return QStringLiteral("/dev/ttyS-1");
    for (const QString& folder : PortLinkFolders(appDir)) {
        const QString named = folder + QStringLiteral("COM") + QString::number(portNumber);
        // A dangling link is still the operator's choice: opening it must fail, not fall through to another
        // device that happens to exist.
        const QFileInfo info(named);
        if (info.exists() || info.isSymLink()) return named;
    }
    return QStringLiteral("/dev/ttyS") + QString::number(portNumber - 1);
}

QString MissingPortHint(const QString& portText, std::uint8_t portNumber, const QString& device) {
    if (portText.startsWith(QLatin1Char('/'))) return QStringLiteral("找不到串口设备 %1。").arg(portText);
    // "ttyUSB0" is not opened by its name: only its number counts, which the operator may not expect, so
    // the message says what the text was taken for.
    const QString taken =
        QStringLiteral("端口名称“%1”的%2被当作端口号：%3 号端口")
            .arg(portText, portNumber > 9 ? QStringLiteral("末尾数字") : QStringLiteral("末位数字"))
            .arg(portNumber);
    const QString other = QStringLiteral("要打开其他设备，请填写以 / 开头的设备路径。");
    if (portNumber == 0) return taken + QStringLiteral("不存在（端口号从 1 开始）。") + other;
    return taken + QStringLiteral("（设备 %1）不存在。").arg(device) + other;
}

Result<PortRequest> PortRequestFor(const QString& portText, const QString& appDir) {
    const std::optional<std::uint8_t> number = PortNumberFromText(portText);
    if (!number && !portText.startsWith(QLatin1Char('/')))
        return Fail(FailureCode::kInvalid, PortTextRefusal(portText));
    const std::uint8_t portNumber = number.value_or(0);
    return PortRequest(DeviceForPort(portText, portNumber, appDir), portText, portNumber, appDir);
}

}  // namespace corvat
