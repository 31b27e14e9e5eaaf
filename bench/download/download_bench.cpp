// Runs the real download code (Loader, QSerialLink) against the virtual target and prints:
//  - unpaced: the loader's reaction time from the target's answer leaving to the next page header
//    arriving, as the target measures it, and pages per second;
//  - paced at 9600 baud: the whole download next to the line's floor, and the loader's CPU share.
#include <QCoreApplication>
#include <QEventLoop>
#include <QRandomGenerator>
#include <QTimer>
#include <cstdio>
#include <ctime>
#include <functional>

#include "protocol/loader.h"
#include "serial/qserial_link.h"
#include "support/virtual_target.h"

namespace {

using corvat::Control;
using corvat::test::StatsField;

constexpr double kByteMs = 1000.0 * 10 / 9600;  // 10 bits a byte at 9600 baud

// The window reduced to what the benchmark needs: it wakes the waiting loop at each change.
class QuietView : public corvat::LoaderView {
  public:
    void ShowMessage(const QString& text) override { Changed(message = text); }
    void SetChipText(const QString&) override {}
    void SetProgressText(const QString&) override {}
    void SetAttemptCounter(const QString&) override {}
    void SetEnabled(Control control, bool enabled) override {
        if (control == Control::cmdExit) exitEnabled = enabled;
        Changed(message);
    }
    void Beep() override {}
    QString PortText() const override { return QStringLiteral("COM1"); }
    void ShowError(const QString& text) override { Changed(error = text); }
    void ShowPrompt(const QString& text) override { Changed(error = text); }

    QString message;
    QString error;
    bool exitEnabled = false;
    std::function<void()> onChange;

  private:
    void Changed(const QString&) {
        if (onChange) onChange();
    }
};

double Seconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Runs the event loop until the view satisfies condition; false when it did not within the limit.
bool RunUntil(QuietView& view, const std::function<bool()>& condition, int limitMs) {
    if (condition()) return true;
    QEventLoop loop;
    view.onChange = [&] {
        if (condition() || !view.error.isEmpty()) loop.quit();
    };
    QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
    loop.exec();
    view.onChange = nullptr;
    return condition();
}

struct Result {
    bool ok = false;
    double loaderWallS = 0;
    double loaderCpuS = 0;
    QStringList stats;  // the target's "stats ..." lines
};

Result RunDownload(const QStringList& options, int imageSize) {
    Result result;
    corvat::test::VirtualTarget target(options + QStringList{"--stats", "--greet-delay", "20"});
    QString error;
    if (!target.Start(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return result;
    }
    corvat::LoaderState state;
    state.AppDir = target.Folder();
    QByteArray image(imageSize, '\0');
    for (char& byte : image) byte = static_cast<char>(QRandomGenerator::global()->bounded(256));
    state.ImageData = image;
    state.ImageLength = imageSize;
    corvat::QSerialLink link;
    QuietView view;
    corvat::Loader loader(state, link, view);

    loader.Connect();
    if (!RunUntil(
            view, [&] { return view.message == QStringLiteral("联接成功，可下载...."); }, 10000)) {
        std::fprintf(stderr, "not identified: %s %s\n", qPrintable(view.message), qPrintable(view.error));
        return result;
    }
    const double wall0 = Seconds(CLOCK_MONOTONIC);
    const double cpu0 = Seconds(CLOCK_PROCESS_CPUTIME_ID);
    loader.StartDownload();
    if (!RunUntil(
            view, [&] { return view.exitEnabled; }, 120000)) {
        std::fprintf(stderr, "download did not end: %s %s\n", qPrintable(view.message),
                     qPrintable(view.error));
        return result;
    }
    result.loaderWallS = Seconds(CLOCK_MONOTONIC) - wall0;
    result.loaderCpuS = Seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0;
    if (!corvat::test::WaitFor([&] { return target.Events().filter("stats download_ms").size() == 1; })) {
        std::fprintf(stderr, "the target gave no figures\n");
        return result;
    }
    result.stats = target.Events().filter("stats ");
    result.ok = true;
    loader.Release();
    return result;
}

void Unpaced() {
    // 512 pages in one download: a flash larger than either kind, so that the figures rest on many samples.
    const Result r = RunDownload({"--capacity", "32768"}, 32768);
    if (!r.ok) return;
    std::printf("unpaced, 512 pages of 64 bytes:\n");
    std::printf(
        "  loader reaction (target's answer written -> next header read): median %.1f us, p99 %.1f us, "
        "max %.1f us  (goal p99 < 1000 us)\n",
        StatsField(r.stats, "median"), StatsField(r.stats, "p99"), StatsField(r.stats, "max"));
    std::printf("  %.1f pages/s (each page carries the loader's 5 ms pause), %.3f s in all\n",
                StatsField(r.stats, "pages_per_s"), r.loaderWallS);
}

void Paced(const char* name, const QStringList& options, int imageSize) {
    const Result r = RunDownload(options + QStringList{"--pace"}, imageSize);
    if (!r.ok) return;
    const double total = StatsField(r.stats, "download_ms");
    const double floor = StatsField(r.stats, "floor_ms");
    std::printf("paced at 9600 baud, %s:\n", name);
    std::printf(
        "  download %.1f ms, line floor %.1f ms (every byte at 10 bits plus the 5 ms pauses), "
        "ratio %.4f  (goal <= 1.02)\n",
        total, floor, total / floor);
    // The header's two bytes leave during the loader's own 5 ms pause, so the least a line can take
    // is the floor less the header time of every frame.
    const double headerMs = 2 * kByteMs * StatsField(r.stats, "frames");
    std::printf("  against the floor with each header inside its pause (%.1f ms): ratio %.4f\n",
                floor - headerMs, total / (floor - headerMs));
    std::printf("  loader CPU %.3f s of %.3f s wall: %.2f %%  (goal < 5 %%)\n", r.loaderCpuS, r.loaderWallS,
                100.0 * r.loaderCpuS / r.loaderWallS);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Unpaced();
    Paced("7168 bytes in 64-byte pages", {"--kind", "0"}, 7168);
    Paced("15360 bytes in 128-byte pages", {"--kind", "1"}, 15360);
    return 0;
}
