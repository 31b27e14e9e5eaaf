#include "hex/intel_hex.h"

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace corvat::hex2bin {
namespace {

enum RecordType : std::uint8_t {
    kData = 0x00,
    kEndOfFile = 0x01,
    kExtendedSegmentAddress = 0x02,
    kStartSegmentAddress = 0x03,
    kExtendedLinearAddress = 0x04,
    kStartLinearAddress = 0x05,
};

constexpr char kRecordMark = ':';
// Blank lines and DOS end-of-file marks are all that may follow the end-of-file record.
constexpr std::string_view kAfterEndAllowed{" \t\r\x1A", 4};
constexpr std::size_t kHeaderBytes = 4;                   // byte count, address (two bytes), record type
constexpr std::size_t kOverheadBytes = kHeaderBytes + 1;  // ... and the checksum
constexpr std::size_t kMaxRecordBytes = 255 + kOverheadBytes;
constexpr std::uint64_t kSegmentSize = 0x10000;  // offsets within one segment wrap at 64 KiB
constexpr unsigned kSegmentShift = 4;
constexpr unsigned kLinearShift = 16;

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
    std::array<char, 256> buffer{};
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    va_end(args);
    return buffer.data();
}

// A table lookup instead of three range tests: the digit loop is where a large file spends its time.
constexpr std::array<std::int8_t, 256> kHexValues = [] {
    std::array<std::int8_t, 256> table{};
    table.fill(-1);
    for (int i = 0; i < 10; ++i) table['0' + i] = static_cast<std::int8_t>(i);
    for (int i = 0; i < 6; ++i) {
        table['A' + i] = static_cast<std::int8_t>(10 + i);
        table['a' + i] = static_cast<std::int8_t>(10 + i);
    }
    return table;
}();

int HexValue(char c) {
    return kHexValues[static_cast<unsigned char>(c)];
}

// A bad character is shown as itself when printable, else by its code, so the message stays one line.
std::string ShowChar(char c) {
    const auto code = static_cast<unsigned char>(c);
    if (code >= 0x21 && code < 0x7F) return Format("'%c'", c);
    return Format("0x%02X", code);
}

bool IsLineEndBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view TrimEnd(std::string_view line) {
    while (!line.empty() && IsLineEndBlank(line.back())) line.remove_suffix(1);
    return line;
}

class Parser {
  public:
    Parser(std::span<const std::uint8_t> text, const Limits& limits)
        : m_text(reinterpret_cast<const char*>(text.data()), text.size()), m_limits(limits) {}

    ParseResult Run() {
        std::size_t pos = 0;
        while (pos < m_text.size() && !m_error) {
            const std::size_t newline = m_text.find('\n', pos);
            const std::size_t end = newline == std::string_view::npos ? m_text.size() : newline;
            ++m_lineNumber;
            ParseLine(TrimEnd(m_text.substr(pos, end - pos)));
            pos = end + 1;
        }
        if (!m_error) CheckComplete();
        ParseResult result;
        if (m_error) {
            result.error = std::move(m_error);
        } else {
            result.image = std::move(m_image);
        }
        return result;
    }

  private:
    void Fail(std::string message) { m_error = ParseError{m_lineNumber, std::move(message)}; }

    void ParseLine(std::string_view line) {
        if (m_endOfFileLine != 0) {
            if (line.find_first_not_of(kAfterEndAllowed) != std::string_view::npos) {
                Fail(Format("文件结束记录（第 %d 行）之后还有内容", m_endOfFileLine));
            }
            return;
        }
        if (line.empty()) return;
        if (line.front() != kRecordMark) {
            Fail(Format("行首应为冒号 ':'，实际为 %s", ShowChar(line.front()).c_str()));
            return;
        }
        std::size_t length = 0;
        if (DecodeRecord(line.substr(1), length)) ApplyRecord(length);
    }

    bool DecodeRecord(std::string_view digits, std::size_t& dataLength) {
        for (std::size_t i = 0; i < digits.size(); ++i) {
            if (HexValue(digits[i]) < 0) {
                Fail(Format("第 %zu 列是非十六进制字符 %s", i + 2, ShowChar(digits[i]).c_str()));
                return false;
            }
        }
        if (digits.size() < 2 * kOverheadBytes) {
            Fail(Format("记录太短：至少要有 %zu 个十六进制数字，此行只有 %zu 个", 2 * kOverheadBytes,
                        digits.size()));
            return false;
        }
        dataLength = static_cast<std::size_t>(HexValue(digits[0]) * 16 + HexValue(digits[1]));
        const std::size_t expected = 2 * (dataLength + kOverheadBytes);
        if (digits.size() != expected) {
            Fail(Format("长度不符：字节数 0x%02zX 要求 %zu 个十六进制数字，此行有 %zu 个", dataLength,
                        expected, digits.size()));
            return false;
        }
        std::uint8_t sum = 0;
        for (std::size_t i = 0; i < expected / 2; ++i) {
            m_record[i] =
                static_cast<std::uint8_t>(HexValue(digits[2 * i]) * 16 + HexValue(digits[2 * i + 1]));
            sum = static_cast<std::uint8_t>(sum + m_record[i]);
        }
        if (sum != 0) {
            const std::uint8_t given = m_record[expected / 2 - 1];
            Fail(Format("校验和错误：此行为 0x%02X，应为 0x%02X", given,
                        static_cast<std::uint8_t>(given - sum)));
            return false;
        }
        return true;
    }

    std::uint32_t RecordValue(std::size_t length) const {
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < length; ++i) value = (value << 8) | m_record[kHeaderBytes + i];
        return value;
    }

    bool RequireLength(std::size_t length, std::size_t wanted, std::uint8_t type) {
        if (length == wanted) return true;
        Fail(Format("类型 %02X 的记录应有 %zu 个数据字节，此行有 %zu 个", type, wanted, length));
        return false;
    }

    void ApplyRecord(std::size_t length) {
        const std::uint8_t type = m_record[3];
        switch (type) {
            case kData:
                StoreData(static_cast<std::uint32_t>(m_record[1] << 8 | m_record[2]),
                          std::span(m_record).subspan(kHeaderBytes, length));
                break;
            case kEndOfFile:
                if (RequireLength(length, 0, type)) m_endOfFileLine = m_lineNumber;
                break;
            case kExtendedSegmentAddress:
                if (RequireLength(length, 2, type)) {
                    m_base = std::uint64_t{RecordValue(2)} << kSegmentShift;
                    m_segmented = true;
                }
                break;
            case kExtendedLinearAddress:
                if (RequireLength(length, 2, type)) {
                    m_base = std::uint64_t{RecordValue(2)} << kLinearShift;
                    m_segmented = false;
                }
                break;
            case kStartSegmentAddress:
            case kStartLinearAddress:
                // Where execution starts is the target's business; the flat image has no place for it.
                RequireLength(length, 4, type);
                break;
            default:
                Fail(Format("未知的记录类型 0x%02X", type));
        }
    }

    void StoreData(std::uint32_t offset, std::span<const std::uint8_t> data) {
        if (!m_segmented) {
            StoreBytes(m_base + offset, data);
            return;
        }
        // A record running past the end of its segment continues at the segment's start.
        const std::size_t first = std::min<std::uint64_t>(data.size(), kSegmentSize - offset);
        if (StoreBytes(m_base + offset, data.first(first))) StoreBytes(m_base, data.subspan(first));
    }

    bool StoreBytes(std::uint64_t address, std::span<const std::uint8_t> data) {
        if (data.empty()) return true;
        const std::uint64_t end = address + data.size();
        if (end > m_limits.maxImageSize) {
            Fail(Format("地址 0x%llX 超出上限：输出最多 %zu 字节", static_cast<unsigned long long>(end - 1),
                        m_limits.maxImageSize));
            return false;
        }
        if (end > m_image.size()) {
            m_image.resize(end, kFillByte);
            m_written.resize((end + 63) / 64, 0);
        }
        for (std::size_t i = 0; i < data.size(); ++i) {
            const std::uint64_t at = address + i;
            const std::uint64_t bit = std::uint64_t{1} << (at % 64);
            std::uint64_t& word = m_written[at / 64];
            if ((word & bit) != 0 && m_image[at] != data[i]) {
                Fail(Format("地址 0x%llX 已由前面的记录写为 0x%02X，此行又写为 0x%02X",
                            static_cast<unsigned long long>(at), m_image[at], data[i]));
                return false;
            }
            word |= bit;
            m_image[at] = data[i];
        }
        return true;
    }

    void CheckComplete() {
        if (m_endOfFileLine == 0) {
            m_lineNumber = std::max(m_lineNumber, 1);
            Fail("缺少文件结束记录 :00000001FF");
        } else if (m_image.empty()) {
            m_lineNumber = m_endOfFileLine;
            Fail("文件中没有数据");
        }
    }

    std::string_view m_text;
    Limits m_limits;
    int m_lineNumber = 0;
    int m_endOfFileLine = 0;
    std::uint64_t m_base = 0;
    bool m_segmented = false;
    std::array<std::uint8_t, kMaxRecordBytes> m_record{};
    std::vector<std::uint8_t> m_image;
    std::vector<std::uint64_t> m_written;  // one bit per image byte: set once a record gave it
    std::optional<ParseError> m_error;
};

}  // namespace

ParseResult ParseIntelHex(std::span<const std::uint8_t> text, const Limits& limits) {
    return Parser(text, limits).Run();
}

}  // namespace corvat::hex2bin
