#include "settings/module1.h"

#include "settings/profile_file.h"

namespace corvat {

QString ReadIniValue(const QString& section, const QString& key, const QString& defaultValue,
                     const QString& fileName) {
    return ReadIniEntry(section, key, defaultValue, fileName).text;
}

IniValue ReadIniEntry(const QString& section, const QString& key, const QString& defaultValue,
                      const QString& fileName) {
    const ProfileRead read = GetProfileString(fileName, section, key, kIniBufferLength);
    if (read.count > 0) {
        // The buffer is read up to its first NUL, as a value with an embedded NUL would end there.
        const qsizetype nul = read.bytes.indexOf('\0');
        const QByteArray bytes = nul < 0 ? read.bytes : read.bytes.left(nul);
        return {QString::fromLocal8Bit(bytes), bytes};
    }
    // As the loader always did, a default that cannot be written back is still the value.
    static_cast<void>(WriteProfileString(fileName, section, key, defaultValue));
    return {defaultValue, defaultValue.toLocal8Bit()};
}

}  // namespace corvat
