// Times HEX2BIN.EXE and srec_cat on the same ~1 MB HEX file, each run as a fresh process, and the
// parser alone in memory. Prints medians, the ratio and each converter's peak memory.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "hex/intel_hex.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kTargetHexBytes = 1'000'000;
constexpr std::size_t kRecordSize = 16;
constexpr std::size_t kBytesPerRecordLine = 45;  // ":" 8 digits, 32 data digits, 2 checksum, CR LF
constexpr int kRuns = 9;

struct Sample {
    double milliseconds = 0;
    long maxRssKiB = 0;
    int status = -1;
};

Sample RunOnce(const std::vector<std::string>& command) {
    std::vector<char*> argv;
    for (const auto& part : command) argv.push_back(const_cast<char*>(part.c_str()));
    argv.push_back(nullptr);
    Sample sample;
    const auto start = Clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return sample;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    sample.milliseconds = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    sample.maxRssKiB = usage.ru_maxrss;
    sample.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return sample;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Summary {
    double medianMs = 0;
    long maxRssKiB = 0;
    bool allOk = true;
};

Summary Measure(const std::vector<std::string>& command) {
    std::vector<double> times;
    Summary summary;
    for (int run = 0; run < kRuns; ++run) {
        const Sample sample = RunOnce(command);
        times.push_back(sample.milliseconds);
        summary.maxRssKiB = std::max(summary.maxRssKiB, sample.maxRssKiB);
        summary.allOk = summary.allOk && sample.status == 0;
    }
    summary.medianMs = Median(times);
    return summary;
}

double MedianParseMs(const std::string& text) {
    std::vector<double> times;
    for (int run = 0; run < kRuns; ++run) {
        const auto start = Clock::now();
        const auto result =
            corvat::hex2bin::ParseIntelHex({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        if (!result.ok()) std::fprintf(stderr, "parse failed: %s\n", result.error->message.c_str());
    }
    return Median(times);
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string GenerateHex() {
    // Image length chosen so the text comes to about 1 MB; it spans several 64 KiB banks, so the
    // file carries 04 records too.
    const std::size_t imageSize = kTargetHexBytes / kBytesPerRecordLine * kRecordSize;
    std::vector<std::uint8_t> image(imageSize);
    std::uint32_t state = 12345;
    for (auto& byte : image) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<std::uint8_t>(state >> 16);
    }
    return corvat::hex2bin::FormatIntelHex(image, kRecordSize);
}

}  // namespace

int main() {
    char folderTemplate[] = "/tmp/hex2bin-bench-XXXXXX";
    if (mkdtemp(folderTemplate) == nullptr) return 1;
    const fs::path folder = folderTemplate;
    const std::string hex = GenerateHex();
    const std::string input = (folder / "in.hex").string();
    std::ofstream(input, std::ios::binary) << hex;
    const std::string ours = (folder / "ours.bin").string();
    const std::string theirs = (folder / "srec.bin").string();

    const Summary converter = Measure({CORVAT_PROGRAM_DIR "/HEX2BIN.EXE", input, ours});
    const Summary reference = Measure({"srec_cat", input, "-Intel", "-fill", "0xFF", "0", "-maximum-address",
                                       input, "-Intel", "-o", theirs, "-Binary"});
    const double parseMs = MedianParseMs(hex);
    const bool same = converter.allOk && reference.allOk && ReadFile(ours) == ReadFile(theirs);

    std::printf("input: %zu bytes of HEX, %zu-byte records; %d runs each, medians\n", hex.size(), kRecordSize,
                kRuns);
    std::printf("HEX2BIN.EXE  %8.2f ms   peak memory %6ld KiB\n", converter.medianMs, converter.maxRssKiB);
    std::printf("srec_cat     %8.2f ms   peak memory %6ld KiB\n", reference.medianMs, reference.maxRssKiB);
    std::printf("ratio        %8.2f x faster than srec_cat\n", reference.medianMs / converter.medianMs);
    std::printf("parser alone %8.2f ms (in memory)\n", parseMs);
    std::printf("outputs identical: %s\n", same ? "yes" : "NO");
    fs::remove_all(folder);
    return same ? 0 : 1;
}
