// Target answers played over the in-memory link. The flow rows go to both front ends: the window's Loader
// and corvat-flash's session drive one page flow, so they send the same pages and differ only where the
// command line must not call a doubtful board good. The other rows are targets that misbehave.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <functional>

#include "cli/flash_session.h"
#include "protocol/loader.h"
#include "session_support.h"
#include "support/recording_view.h"

namespace corvat::test {
namespace {

using namespace std::chrono_literals;

const QByteArray kImage = [] {
    QByteArray image(130, '\0');
    for (int k = 0; k < image.size(); ++k) image[k] = static_cast<char>(k);
    return image;
}();

struct Rig {
    MemoryLink link;
    RecordingSink sink;
    std::unique_ptr<cli::FlashSession> session;

    // An answer from the target, once the frame it answers is on the line.
    void Answer(const QByteArray& bytes) {
        ASSERT_TRUE(WaitFor([&] { return !HeaderPending(link); }));
        link.Receive(bytes);
    }
    void Greet() { link.Receive(">"), link.Receive("0xg"); }
    void Download() {
        for (const char* answer : {"!", "!", "!", "!"}) Answer(answer);
        ASSERT_TRUE(WaitFor([&] { return sink.outcomes.join(' ').endsWith(QStringLiteral("done 2")); }));
    }
};

struct Row {
    const char* name;
    QStringList answers;  // after the greeting and identification, or play instead
    const char* window;   // words the window sends from "W" on; null: not a flow row
    const char* cli;      // words corvat-flash sends, "<" included
    const char* outcomes;
    std::function<void(Rig&)> play = {};
    bool loop = false;
    const char* message = "";  // part of the failure's text
};

void PrintTo(const Row& row, std::ostream* out) {
    *out << row.name;
}

const Row kRows[] = {
    {"EveryPageAccepted",
     {"!", "!", "!", "!"},
     "W H0 F0 H1 F1 H2 F2 M",
     "< W H0 F0 H1 F1 H2 F2 M E",
     "done 1"},
    {"CommandAnsweredWithAt",
     {"@", "!", "!", "!", "!"},
     "W H0 F0 H1 F1 H2 F2 M",
     "< W H0 F0 H1 F1 H2 F2 M E",
     "done 1"},
    {"PageZeroRejected",
     {"!", "@", "!", "!", "!"},
     "W H0 F0 H0 F0 H1 F1 H2 F2 M",
     "< W H0 F0 H0 F0 H1 F1 H2 F2 M E",
     "done 1"},
    {"EndMarkerAnswered",
     {"!", "!", "!", "!", "!"},
     "W H0 F0 H1 F1 H2 F2 M M",
     "< W H0 F0 H1 F1 H2 F2 M E",
     "done 1"},
    {"AtAfterEndMarker",
     {"!", "!", "!", "!", "@"},
     "W H0 F0 H1 F1 H2 F2 M M",
     "< W H0 F0 H1 F1 H2 F2 M",
     "failed 1 unconfirmed"},
    {"TwoAnswersAfterEndMarker",
     {"!", "!", "!", "!", "!", "!"},
     "W H0 F0 H1 F1 H2 F2 M M M",
     "< W H0 F0 H1 F1 H2 F2 M",
     "failed 1 unconfirmed"},
    {"StrayAnswerReadWithTheRealOne",
     {"!", "!!"},
     nullptr,
     "< W H0 F0 H1",
     "failed 1 unexpected_reply",
     {},
     false,
     "第 1 页"},
    {"UnexpectedByte", {"!", "X"}, nullptr, "< W H0 F0", "failed 1 unexpected_reply", {}, false, "58"},
    {"AtToTheCommandThenSilence", {"@"}, nullptr, "< W", "failed 1 reply_timeout", {}, false, "下载命令"},
    {"ResetMidDownloadEndsTheRun",
     {"!", ">"},
     nullptr,
     "< W H0 F0",
     "failed 1 board_reset",
     {},
     false,
     "重新启动"},
    {"AnswerDuringThePause",
     {},
     nullptr,
     "< W H0",
     "failed 1 unexpected_reply",
     [](Rig& r) { r.Answer("!"), r.link.Receive("!"); },
     false,
     "第 0 页"},
    {"ResetMidDownloadGreetsTheNextBoard",
     {},
     nullptr,
     "< W H0 F0 < W H0 F0 H1 F1 H2 F2 M E",
     "failed 1 board_reset done 2",
     [](Rig& r) {
         r.Answer("!"), r.Answer(">"), r.link.Receive("0xg"), r.Download(),
             r.session->Interrupt(QStringLiteral("SIGINT"));
     },
     true},
    {"InterruptBetweenBoards",
     {"!", "!", "!", "!"},
     nullptr,
     "< W H0 F0 H1 F1 H2 F2 M E",
     "done 1",
     [](Rig& r) {
         ASSERT_TRUE(WaitFor([&] { return !r.sink.outcomes.isEmpty(); }));
         r.session->Interrupt(QStringLiteral("SIGINT"));
     },
     true},
    {"LostPortComesBackForTheNextBoard",
     {},
     nullptr,
     "< W H0 < W H0 F0 H1 F1 H2 F2 M E",
     "failed 1 port_lost waiting_port port_back done 2",
     [](Rig& r) {
         r.Answer("!");
         r.link.openError = QStringLiteral("没有这个设备");
         r.link.Vanish(QStringLiteral("串口已拔出"));
         // The first open, then two tries while the device is away.
         ASSERT_TRUE(WaitFor([&] { return r.link.events.filter("Open(").size() >= 3; }, 10s));
         r.link.openError.clear();
         ASSERT_TRUE(WaitFor([&] { return r.sink.outcomes.contains("port_back"); }, 10s));
         r.Greet(), r.Download(), r.session->Interrupt(QStringLiteral("SIGINT"));
     },
     true,
     "拔出"},
};

class Answers : public ::testing::TestWithParam<Row> {};

TEST_P(Answers, Window) {
    if (!GetParam().window) GTEST_SKIP();
    QTemporaryDir folder;
    LoaderState state;
    state.AppDir = folder.path() + QLatin1Char('/');
    state.ImageData = kImage;
    state.ImageLength = static_cast<std::int32_t>(kImage.size());
    MemoryLink link;
    RecordingView view;
    Loader loader(state, link, view);
    loader.Connect();
    link.Receive(">"), link.Receive("0xg");
    link.writes.clear();
    loader.StartDownload();
    for (const QString& answer : GetParam().answers) link.Receive(answer.toLatin1());
    EXPECT_EQ(Words(link.writes, kImage, 64).join(' ').toStdString(), GetParam().window);
}

TEST_P(Answers, CommandLine) {
    const Row& row = GetParam();
    Rig rig;
    const PortRequest request(QStringLiteral("/dev/ttyUSB0"));
    ASSERT_TRUE(rig.link.Open(request));
    cli::SessionLimits limits;
    limits.loop = row.loop;
    rig.session = std::make_unique<cli::FlashSession>(QStringLiteral("COM1"), request, rig.link, kImage,
                                                      limits, rig.sink);
    rig.session->Start();
    rig.Greet();
    for (const QString& answer : row.answers) rig.Answer(answer.toLatin1());
    if (row.play) row.play(rig);
    ASSERT_TRUE(WaitFor([&] { return rig.session->Finished(); }));
    EXPECT_EQ(Words(rig.link.writes, kImage, 64).join(' ').toStdString(), row.cli);
    EXPECT_EQ(rig.sink.outcomes.join(' ').toStdString(), row.outcomes);
    EXPECT_FALSE(rig.link.IsOpen());
    QString messages;
    for (const cli::FlashEvent& event : rig.sink.events) messages += event.message;
    EXPECT_TRUE(messages.contains(QString::fromUtf8(row.message))) << messages.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Targets, Answers, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvat::test
