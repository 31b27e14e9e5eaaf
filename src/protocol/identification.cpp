#include "protocol/identification.h"

namespace corvat {

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
}  // namespace corvat
