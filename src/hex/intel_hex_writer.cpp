#include <algorithm>
#include <array>
#include <stdexcept>

#include "hex/intel_hex.h"

namespace corvat::hex2bin {
namespace {

constexpr std::uint8_t kDataType = 0x00;
constexpr std::uint8_t kExtendedLinearType = 0x04;
constexpr std::size_t kMaxRecordData = 255;
constexpr std::uint32_t kOffsetMask = 0xFFFF;
constexpr unsigned kLinearShift = 16;
constexpr const char* kEndOfFileLine = ":00000001FF\r\n";

void AppendByte(std::string& out, std::uint8_t value, std::uint8_t& sum) {
    static constexpr std::array<char, 16> kDigits{'0', '1', '2', '3', '4', '5', '6', '7',
                                                  '8', '9', 'A', 'B', 'C', 'D', 'E', 'F'};
    out += kDigits[value >> 4];
    out += kDigits[value & 0x0F];
    sum = static_cast<std::uint8_t>(sum + value);
}

void AppendRecord(std::string& out, std::uint8_t type, std::uint16_t offset,
                  std::span<const std::uint8_t> data) {
    std::uint8_t sum = 0;
    out += ':';
    AppendByte(out, static_cast<std::uint8_t>(data.size()), sum);
    AppendByte(out, static_cast<std::uint8_t>(offset >> 8), sum);
    AppendByte(out, static_cast<std::uint8_t>(offset & 0xFF), sum);
    AppendByte(out, type, sum);
    for (std::uint8_t byte : data) AppendByte(out, byte, sum);
    std::uint8_t ignored = 0;
    AppendByte(out, static_cast<std::uint8_t>(0x100 - sum), ignored);
    out += "\r\n";
}

}  // namespace

std::string FormatIntelHex(std::span<const std::uint8_t> image, std::size_t recordSize,
                           std::uint32_t baseAddress) {
    if (recordSize == 0 || recordSize > kMaxRecordData) throw std::invalid_argument("record size");
    std::string out;
    out.reserve(image.size() * 2 + image.size() / recordSize * 13 + 32);
    std::uint32_t upper = 0;  // the upper address in force; 0 until a 04 record says otherwise
    std::size_t pos = 0;
    while (pos < image.size()) {
        const std::uint32_t address = baseAddress + static_cast<std::uint32_t>(pos);
        if (address >> kLinearShift != upper) {
            upper = address >> kLinearShift;
            const std::array<std::uint8_t, 2> value{static_cast<std::uint8_t>(upper >> 8),
                                                    static_cast<std::uint8_t>(upper & 0xFF)};
            AppendRecord(out, kExtendedLinearType, 0, value);
        }
        // A record never straddles a 64 KiB boundary, so every reader agrees where its bytes go.
        const std::size_t room = kOffsetMask - (address & kOffsetMask) + 1;
        const std::size_t length = std::min({recordSize, image.size() - pos, room});
        AppendRecord(out, kDataType, static_cast<std::uint16_t>(address & kOffsetMask),
                     image.subspan(pos, length));
        pos += length;
    }
    out += kEndOfFileLine;
    return out;
}

}  // namespace corvat::hex2bin
