#include "cli/image_source.h"

#include <QFileInfo>
#include <span>

#include "hex/intel_hex.h"
#include "image/image_file.h"

namespace corvat::cli {

namespace {

bool HasSuffix(const QString& path, const char* suffix) {
    return path.endsWith(QLatin1String(suffix), Qt::CaseInsensitive);
}

Failure Refused(const QString& text, FailureCode code = FailureCode::kInvalid) {
    return Fail(code, text);
}

}  // namespace

Result<QByteArray> LoadImage(const QString& path, qint64 maxBytes) {
    const bool hex = HasSuffix(path, ".hex");
    if (!hex && !HasSuffix(path, ".bin"))
        return Refused(QStringLiteral("映像文件 %1 须以 .bin 或 .hex 结尾。").arg(path));
    Result<QByteArray> read = ReadImageFile(path, hex ? kLargestHexText : maxBytes);
    if (!read)
        return Refused(QStringLiteral("无法读取映像文件 %1：%2").arg(path, read.message()), read.code());
    QByteArray bytes = std::move(read).value();
    if (hex) {
        const auto text = std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                    static_cast<std::size_t>(bytes.size()));
        const hex2bin::ParseResult parsed = hex2bin::ParseIntelHex(text);
        if (!parsed.ok())
            return Refused(QStringLiteral("HEX 文件 %1 第 %2 行：%3")
                               .arg(path)
                               .arg(parsed.error->line)
                               .arg(QString::fromStdString(parsed.error->message)));
        bytes = QByteArray(reinterpret_cast<const char*>(parsed.image.data()),
                           static_cast<qsizetype>(parsed.image.size()));
    }
    // Nothing to write is surely the wrong file; flashing it would only erase the board.
    if (bytes.isEmpty()) return Refused(QStringLiteral("映像文件 %1 是空的，没有可下载的内容。").arg(path));
    if (bytes.size() > maxBytes)
        return Refused(QStringLiteral("映像文件 %1 有 %2 字节，超过上限 %3 字节。")
                           .arg(path)
                           .arg(bytes.size())
                           .arg(maxBytes),
                       FailureCode::kTooLarge);
    return bytes;
}

Result<ImageFacts> DescribeImage(const QString& path, const QByteArray& image) {
    const Result<QString> sha256 = FileSha256(path);
    if (!sha256)
        return Fail(sha256.code(), QStringLiteral("无法读取映像文件 %1：%2").arg(path, sha256.message()));
    return ImageFacts{path, QFileInfo(path).size(), *sha256, image.size()};
}

}  // namespace corvat::cli
