#include "protocol/page_frame.h"

#include <algorithm>

namespace corvat {

std::int32_t LastPage(std::int32_t imageLength, std::int32_t pageSize) {
    std::int32_t last = imageLength / pageSize;
    // A length that fills its last page exactly has no byte in the page the quotient points to.
    if (imageLength % pageSize == 0) --last;
    return last;
}

QByteArray PageHeader(std::int32_t pageIndex) {
    QByteArray header(kHeaderLength, '\0');
    header[0] = static_cast<char>((pageIndex >> 8) & 0xFF);
    header[1] = static_cast<char>(pageIndex & 0xFF);
    return header;
}

std::uint8_t AdditiveChecksum(QByteArrayView bytes, std::uint8_t seed) {
    unsigned sum = seed;
    for (const char byte : bytes) sum += static_cast<std::uint8_t>(byte);
    return static_cast<std::uint8_t>(sum & 0xFF);
}

QByteArray DataFrame(const QByteArray& image, std::int32_t imageLength, std::int32_t pageIndex,
                     std::int32_t pageSize) {
    QByteArray frame(pageSize + 1, static_cast<char>(kFillerByte));
    // 64-bit offset: a wide image must never wrap into an earlier page's bytes.
    const std::int64_t base = std::int64_t{pageIndex} * pageSize;
    // A length beyond the bytes actually held would read outside the buffer; pad instead.
    const std::int64_t available = std::min<std::int64_t>(imageLength, image.size());
    for (std::int32_t i = 0; i < pageSize; ++i) {
        const std::int64_t position = base + i;
        if (position < available) frame[i] = image[static_cast<qsizetype>(position)];
    }
    const std::uint8_t headerSum = AdditiveChecksum(PageHeader(pageIndex));
    frame[pageSize] = static_cast<char>(AdditiveChecksum(QByteArrayView(frame).first(pageSize), headerSum));
    return frame;
}

QByteArray EndMarker() {
    return QByteArray(2, static_cast<char>(kEndMarkerByte));
}

}  // namespace corvat
