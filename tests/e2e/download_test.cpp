// Whole downloads between the real loader and the virtual target: the bytes on the line, the
// target's flash, resends of rejected pages, and a target that goes silent or vanishes.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <map>

#include "loader_on_target.h"

namespace corvat::test {
namespace {

const QByteArray kEndMarker("\xFF\xFF", 2);

// Written out here from the frame's definition rather than taken from the loader, so that a fault
// in the loader's frames cannot hide in the expectation.
QByteArray Frame(const QByteArray& image, int page, int pageSize) {
    QByteArray frame;
    frame.append(static_cast<char>(page / 256)).append(static_cast<char>(page % 256));
    for (int i = 0; i < pageSize; ++i) {
        const qsizetype position = static_cast<qsizetype>(page) * pageSize + i;
        frame.append(position < image.size() ? image[position] : '\xFF');
    }
    unsigned sum = 0;
    for (const char byte : frame) sum += static_cast<unsigned char>(byte);
    return frame.append(static_cast<char>(sum % 256));
}

// "W", every page once plus once more per rejection, the end marker.
QByteArray Download(const QByteArray& image, int pageSize, const std::map<int, int>& rejects) {
    QByteArray line("W");
    const int pages = static_cast<int>((image.size() + pageSize - 1) / pageSize);
    for (int page = 0; page < pages; ++page) {
        const int times = 1 + (rejects.count(page) ? rejects.at(page) : 0);
        for (int i = 0; i < times; ++i) line += Frame(image, page, pageSize);
    }
    return line + kEndMarker;
}

QByteArray Pattern(int size) {
    QByteArray image;
    quint32 x = 2463534242u;
    for (int i = 0; i < size; ++i) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        image.append(static_cast<char>(x));
    }
    return image;
}

QByteArray Counting(int size) {
    QByteArray image;
    for (int k = 0; k < size; ++k) image.append(static_cast<char>(k));
    return image;
}

QString WriteImage(const QTemporaryDir& dir, const QByteArray& image) {
    QFile file(dir.filePath("image.bin"));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(image);
    return file.fileName();
}

// Connects, identifies and runs a download to its end marker.
void RunDownload(LoaderOnTarget& t, const QByteArray& image) {
    t.state.ImageData = image;
    t.state.ImageLength = static_cast<std::int32_t>(image.size());
    t.ConnectAndWaitFor(kIdentified);
    t.loader.StartDownload();
    ASSERT_TRUE(WaitFor([&] { return t.view.IsEnabled(Control::cmdExit); }))
        << t.view.message.toStdString() << "\n"
        << t.target.Events().join('\n').toStdString();
}

TEST(DownloadTest, WorkedExampleByteForByteWithAResentPage) {
    const QByteArray image = Counting(130);
    LoaderOnTarget t({"--reject", "1"});
    RunDownload(t, image);
    ASSERT_TRUE(t.target.WaitForEvent("end of download: 3 pages written, 1 rejected"));
    t.ReleaseAndSettle();

    const QByteArray page0 = QByteArray::fromHex("0000") + image.mid(0, 64) + QByteArray::fromHex("E0");
    const QByteArray page1 = QByteArray::fromHex("0001") + image.mid(64, 64) + QByteArray::fromHex("E1");
    const QByteArray page2 =
        QByteArray::fromHex("000280 81") + QByteArray(62, '\xFF') + QByteArray::fromHex("C5");
    EXPECT_EQ(t.target.Received().toHex(' '),
              ("<W" + page0 + page1 + page1 + page2 + kEndMarker + "E").toHex(' '));
    EXPECT_EQ(t.target.Flash(), image + QByteArray(7168 - 130, '\xFF'));
    EXPECT_EQ(t.view.CallsStartingWith("SetProgressText"),
              QStringList({"SetProgressText(0)", "SetProgressText(19)", "SetProgressText(38)",
                           "SetProgressText(57)", "SetProgressText(0)"}));
}

struct FullRow {
    const char* name;
    QStringList options;
    int imageSize;
    int pageSize;
    std::map<int, int> rejects;
};

class FullDownloadTest : public testing::TestWithParam<FullRow> {};

TEST_P(FullDownloadTest, FlashEqualsTheImageAfterResends) {
    const FullRow& row = GetParam();
    QTemporaryDir dir;
    const QByteArray image = Pattern(row.imageSize);
    const QString expected = WriteImage(dir, image);
    LoaderOnTarget t(row.options + QStringList{"--expect", expected});
    RunDownload(t, image);
    ASSERT_TRUE(t.target.WaitForEvent("flash matches " + expected))
        << t.target.Events().join('\n').toStdString();

    int rejected = 0;
    for (const auto& [page, times] : row.rejects) rejected += times;
    const int pages = (row.imageSize + row.pageSize - 1) / row.pageSize;
    EXPECT_EQ(t.state.ErrorCount, rejected);
    EXPECT_TRUE(
        t.view.message.startsWith(QStringLiteral("成功写到%1页，错误次数%2，时间").arg(pages).arg(rejected)))
        << t.view.message.toStdString();
    t.CloseAndSettle();
    EXPECT_TRUE(t.target.Received() == "<" + Download(image, row.pageSize, row.rejects));
    EXPECT_EQ(t.target.Flash().size(), row.pageSize == 64 ? 7168 : 15360);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, FullDownloadTest,
    testing::Values(FullRow{"kind_0_full_7168",
                            {"--kind", "0", "--reject", "0", "--reject", "57x2", "--reject", "111"},
                            7168,
                            64,
                            {{0, 1}, {57, 2}, {111, 1}}},
                    FullRow{"kind_1_full_15360",
                            {"--kind", "1", "--reject", "0x2", "--reject", "64", "--reject", "119"},
                            15360,
                            128,
                            {{0, 2}, {64, 1}, {119, 1}}},
                    FullRow{"kind_1_partial_last_page", {"--kind", "1", "--reject", "3"}, 500, 128, {{3, 1}}},
                    FullRow{"empty_image_sends_only_the_end_marker", {}, 0, 64, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// A target is busy for a moment after each page header and loses data that starts within it; the pause
// between header and data must outlast that, on an unpaced line and on a paced one, where the header's own
// time on the wire eats into the pause.
TEST(DownloadTest, PauseAfterEachHeaderOutlastsTheBusyTarget) {
    for (const QStringList& line : {QStringList{}, QStringList{"--pace"}}) {
        SCOPED_TRACE(line.join(' ').toStdString());
        QTemporaryDir dir;
        const QByteArray image = Pattern(640);
        const QString expected = WriteImage(dir, image);
        LoaderOnTarget t(line + QStringList{"--header-busy", "2", "--expect", expected});
        t.state.ImageData = image;
        t.state.ImageLength = static_cast<std::int32_t>(image.size());
        t.ConnectAndWaitFor(kIdentified);
        t.loader.StartDownload();
        // Without the pause every page is lost again and again; a few rejections are as good as a stall.
        constexpr int kGivenUpAfter = 10;
        ASSERT_TRUE(WaitFor(
            [&] { return t.view.IsEnabled(Control::cmdExit) || t.state.ErrorCount > kGivenUpAfter; }));
        ASSERT_TRUE(t.view.IsEnabled(Control::cmdExit)) << t.target.Events().join('\n').toStdString();
        EXPECT_TRUE(t.target.WaitForEvent("flash matches " + expected))
            << t.target.Events().join('\n').toStdString();
        t.CloseAndSettle();
    }
}

int LinesPlugged(const VirtualTarget& target) {
    int plugged = 0;
    for (const QString& event : target.Events()) plugged += event.contains(" linked at ") ? 1 : 0;
    return plugged;
}

TEST(DownloadTest, AdapterVanishingMidDownloadShowsTheErrorAndReleasesTheWindowThenReconnects) {
    LoaderOnTarget t({"--hangup-after-pages", "2", "--replug-delay", "50"});
    t.state.ImageData = Pattern(1000);
    t.state.ImageLength = 1000;
    t.ConnectAndWaitFor(kIdentified);
    t.loader.StartDownload();
    ASSERT_TRUE(WaitFor([&] { return !t.view.errors.isEmpty(); }))
        << t.target.Events().join('\n').toStdString();

    EXPECT_TRUE(t.target.HasEvent("page 2 arrived: hanging up"));
    EXPECT_FALSE(t.view.errors.first().isEmpty());
    EXPECT_FALSE(t.loader.PortOpen());
    EXPECT_TRUE(t.view.IsEnabled(Control::cmdstar));
    EXPECT_TRUE(t.view.IsEnabled(Control::cmdFlashFile));
    EXPECT_TRUE(t.view.IsEnabled(Control::Combo1));
    EXPECT_FALSE(t.view.IsEnabled(Control::cmdWrite));
    EXPECT_FALSE(t.view.IsEnabled(Control::cmdExit));
    EXPECT_EQ(t.view.message, "信息....");
    EXPECT_TRUE(t.view.progressText.isEmpty());

    // The adapter is plugged in again: one click connects, and the target is greeted and identified anew.
    ASSERT_TRUE(WaitFor([&] { return LinesPlugged(t.target) == 2; }));
    t.view.ClearCalls();
    t.loader.Connect();
    ASSERT_TRUE(WaitFor([&] { return t.view.message == kIdentified; }))
        << t.view.message.toStdString() << "\n"
        << t.target.Events().join('\n').toStdString();
    EXPECT_EQ(t.view.errors.size(), 1);
    EXPECT_EQ(t.view.attemptCounter, "1");
    EXPECT_EQ(t.view.chipText, QStringLiteral("从机容量: 7168 Vel: 1.1"));
    EXPECT_TRUE(t.view.IsEnabled(Control::cmdWrite));
    EXPECT_TRUE(t.view.IsEnabled(Control::cmdExit));
    t.ReleaseAndSettle();
    EXPECT_TRUE(t.target.Received().endsWith("<E"));
}

TEST(DownloadTest, SilentTargetIsWaitedForUntilItGreetsAgain) {
    LoaderOnTarget t({"--stop-after-pages", "2"});
    t.state.ImageData = Pattern(1000);
    t.state.ImageLength = 1000;
    t.ConnectAndWaitFor(kIdentified);
    t.loader.StartDownload();
    ASSERT_TRUE(t.target.WaitForEvent("page 2 arrived: no longer answering"));
    EXPECT_FALSE(t.view.IsEnabled(Control::cmdExit));
    EXPECT_FALSE(t.view.IsEnabled(Control::cmdWrite));

    // Switched off and on, the target greets; the new identification offers download and release again.
    t.view.ClearCalls();
    t.target.PowerCycle();
    ASSERT_TRUE(WaitFor([&] {
        return t.view.CallsStartingWith("ShowMessage").contains("ShowMessage(" + kIdentified + ")");
    }));
    EXPECT_TRUE(t.view.IsEnabled(Control::cmdExit));
    EXPECT_TRUE(t.view.IsEnabled(Control::cmdWrite));
    t.ReleaseAndSettle();
}

}  // namespace
}  // namespace corvat::test
