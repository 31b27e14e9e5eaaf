#include "image/image_file.h"

#include <QCryptographicHash>
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

Result<QByteArray> ReadImageFile(const QString& path, qint64 maxBytes) {
    QFile file(path);
    if (const Result<> opened = OpenRegularFile(file); !opened)
        return Fail(FailureCode::kNotFound, opened.message());
    const qint64 limit = std::min(maxBytes, kLargestImage);
    if (file.size() > limit)
        return Fail(FailureCode::kTooLarge,
                    QStringLiteral("文件有 %1 字节，超过上限 %2 字节").arg(file.size()).arg(limit));
    QByteArray bytes = file.readAll();
    // readAll cannot tell a short read from an error; the file's own error state can.
    if (file.error() != QFileDevice::NoError) return Fail(FailureCode::kIo, file.errorString());
    return bytes;
}

Result<QString> FileSha256(const QString& path) {
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        return Fail(FailureCode::kIo, file.errorString());
    return QString::fromLatin1(hash.result().toHex());
}

}  // namespace corvat
