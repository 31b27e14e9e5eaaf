// corvat-flash's session against a target that misbehaves, over the in-memory link: what each board
// came to, and every byte the target was sent.
#include <gtest/gtest.h>

#include <functional>

#include "cli/flash_session.h"
#include "session_support.h"
#include "support/virtual_target.h"

namespace corvat::test {
namespace {

using namespace std::chrono_literals;

const QByteArray kImage(130, '\x5A');

struct Rig {
    MemoryLink link;
    RecordingSink sink;
    std::unique_ptr<cli::FlashSession> session;

    // An answer from the target, once the frame it answers is on the line.
    void Answer(const QByteArray& bytes) {
        ASSERT_TRUE(WaitFor([&] { return !HeaderPending(link); }));
        link.Receive(bytes);
    }
    void Greet() {
        link.Receive(">");
        link.Receive("0xg");
    }
    void Download() {
        for (int answer = 0; answer < 4; ++answer) Answer("!");
        ASSERT_TRUE(
            WaitFor([&] { return sink.outcomes.size() > 0 && sink.outcomes.last().startsWith("done"); }));
    }
};

struct SessionRow {
    const char* name;
    bool loop;
    std::chrono::milliseconds reply;
    std::function<void(Rig&)> play;
    const char* words;     // what the target was sent
    const char* outcomes;  // what the session reported
    const char* message;   // part of the failure's text, when there is one to check
};

void PrintTo(const SessionRow& row, std::ostream* out) {
    *out << row.name;
}

void WaitForOpenAttempts(Rig& rig, int attempts) {
    ASSERT_TRUE(WaitFor([&] { return rig.link.events.filter("Open(").size() >= attempts; }, 10s));
}

const SessionRow kRows[] = {
    {"AnswerDuringThePause", false, 2s,
     [](Rig& r) {
         r.Greet();
         r.Answer("!");
         r.link.Receive("!");  // the header of page 0 is out, its frame is not
     },
     "< W H0", "failed 1 unexpected_reply", "第 0 页"},
    {"StrayAnswerReadWithTheRealOne", false, 2s,
     [](Rig& r) {
         r.Greet();
         r.Answer("!");
         r.Answer("!!");
     },
     "< W H0 F0 H1", "failed 1 unexpected_reply", "第 1 页"},
    {"UnexpectedByte", false, 2s,
     [](Rig& r) {
         r.Greet();
         r.Answer("!");
         r.Answer("X");
     },
     "< W H0 F0", "failed 1 unexpected_reply", "58"},
    {"AtToTheCommandSendsNothingAndTheWaitRunsOn", false, 300ms,
     [](Rig& r) {
         r.Greet();
         r.Answer("@");
     },
     "< W", "failed 1 reply_timeout", "下载命令"},
    {"ResetMidDownloadEndsTheRun", false, 2s,
     [](Rig& r) {
         r.Greet();
         r.Answer("!");
         r.Answer(">");
     },
     "< W H0 F0", "failed 1 board_reset", "重新启动"},
    {"ResetMidDownloadGreetsTheNextBoard", true, 2s,
     [](Rig& r) {
         r.Greet();
         r.Answer("!");
         r.Answer(">");
         r.link.Receive("0xg");
         r.Download();
         r.session->Interrupt();
     },
     "< W H0 F0 < W H0 F0 H1 F1 H2 F2 M E", "failed 1 board_reset done 2", "重新启动"},
    {"InterruptBetweenBoards", true, 2s,
     [](Rig& r) {
         r.Greet();
         r.Download();
         r.session->Interrupt();
     },
     "< W H0 F0 H1 F1 H2 F2 M E", "done 1", ""},
    {"InterruptMidBoard", true, 2s,
     [](Rig& r) {
         r.Greet();
         r.Answer("!");
         r.session->Interrupt();
     },
     "< W H0", "failed 1 interrupted", ""},
    {"LostPortComesBackForTheNextBoard", true, 2s,
     [](Rig& r) {
         r.Greet();
         r.Answer("!");
         r.link.openError = QStringLiteral("没有这个设备");
         r.link.Vanish(QStringLiteral("串口已拔出"));
         WaitForOpenAttempts(r, 3);  // the first open, then two tries while the device is away
         r.link.openError.clear();
         ASSERT_TRUE(WaitFor([&] { return r.sink.outcomes.contains("port_back"); }, 10s));
         r.Greet();
         r.Download();
         r.session->Interrupt();
     },
     "< W H0 < W H0 F0 H1 F1 H2 F2 M E", "failed 1 port_lost waiting_port port_back done 2", "拔出"},
};

class SessionTest : public ::testing::TestWithParam<SessionRow> {};

TEST_P(SessionTest, Scenario) {
    const SessionRow& row = GetParam();
    Rig rig;
    const PortRequest request(QStringLiteral("/dev/ttyUSB0"));
    ASSERT_TRUE(rig.link.Open(request));
    cli::SessionLimits limits;
    limits.loop = row.loop;
    limits.firstGreeting = limits.nextGreeting = 0ms;
    limits.reply = row.reply;
    rig.session = std::make_unique<cli::FlashSession>(QStringLiteral("COM1"), request, rig.link, kImage,
                                                      limits, rig.sink);
    rig.session->Start();
    row.play(rig);
    ASSERT_TRUE(WaitFor([&] { return rig.session->Finished(); }));
    EXPECT_EQ(Words(rig.link.writes, kImage, 64).join(' ').toStdString(), row.words);
    EXPECT_EQ(rig.sink.outcomes.join(' '), row.outcomes);
    EXPECT_FALSE(rig.link.IsOpen());
    QString failure;
    for (const cli::FlashEvent& event : rig.sink.events)
        if (event.type == cli::FlashEvent::Type::kFailed) failure = event.message;
    EXPECT_TRUE(failure.contains(QString::fromUtf8(row.message))) << failure.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Targets, SessionTest, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvat::test
