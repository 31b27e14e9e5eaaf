#include "protocol/identification.h"

namespace corvat {

std::optional<std::uint8_t> PortNumberFromText(const QString& portText) {
    if (portText.isEmpty()) return std::nullopt;
    const QChar last = portText.back();
    if (last < QLatin1Char('0') || last > QLatin1Char('9')) return std::nullopt;
    return static_cast<std::uint8_t>(last.unicode() - u'0');
}

std::optional<TargetKind> TargetKindFor(char kindCharacter) {
    switch (kindCharacter) {
        case '0':
            return TargetKind{QStringLiteral("从机容量: 7168 "), 64, 7168};
        case '1':
            return TargetKind{QStringLiteral("从机容量: 15360 "), 128, 15360};
        default:
            return std::nullopt;
    }
}

QString VersionNumberText(char versionLetter) {
    const double version = (static_cast<unsigned char>(versionLetter) - kVersionBaseLetter) / 10.0 + 1.0;
    // 'g' with 15 significant digits never switches to an exponent for a letter's range of values, and
    // QString::number always writes '.', whatever the user's locale.
    return QString::number(version, 'g', 15);
}

QString VersionText(char versionLetter) {
    const QString digits = VersionNumberText(versionLetter);
    return QStringLiteral("Vel:") + (digits.startsWith(QLatin1Char('-')) ? QString() : QStringLiteral(" ")) +
           digits;
}

QString PortTextRefusal(const QString& portText) {
    if (portText.isEmpty())
        return QStringLiteral("请先选择或输入串口名称（例如 COM1），或以 / 开头的设备路径。");
    return QStringLiteral(
               "端口名称无效：“%1”。端口名称的末位必须是数字（例如 COM1），"
               "或填写以 / 开头的设备路径。")
        .arg(portText);
}

}  // namespace corvat
