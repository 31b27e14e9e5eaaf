#pragma once
// One trace format for every program that records a session (see docs/trace-format.md):
//
//   corvat-trace 1 program=corvat-flash version=1.0 image=fw.bin size=300 sha256=<hex> ports=COM1,COM2
//   312004 COM1 rx 3E
//   312389 COM1 tx 3C
//   330120 COM1 note failed reason=reply_timeout message=...
//
// Every line after the first starts with the microseconds since the trace began and a port ("-" for
// none). Values are percent-escaped where they hold a blank, a control byte, "%" or ",", so a line splits
// on blanks and a field on its first "=".

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvat::trace {

inline constexpr std::string_view kMagic = "corvat-trace";
inline constexpr int kFormatVersion = 1;
inline constexpr std::string_view kNoPort = "-";

using Fields = std::vector<std::pair<std::string, std::string>>;

// The first line. The window knows no image or port when it starts; it leaves those fields out.
struct Header {
    int version = kFormatVersion;
    std::string program;
    std::string programVersion;
    std::optional<std::string> image;
    std::int64_t imageSize = -1;
    std::string imageSha256;
    std::vector<std::string> ports;
};

enum class Direction { kTx, kRx };  // seen from the loader: tx goes to the target

struct Entry {
    enum class Kind { kBytes, kNote };
    Kind kind = Kind::kBytes;
    std::int64_t micros = 0;
    std::string port;
    Direction direction = Direction::kTx;  // kBytes
    std::string bytes;                     // kBytes
    std::string note;  // kNote: open, close, power-on, timeout, failed, done, port-lost, image
    Fields fields;     // kNote

    const std::string* Field(std::string_view key) const;
};

struct Trace {
    Header header;
    std::vector<Entry> entries;
};

struct ParseOutcome {
    std::optional<Trace> trace;
    int line = 0;  // 1-based line of the fault
    std::string error;
};

std::string HeaderLine(const Header& header);
std::string BytesLine(std::int64_t micros, std::string_view port, Direction direction,
                      std::string_view bytes);
std::string NoteLine(std::int64_t micros, std::string_view port, std::string_view note, const Fields& fields);

ParseOutcome ParseTrace(std::string_view text);

// "3C 57": upper-case hex, one blank between bytes.
std::string HexBytes(std::string_view bytes);
std::string Escape(std::string_view value);
std::optional<std::string> Unescape(std::string_view value);

}  // namespace corvat::trace
