// HEX2BIN.EXE input.hex output.bin: converts an Intel HEX file into a flat binary image.
#include <cstdio>

#include "hex2bin/convert_file.h"

namespace {
constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;
}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("用法：HEX2BIN.EXE 输入.hex 输出.bin\n", stderr);
        return kExitUsage;
    }
    if (const auto error = corvat::hex2bin::ConvertFile(argv[1], argv[2])) {
        std::fprintf(stderr, "HEX2BIN.EXE: %s\n", error->c_str());
        return kExitRefused;
    }
    return 0;
}
