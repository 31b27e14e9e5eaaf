// Feeds arbitrary bytes to the HEX parser. Beyond "never crash", every accepted input is decoded
// again by a deliberately naive reader (one map entry per byte, trusting the now-known-valid syntax)
// and the image must agree with it: as long as the highest address plus one, FF in every gap, each
// given byte in place. Accepted images must also survive a round trip through the writer.
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>

#include "hex/intel_hex.h"

namespace {

using corvat::hex2bin::FormatIntelHex;
using corvat::hex2bin::Limits;
using corvat::hex2bin::ParseIntelHex;

// Small enough to keep each run quick, large enough that segment and linear addresses reach it.
constexpr Limits kFuzzLimits{256 * 1024};

void Check(bool condition) {
    if (!condition) std::abort();
}

unsigned Byte(std::string_view digits, std::size_t index) {
    return static_cast<unsigned>(std::stoul(std::string(digits.substr(2 * index, 2)), nullptr, 16));
}

std::map<std::uint64_t, std::uint8_t> NaiveDecode(std::string_view text) {
    std::map<std::uint64_t, std::uint8_t> bytes;
    std::uint64_t base = 0;
    bool segmented = false;
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        const std::string_view digits = line.substr(colon + 1);
        const unsigned count = Byte(digits, 0);
        const unsigned offset = Byte(digits, 1) << 8 | Byte(digits, 2);
        const unsigned type = Byte(digits, 3);
        if (type == 1) break;
        if (type == 2 || type == 4) {
            segmented = type == 2;
            base = std::uint64_t{Byte(digits, 4) << 8 | Byte(digits, 5)} << (segmented ? 4 : 16);
        }
        for (unsigned i = 0; type == 0 && i < count; ++i) {
            const std::uint64_t at = segmented ? base + ((offset + i) & 0xFFFF) : base + offset + i;
            bytes[at] = static_cast<std::uint8_t>(Byte(digits, 4 + i));
        }
    }
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto result = ParseIntelHex({data, size}, kFuzzLimits);
    if (!result.ok()) {
        Check(result.image.empty() && result.error->line >= 1 && !result.error->message.empty());
        return 0;
    }
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto expected = NaiveDecode(text);
    Check(!expected.empty() && result.image.size() == expected.rbegin()->first + 1);
    Check(result.image.size() <= kFuzzLimits.maxImageSize);
    std::size_t given = 0;
    for (std::size_t at = 0; at < result.image.size(); ++at) {
        const auto it = expected.find(at);
        Check(it == expected.end() ? result.image[at] == 0xFF : result.image[at] == it->second);
        given += it != expected.end();
    }
    Check(given == expected.size());
    const std::string again = FormatIntelHex(result.image, 32);
    const auto reparsed =
        ParseIntelHex({reinterpret_cast<const std::uint8_t*>(again.data()), again.size()}, kFuzzLimits);
    Check(reparsed.ok() && reparsed.image == result.image);
    return 0;
}
