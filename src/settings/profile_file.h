#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

#include "platform/result.h"

namespace corvat {

// INI ("profile") files read and written with the rules the loader's settings always followed:
// - section and key names match whatever their letter case (ASCII letters; other bytes exactly);
// - blanks around a line, around a key name and around a value do not count; blanks inside a value do;
// - a value wrapped in a pair of equal quotes ('...' or "...") reads without them;
// - the first matching section and the first matching key in it win;
// - a line without "=" inside a section is a key without a value; lines before any section belong to none;
// - a section header is "[" name "]"; blanks inside the brackets do not count.
// The file is bytes; texts cross into it in the locale's 8-bit encoding. A write changes only the bytes of
// its own key and keeps everything else (comments, blank lines, other sections, foreign bytes, line ends).

// The value stored for section/key in the given file contents, quotes not yet removed. Empty optional
// when the section or the key is not there; an empty array for a key with an empty value or none.
std::optional<QByteArray> FindProfileValue(const QByteArray& content, const QByteArray& section,
                                           const QByteArray& key);

// The bytes a reader with a buffer of bufferSize bytes receives: quotes removed, cut to bufferSize - 1
// bytes to leave room for the terminating NUL. Empty when nothing is found.
QByteArray ReadProfileValue(const QByteArray& content, const QByteArray& section, const QByteArray& key,
                            int bufferSize);

// The file contents after setting section/key to value: the key's line is rewritten in place, or the key
// is added at the end of its section, or the section is added at the end. Names must be valid (see
// CheckProfileEntry).
QByteArray SetProfileValue(const QByteArray& content, const QByteArray& section, const QByteArray& key,
                           const QByteArray& value);

// Whether section/key/value can be written: a line break or a NUL would change the file's structure, an
// empty key or one with "=" or a section with "]" could never be read back.
Result<> CheckProfileEntry(const QByteArray& section, const QByteArray& key, const QByteArray& value);

struct ProfileRead {
    int count = 0;     // bytes placed in the caller's buffer, the NUL not counted; 0 when nothing was found
    QString value;     // those bytes, decoded from the locale's encoding
    QByteArray bytes;  // the bytes themselves: decoding is lossy for a value in another encoding
};

// Reads section/key from the file as the platform's profile reader does with no default string: a missing
// file, section or key, or an empty value, gives count 0.
ProfileRead GetProfileString(const QString& fileName, const QString& section, const QString& key,
                             int bufferSize);

// Sets section/key to value in the file, creating the file when it is missing. The file is replaced whole
// and atomically: a write that fails at any point leaves the previous file exactly as it was.
Result<> WriteProfileString(const QString& fileName, const QString& section, const QString& key,
                            const QString& value);

// The same with the value as bytes, written exactly as given, so a value read earlier can be put back
// unchanged whatever its encoding.
Result<> WriteProfileBytes(const QString& fileName, const QString& section, const QString& key,
                           const QByteArray& value);

}  // namespace corvat
