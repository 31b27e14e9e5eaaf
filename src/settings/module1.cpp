#include "settings/module1.h"

#include "settings/profile_file.h"

namespace corvat {

QString ReadIniValue(const QString& section, const QString& key, const QString& defaultValue,
                     const QString& fileName) {
    const ProfileRead read = GetProfileString(fileName, section, key, kIniBufferLength);
    if (read.count > 0) {
        // The buffer is read up to its first NUL, as a value with an embedded NUL would end there.
        const qsizetype nul = read.value.indexOf(QChar(u'\0'));
        return nul < 0 ? read.value : read.value.left(nul);
    }
    WriteProfileString(fileName, section, key, defaultValue);
    return defaultValue;
}

}  // namespace corvat
