#pragma once

#include <QByteArray>
#include <QString>

namespace corvat {

// The reader's buffer: values longer than kIniBufferLength - 1 bytes come back cut to that length.
inline constexpr int kIniBufferLength = 255;

// The value of section/key in fileName. When the key is missing, or present with an empty value, the
// default is written back under the key and returned: an empty default leaves the key with an empty
// value ("key="), which this reader again treats as missing. The write's outcome is not examined.
QString ReadIniValue(const QString& section, const QString& key, const QString& defaultValue,
                     const QString& fileName);

// A value as read: the text, and the bytes it was decoded from (the default's bytes when it was missing).
struct IniValue {
    QString text;
    QByteArray bytes;
};

// ReadIniValue, keeping the stored bytes too, so a caller can write back exactly what it found.
IniValue ReadIniEntry(const QString& section, const QString& key, const QString& defaultValue,
                      const QString& fileName);

}  // namespace corvat
