#pragma once
// Intel HEX to flat image, entirely in memory so that tests and the fuzzer need no files.
//
// Accepted: records 00 (data), 01 (end of file), 02 (extended segment address), 03 (start segment,
// ignored), 04 (extended linear address), 05 (start linear, ignored); hex digits in either case; LF or
// CRLF line ends; blanks and tabs at the end of a line; blank lines anywhere; records of any length
// in any order. After the end-of-file record only blank lines and DOS end-of-file marks (0x1A) may
// follow: anything else would be data the image silently lost.
//
// The image starts at address 0, holds FF wherever no record put a byte, and is exactly as long as
// the highest address written plus one. A byte given twice with the same value is fine; given twice
// with different values the file is refused, since either choice could flash the wrong program.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace corvat::hex2bin {

// Above any program space a serial boot loader serves, and small enough that a stray linear
// address (0x0800xxxx and the like) is refused instead of producing a file of hundreds of megabytes.
constexpr std::size_t kDefaultMaxImageSize = std::size_t{16} * 1024 * 1024;

constexpr std::uint8_t kFillByte = 0xFF;

struct Limits {
    std::size_t maxImageSize = kDefaultMaxImageSize;
};

struct ParseError {
    int line = 0;  // 1-based line of the input the fault lies on
    std::string message;
};

struct ParseResult {
    std::vector<std::uint8_t> image;
    std::optional<ParseError> error;

    bool ok() const { return !error.has_value(); }
};

ParseResult ParseIntelHex(std::span<const std::uint8_t> text, const Limits& limits = {});

// Writes an image as data records of recordSize bytes (1 to 255) with 04 records where the upper
// address changes, and the end-of-file record; lines end in "\r\n" as most tools write them.
std::string FormatIntelHex(std::span<const std::uint8_t> image, std::size_t recordSize = 16,
                           std::uint32_t baseAddress = 0);

}  // namespace corvat::hex2bin
