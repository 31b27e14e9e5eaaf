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

}  // namespace corvat::cli
