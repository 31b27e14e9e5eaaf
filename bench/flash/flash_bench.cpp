// Runs the built corvat-flash against paced virtual targets (9600 baud) and prints:
//  - one board: its download next to the line's floor, as the target measures it;
//  - four boards at once, each on its own line: the slowest download next to the one board alone.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "support/virtual_target.h"

namespace {

using corvat::test::StatsField;
using corvat::test::VirtualTarget;
constexpr int kImageBytes = 7168;  // a kind 0 board filled: 112 pages of 64 bytes
constexpr int kRounds = 5;

struct Board {
    double downloadMs = -1;
    double floorMs = -1;
};

// Flashes `boards` paced targets in one corvat-flash run; empty when anything went wrong.
std::vector<Board> FlashAtOnce(int boards, const QString& image, double* wallS) {
    std::vector<std::unique_ptr<VirtualTarget>> targets;
    QStringList arguments{"-q"};
    for (int i = 0; i < boards; ++i) {
        targets.push_back(
            std::make_unique<VirtualTarget>(QStringList{"--pace", "--stats", "--greet-delay", "20"}));
        QString error;
        if (!targets.back()->Start(&error)) {
            std::fprintf(stderr, "flash_bench: %s\n", qPrintable(error));
            return {};
        }
        arguments << "-p" << targets.back()->LinkPath();
    }
    QProcess flash;
    flash.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer clock;
    clock.start();
    flash.start(QStringLiteral(CORVAT_PROGRAM_DIR "/corvat-flash"), arguments << image);
    if (!flash.waitForFinished(300000) || flash.exitCode() != 0) {
        std::fprintf(stderr, "flash_bench: corvat-flash failed (status %d)\n", flash.exitCode());
        return {};
    }
    *wallS = static_cast<double>(clock.elapsed()) / 1000.0;
    std::vector<Board> results;
    for (const auto& target : targets) {
        const QStringList stats = target->Events().filter("stats ");
        results.push_back({StatsField(stats, "download_ms"), StatsField(stats, "floor_ms")});
    }
    return results;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString image = dir.filePath("image.bin");
    QFile file(image);
    QByteArray bytes(kImageBytes, '\0');
    for (int k = 0; k < kImageBytes; ++k) bytes[k] = static_cast<char>(k * 13 + 5);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) return 1;
    file.close();

    std::printf("corvat-flash, paced at 9600 baud, %d bytes in 64-byte pages, %d rounds:\n", kImageBytes,
                kRounds);
    std::vector<double> alone;
    std::vector<double> together;
    double floorMs = 0;
    for (int round = 1; round <= kRounds; ++round) {
        double oneWall = 0;
        double fourWall = 0;
        const std::vector<Board> one = FlashAtOnce(1, image, &oneWall);
        const std::vector<Board> four = FlashAtOnce(4, image, &fourWall);
        if (one.size() != 1 || four.size() != 4) return 1;
        double slowest = 0;
        for (const Board& board : four) slowest = std::max(slowest, board.downloadMs);
        floorMs = one[0].floorMs;
        alone.push_back(one[0].downloadMs);
        together.push_back(slowest);
        std::printf(
            "  round %d: one board %.1f ms (%.4f x the line's floor of %.1f ms); four at once, slowest "
            "%.1f ms (%.4f x one alone); whole runs %.2f s and %.2f s\n",
            round, one[0].downloadMs, one[0].downloadMs / floorMs, floorMs, slowest,
            slowest / one[0].downloadMs, oneWall, fourWall);
    }
    // Medians: the paced targets are processes of their own, and their wake-ups on a busy machine move
    // single rounds more than the loader does.
    std::sort(alone.begin(), alone.end());
    std::sort(together.begin(), together.end());
    const double aloneMs = alone[alone.size() / 2];
    const double togetherMs = together[together.size() / 2];
    std::printf("  median: one board %.4f x the line's floor  (goal <= 1.02)\n", aloneMs / floorMs);
    std::printf("  median: four at once %.4f x one alone  (goal <= 1.05)\n", togetherMs / aloneMs);
    return 0;
}
