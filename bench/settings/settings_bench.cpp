// Times the start-up's settings read (ReadIniValue) and a key write on files of 1 and 4 MB whose
// [System] section comes last, after lines that a careless parser scans to the end of the file:
// lines without "=" and lines that open a "[" without closing it. Prints medians.
#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

#include "settings/module1.h"
#include "settings/profile_file.h"

namespace {

using corvat::ReadIniValue;
using corvat::WriteProfileString;
using Clock = std::chrono::steady_clock;
constexpr int kRuns = 7;

QByteArray SettingsOfSize(qsizetype bytes) {
    QByteArray content;
    content.reserve(bytes + 64);
    for (int line = 0; content.size() < bytes; ++line)
        content += (line % 2 == 0) ? QByteArray("a line of some forty bytes, no equals\r\n")
                                   : QByteArray("[a header that is never closed here\r\n");
    return content + "[System]\r\nComm=COM3\r\nstyle=0\r\n";
}

double MedianMilliseconds(const std::function<void()>& work) {
    std::vector<double> samples;
    for (int run = 0; run < kRuns; ++run) {
        const auto start = Clock::now();
        work();
        samples.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

}  // namespace

int main() {
    QTemporaryDir folder;
    if (!folder.isValid()) return 1;
    const QString path = folder.filePath(QStringLiteral("info.ini"));
    std::printf("%-10s %14s %14s\n", "file", "read Comm ms", "write Comm ms");
    for (const qsizetype megabytes : {1, 4}) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 1;
        file.write(SettingsOfSize(megabytes << 20));
        file.close();
        QString value;
        const double read = MedianMilliseconds(
            [&] { value = ReadIniValue(QStringLiteral("System"), QStringLiteral("Comm"), QString(), path); });
        bool written = true;
        const double write = MedianMilliseconds([&] {
            written = WriteProfileString(path, QStringLiteral("System"), QStringLiteral("Comm"),
                                         QStringLiteral("COM3"))
                          .ok() &&
                      written;
        });
        if (!written) {
            std::printf("the write failed\n");
            return 1;
        }
        if (value != QStringLiteral("COM3")) {
            std::printf("wrong value read: %s\n", qPrintable(value));
            return 1;
        }
        std::printf("%-10s %14.1f %14.1f\n", qPrintable(QStringLiteral("%1 MB").arg(megabytes)), read, write);
    }
    return 0;
}
