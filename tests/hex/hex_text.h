#pragma once
// Builds HEX text for the converter's tests independently of the converter's own writer, and holds
// the table of bad files shared by the in-memory and the real-file tests.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace corvat::test {

using Bytes = std::vector<std::uint8_t>;

inline std::string Record(std::uint8_t type, std::uint16_t address, const Bytes& data) {
    Bytes raw{static_cast<std::uint8_t>(data.size()), static_cast<std::uint8_t>(address >> 8),
              static_cast<std::uint8_t>(address), type};
    raw.insert(raw.end(), data.begin(), data.end());
    unsigned sum = 0;
    for (std::uint8_t b : raw) sum += b;
    raw.push_back(static_cast<std::uint8_t>(-sum));
    std::string text = ":";
    char digits[3];
    for (std::uint8_t b : raw) {
        std::snprintf(digits, sizeof digits, "%02X", b);
        text += digits;
    }
    return text;
}

inline std::string Data(std::uint16_t address, const Bytes& data) {
    return Record(0x00, address, data);
}
inline std::string Segment(std::uint16_t segment) {
    return Record(0x02, 0, {static_cast<std::uint8_t>(segment >> 8), static_cast<std::uint8_t>(segment)});
}
inline std::string Linear(std::uint16_t upper) {
    return Record(0x04, 0, {static_cast<std::uint8_t>(upper >> 8), static_cast<std::uint8_t>(upper)});
}
inline const std::string kEof = ":00000001FF";

inline std::string Lines(const std::vector<std::string>& lines, const std::string& end = "\n") {
    std::string text;
    for (const auto& line : lines) text += line + end;
    return text;
}

// count bytes of a deterministic pattern, so rows of different sizes hold different data
inline Bytes Pattern(std::size_t count, std::uint8_t seed = 1) {
    Bytes bytes(count);
    for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(seed * 37 + i * 11);
    return bytes;
}

// The bytes [first, first + count) of a pattern as records of recordSize bytes starting at address.
inline std::vector<std::string> Chunked(std::uint16_t address, const Bytes& bytes, std::size_t recordSize) {
    std::vector<std::string> lines;
    for (std::size_t pos = 0; pos < bytes.size(); pos += recordSize) {
        const auto end = bytes.begin() + static_cast<long>(std::min(bytes.size(), pos + recordSize));
        lines.push_back(Data(static_cast<std::uint16_t>(address + pos),
                             Bytes(bytes.begin() + static_cast<long>(pos), end)));
    }
    return lines;
}

struct BadHexCase {
    const char* name;
    std::string text;
    int line;           // the line the fault must be reported on
    const char* fault;  // a piece of the message that names the fault
};

inline std::vector<BadHexCase> BadHexCases() {
    const std::string ok = Data(0, {1, 2, 3, 4});
    std::string badChecksum = ok;
    badChecksum.back() = badChecksum.back() == '0' ? '1' : '0';
    return {
        {"BadChecksum", Lines({ok, badChecksum, kEof}), 2, "校验和错误"},
        {"NonHexCharacter", Lines({ok, ":0400000001G2030400", kEof}), 2, "非十六进制字符 'G'"},
        {"NoColon", Lines({"0400000001020304F2", kEof}), 1, "冒号"},
        {"LeadingBlankBeforeColon", Lines({" " + ok, kEof}), 1, "冒号"},
        {"ByteCountAboveLine", Lines({ok, ":0500000001020304F1", kEof}), 2, "长度不符"},
        {"ByteCountBelowLine", Lines({ok, ":0300000001020304F3", kEof}), 2, "长度不符"},
        {"OddDigitCount", Lines({":0400000001020304F20", kEof}), 1, "长度不符"},
        {"RecordTooShort", Lines({ok, ":000000", kEof}), 2, "记录太短"},
        {"UnknownRecordType", Lines({ok, Record(0x06, 0, {}), kEof}), 2, "未知的记录类型 0x06"},
        {"EofCarryingData", Lines({ok, Record(0x01, 0, {0}), kEof}), 2, "类型 01"},
        {"LinearAddressWrongLength", Lines({Record(0x04, 0, {0}), ok, kEof}), 1, "类型 04"},
        {"MissingEof", Lines({ok, Data(4, {5})}), 2, "缺少文件结束记录"},
        {"EmptyFile", "", 1, "缺少文件结束记录"},
        {"OnlyEof", Lines({"", kEof}), 2, "没有数据"},
        {"OnlyEmptyDataRecords", Lines({Data(0x100, {}), kEof}), 2, "没有数据"},
        {"ConflictingBytes", Lines({ok, Data(2, {3, 9}), kEof}), 2, "地址 0x3"},
        {"DataAfterEof", Lines({ok, kEof, Data(8, {1})}), 3, "之后还有内容"},
        {"SecondEof", Lines({ok, kEof, kEof}), 3, "之后还有内容"},
        {"LinearAddressBeyondLimit", Lines({Linear(0x0800), ok, kEof}), 2, "超出上限"},
        {"LoneCarriageReturnEnds", ok + "\r" + kEof + "\r", 1, "0x0D"},
    };
}

}  // namespace corvat::test
