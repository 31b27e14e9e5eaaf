#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

#include "platform/result.h"

namespace corvat {

// The preview shows at most this many bytes; the rest of the image is loaded but not shown.
constexpr qsizetype kPreviewBytes = 512;

// Two upper-case hex digits, always: 00, 0A, 10, FF.
QString ByteToHex(std::uint8_t value);

// "0C 94 2A " for the bytes 12, 148, 42: two digits and a blank per byte, the blank after the last one too,
// for the first kPreviewBytes bytes at most.
QString PreviewText(const QByteArray& data);

// The image kind is decided by the name alone: its last three characters, in any letter case, are "hex".
// No dot is needed, and a name of fewer than three characters is never a HEX name.
bool IsHexName(const QString& path);

// The most a download can carry at all: a page index has 15 bits and the largest page is 128 bytes. The
// target decides about its own capacity; anything beyond this could never be sent.
constexpr qint64 kLargestDownload = qint64{32768} * 128;

// Reads the whole file as raw bytes, read-only. Only a regular file is read: a FIFO or a device would
// never come to an end. A file longer than maxBytes is refused from its size, before anything is read
// (kTooLarge). A failure's text is the system's reason, without the file's name.
Result<QByteArray> ReadImageFile(const QString& path, qint64 maxBytes = kLargestDownload);

// The SHA-256 of the file as it lies on disk, in lower-case hex as sha256sum prints it, so that a trace
// can be matched with the file it names. A failure's text is the system's reason.
Result<QString> FileSha256(const QString& path);

}  // namespace corvat
