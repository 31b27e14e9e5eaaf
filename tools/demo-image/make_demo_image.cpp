// Writes demo.bin and demo.hex (the same bytes as Intel HEX) into the given folder, so a fresh build
// has an image of each kind beside the loader to try a download with. The bytes look like a small
// controller program (vectors, code, a text banner, a table) but are fixed: every build makes the same.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "hex/intel_hex.h"

namespace {

// Fits the smaller target's 7168 bytes of program space, and spans many pages of either size.
constexpr std::size_t kDemoSize = 3000;
constexpr std::size_t kRecordSize = 16;
constexpr std::size_t kCodeStart = 0x30;
constexpr std::size_t kTableSize = 256;
constexpr std::uint8_t kLongJump = 0x02;
constexpr std::uint8_t kReturnFromInterrupt = 0x32;
constexpr std::size_t kVectorSpacing = 8;
constexpr const char* kBanner = "Corvat demo image 1.0 - serial boot loader test";

std::vector<std::uint8_t> DemoImage() {
    std::vector<std::uint8_t> image(kDemoSize, 0x00);
    image[0] = kLongJump;
    image[1] = 0x00;
    image[2] = static_cast<std::uint8_t>(kCodeStart);
    for (std::size_t vector = 3; vector < kCodeStart; vector += kVectorSpacing)
        image[vector] = kReturnFromInterrupt;
    // A fixed xorshift sequence stands in for compiled code.
    std::uint32_t state = 0x2545F491;
    const std::size_t tableStart = kDemoSize - kTableSize;
    for (std::size_t at = kCodeStart; at < tableStart; ++at) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        image[at] = static_cast<std::uint8_t>(state >> 24);
    }
    const std::string banner = kBanner;
    std::copy(banner.begin(), banner.end() + 1,
              image.begin() + static_cast<long>(tableStart - banner.size() - 1));
    for (std::size_t i = 0; i < kTableSize; ++i) {
        const double angle = 2.0 * M_PI * static_cast<double>(i) / kTableSize;
        image[tableStart + i] = static_cast<std::uint8_t>(std::lround(127.5 + 127.0 * std::sin(angle)));
    }
    return image;
}

bool WriteFile(const std::string& path, const char* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data, static_cast<std::streamsize>(size));
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: make_demo_image OUTPUT_FOLDER\n", stderr);
        return 2;
    }
    const std::string folder = argv[1];
    const auto image = DemoImage();
    const std::string hex = corvat::hex2bin::FormatIntelHex(image, kRecordSize);
    if (!WriteFile(folder + "/demo.bin", reinterpret_cast<const char*>(image.data()), image.size()) ||
        !WriteFile(folder + "/demo.hex", hex.data(), hex.size())) {
        std::fprintf(stderr, "cannot write the demo image into %s\n", folder.c_str());
        return 1;
    }
    return 0;
}
