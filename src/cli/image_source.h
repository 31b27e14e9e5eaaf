#pragma once

#include <QByteArray>
#include <QString>

#include "platform/result.h"

namespace corvat::cli {

// The HEX text of the largest board's image takes well under this; anything longer is no image of ours.
constexpr qint64 kLargestHexText = qint64{4} << 20;

// A .bin is taken as it stands; a .hex (any letter case) goes through the HEX library in this process,
// with its refusals. Any other name, an empty image, an unreadable file or an image longer than maxBytes
// is refused; a .bin longer than that is refused from its size, without reading it. The failure's text
// names the file.
Result<QByteArray> LoadImage(const QString& path, qint64 maxBytes);

// What identifies the image file as given, so that a record shows which firmware went into a board.
struct ImageFacts {
    QString name;      // as given on the command line
    qint64 size = 0;   // of the file as given (the HEX text for a .hex)
    QString sha256;    // of that file, lower-case hex as sha256sum prints it
    qint64 bytes = 0;  // of the flat image that is downloaded
};

Result<ImageFacts> DescribeImage(const QString& path, const QByteArray& image);

}  // namespace corvat::cli
