#include "image/image_file.h"

#include <QFile>
#include <algorithm>
#include <limits>

#include "platform/system_dir.h"

namespace corvat {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr qsizetype kHexSuffixLength = 3;
// The image length is held as a 32-bit signed number everywhere downstream.
constexpr qint64 kLargestImage = std::numeric_limits<std::int32_t>::max();

}  // namespace

QString ByteToHex(std::uint8_t value) {
    const char digits[] = {kHexDigits[value >> 4], kHexDigits[value & 0x0F]};
    return QString::fromLatin1(digits, 2);
}

QString PreviewText(const QByteArray& data) {
    const qsizetype count = std::min(data.size(), kPreviewBytes);
    QString text;
    text.reserve(count * 3);
    for (qsizetype g = 0; g < count; ++g) {
        text += ByteToHex(static_cast<std::uint8_t>(data[g]));
        text += QLatin1Char(' ');
    }
    return text;
}

bool IsHexName(const QString& path) {
    if (path.size() < kHexSuffixLength) return false;
    return path.right(kHexSuffixLength).toUpper() == QLatin1String("HEX");
}

ImageRead ReadImageFile(const QString& path) {
    ImageRead result;
    QFile file(path);
    if (const QString error = OpenRegularFile(file); !error.isEmpty()) {
        result.error = error;
        return result;
    }
    if (file.size() > kLargestImage) {
        result.error = QStringLiteral("文件长度超过 %1 字节").arg(kLargestImage);
        return result;
    }
    result.bytes = file.readAll();
    // readAll cannot tell a short read from an error; the file's own error state can.
    if (file.error() != QFileDevice::NoError) {
        result.bytes.clear();
        result.error = file.errorString();
        return result;
    }
    result.ok = true;
    return result;
}

}  // namespace corvat
