#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <cstdint>

namespace corvat {

// The download's wire messages, built whole so that each goes to the link in one write.

constexpr char kDownloadCommand = 'W';
constexpr std::uint8_t kFillerByte = 0xFF;      // pads the last page past the image's end
constexpr std::uint8_t kEndMarkerByte = 0xFF;   // never the first byte of a header (at most 0x7F)
constexpr std::int32_t kHeaderLength = 2;       // bytes
constexpr std::int32_t kMaxPageIndex = 0x7FFF;  // the header's high byte must stay within 0..127

// Index of the page holding the image's last byte; -1 for an empty image. pageSize must be positive.
std::int32_t LastPage(std::int32_t imageLength, std::int32_t pageSize);

// Two bytes, high byte first. pageIndex must lie within 0..kMaxPageIndex.
QByteArray PageHeader(std::int32_t pageIndex);

// The plain 8-bit additive sum of the bytes, starting from seed, modulo 256.
std::uint8_t AdditiveChecksum(QByteArrayView bytes, std::uint8_t seed = 0);

// pageSize data bytes (filler at and past imageLength) followed by the checksum over header and data.
QByteArray DataFrame(const QByteArray& image, std::int32_t imageLength, std::int32_t pageIndex,
                     std::int32_t pageSize);

QByteArray EndMarker();

}  // namespace corvat
