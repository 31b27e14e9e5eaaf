#include "loader_fixture.h"

namespace corvat::test {
namespace {

const QStringList kReleasedEnabledOrder = {"SetEnabled(cmdExit,false)", "SetEnabled(cmdWrite,false)",
                                           "SetEnabled(cmdstar,true)", "SetEnabled(cmdFlashFile,true)",
                                           "SetEnabled(Combo1,true)"};
const QStringList kReleasedTexts = {"ShowMessage(信息....)", "SetChipText(从机状况：)", "SetProgressText(0)"};

TEST_F(LoaderTest, ConnectOpensThePortAndChangesNoControl) {
    state.PageSize = 128;
    loader.Connect();
    EXPECT_EQ(link.events, QStringList{"Open(/dev/ttyS0)"});
    EXPECT_EQ(view.Calls(), (QStringList{"ShowMessage(设备联接中.)", "SetChipText(从机状况：)"}));
    EXPECT_EQ(state.PortNumber, 1);
    EXPECT_EQ(state.ReplyLength, 1);
    EXPECT_EQ(state.PageSize, 64);
}

TEST_F(LoaderTest, ConnectTwiceReopensAndShowsTheMessageAgain) {
    loader.Connect();
    view.portText = "/dev/pts/9";
    loader.Connect();
    EXPECT_EQ(link.events, (QStringList{"Open(/dev/ttyS0)", "Close()", "Open(/dev/pts/9)"}));
    EXPECT_EQ(view.CallsStartingWith("ShowMessage").size(), 2);
}

struct FailedOpenRow {
    const char* name;
    const char* portText;
    const char* device;
    std::uint8_t number;
};

void PrintTo(const FailedOpenRow& row, std::ostream* out) {
    *out << row.name;
}

class FailedOpen : public LoaderTest, public ::testing::WithParamInterface<FailedOpenRow> {};

// The link explains the failure; the loader hands it what was typed and shows its text unchanged.
TEST_P(FailedOpen, ShowsTheLinksTextAloneAndStillResetsTheReplyState) {
    const FailedOpenRow& row = GetParam();
    link.openError = "No such file or directory\n找不到串口设备";
    view.portText = QString::fromUtf8(row.portText);
    state.ReplyLength = 3;
    state.PageSize = 128;
    loader.Connect();
    EXPECT_EQ(link.events, QStringList{QStringLiteral("Open(%1)").arg(row.device)});
    EXPECT_EQ(link.lastRequest.text, view.portText);
    EXPECT_EQ(link.lastRequest.number, row.number);
    EXPECT_EQ(link.lastRequest.appDir, state.AppDir);
    EXPECT_EQ(view.errors, QStringList{link.openError});
    EXPECT_EQ(view.Calls().size(), 1);
    EXPECT_EQ(view.chipText, "从机状况：");
    EXPECT_EQ(state.ReplyLength, 1);
    EXPECT_EQ(state.PageSize, 64);
    EXPECT_FALSE(link.IsOpen());
}

INSTANTIATE_TEST_SUITE_P(
    Texts, FailedOpen,
    ::testing::Values(FailedOpenRow{"ComTen", "COM10", "/dev/ttyS9", 10},
                      FailedOpenRow{"ComZero", "COM0", "/dev/ttyS-1", 0},
                      FailedOpenRow{"DeviceNameEndingInZero", "ttyUSB0", "/dev/ttyS-1", 0},
                      FailedOpenRow{"ComFive", "COM5", "/dev/ttyS4", 5},
                      FailedOpenRow{"MissingPath", "/dev/corvat-none", "/dev/corvat-none", 0}),
    [](const auto& info) { return std::string(info.param.name); });

struct RefusedRow {
    const char* name;
    const char* portText;
    bool portOpenBefore;
};

void PrintTo(const RefusedRow& row, std::ostream* out) {
    *out << row.name;
}

class RefusedPortText : public LoaderTest, public ::testing::WithParamInterface<RefusedRow> {};

TEST_P(RefusedPortText, PromptsClosesAnOpenPortAndTouchesNothingElse) {
    const RefusedRow& row = GetParam();
    if (row.portOpenBefore) loader.Connect();
    view.ClearCalls();
    link.events.clear();
    view.portText = QString::fromUtf8(row.portText);
    state.ReplyLength = 3;
    state.PageSize = 128;
    state.PortNumber = 4;
    loader.Connect();
    // A port closed by the refusal leaves the two lines as a release does, before the prompt shows.
    const QStringList lineResets{QStringLiteral("ShowMessage(信息....)"),
                                 QStringLiteral("SetChipText(从机状况：)")};
    const qsizetype resets = row.portOpenBefore ? lineResets.size() : 0;
    ASSERT_EQ(view.Calls().size(), resets + 1) << view.Calls().join(' ').toStdString();
    EXPECT_EQ(view.Calls().mid(0, resets), lineResets.mid(0, resets));
    EXPECT_TRUE(view.Calls().back().startsWith("ShowPrompt(")) << view.Calls().back().toStdString();
    EXPECT_EQ(view.message, QStringLiteral("信息...."));
    EXPECT_EQ(view.chipText, QStringLiteral("从机状况："));
    EXPECT_EQ(link.events, row.portOpenBefore ? QStringList{"Close()"} : QStringList{});
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(state.ReplyLength, 3);
    EXPECT_EQ(state.PageSize, 128);
    EXPECT_EQ(state.PortNumber, 4);
}

INSTANTIATE_TEST_SUITE_P(Texts, RefusedPortText,
                         ::testing::Values(RefusedRow{"Empty", "", false},
                                           RefusedRow{"LetterLast", "COMx", false},
                                           RefusedRow{"NoNumber", "COM", false},
                                           RefusedRow{"EmptyWhileOpen", "", true},
                                           RefusedRow{"LetterLastWhileOpen", "COMx", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(LoaderTest, ReceiveGateWaitsForThreeCharactersAndReadsThemAtOnce) {
    loader.Connect();
    link.Receive(">");
    const int readsAfterGreeting = link.readCount;
    link.Receive("0");
    link.Receive("x");
    EXPECT_EQ(link.readCount, readsAfterGreeting) << "read before three characters waited";
    link.Receive("g");
    EXPECT_EQ(link.readCount, readsAfterGreeting + 1);
    EXPECT_EQ(view.chipText, "从机容量: 7168 Vel: 1.1");
}

TEST_F(LoaderTest, TwoCharactersReadTogetherAreOneUnknownReply) {
    loader.Connect();
    view.ClearCalls();
    link.Receive(">x");
    EXPECT_TRUE(link.writes.isEmpty());
    EXPECT_EQ(view.Calls(), QStringList{"ShowMessage(联接中...)"});
}

struct ReplyRow {
    const char* name;
    std::int16_t replyLength;  // before the reply
    QByteArray reply;
    QStringList writes;  // hex
    QStringList calls;
    std::int16_t replyLengthAfter;
    std::int16_t pageSizeAfter;  // 32: left as it was
};

void PrintTo(const ReplyRow& row, std::ostream* out) {
    *out << row.name;
}

class Dispatcher : public LoaderTest, public ::testing::WithParamInterface<ReplyRow> {};

TEST_P(Dispatcher, HandlesTheReply) {
    const ReplyRow& row = GetParam();
    loader.Connect();
    view.ClearCalls();
    state.ReplyLength = row.replyLength;
    state.PageSize = 32;
    loader.HandleReply(row.reply);
    QStringList written;
    for (const QByteArray& bytes : link.writes) written << Hex(bytes);
    EXPECT_EQ(written, row.writes);
    EXPECT_EQ(view.Calls(), row.calls);
    EXPECT_EQ(state.ReplyLength, row.replyLengthAfter);
    EXPECT_EQ(state.PageSize, row.pageSizeAfter);
}

QStringList Rejected() {
    QStringList calls;
    for (int pass = 1; pass <= 5; ++pass)
        calls << QString("SetAttemptCounter(%1)").arg(pass) << "ShowMessage(联接失败，请重上电....)";
    return calls << "SetAttemptCounter(6)"
                 << "ShowMessage(联接失败，请重联....)";
}

QStringList Accepted(const QString& capacity) {
    return {"SetAttemptCounter(1)",
            "SetChipText(" + capacity + "Vel: 1.1)",
            "ShowMessage(联接成功，可下载....)",
            "Beep()",
            "SetEnabled(cmdExit,true)",
            "SetEnabled(cmdWrite,true)"};
}

INSTANTIATE_TEST_SUITE_P(
    Replies, Dispatcher,
    ::testing::Values(ReplyRow{"Greeting",
                               1,
                               ">",
                               {"3C"},
                               {"ShowMessage(开始联接..)", "SetEnabled(Combo1,false)",
                                "SetEnabled(cmdFlashFile,false)", "SetEnabled(cmdstar,false)"},
                               3,
                               32},
                      ReplyRow{"TwoGreetings", 1, ">>", {}, {"ShowMessage(联接中...)"}, 1, 32},
                      ReplyRow{"TargetExit", 3, "E", {}, {"ShowMessage(正确退出)"}, 3, 32},
                      ReplyRow{"LowerCaseExit", 1, "e", {}, {"ShowMessage(联接中...)"}, 1, 32},
                      ReplyRow{"SmallTarget", 3, "0xg", {}, Accepted("从机容量: 7168 "), 1, 64},
                      ReplyRow{"LargeTarget", 3, "1zg", {}, Accepted("从机容量: 15360 "), 1, 128},
                      ReplyRow{"FourCharacters", 3, "0xgQ", {}, Accepted("从机容量: 7168 "), 1, 64},
                      ReplyRow{"UnknownKind", 3, "2xg", {}, Rejected(), 1, 32},
                      ReplyRow{"CapitalVersion", 3, "0xG", {}, Rejected(), 1, 64},
                      ReplyRow{"LaterVersion", 3, "1xh", {}, Rejected(), 1, 128},
                      ReplyRow{"ShortReply", 3, "1x", {}, Rejected(), 1, 128},
                      ReplyRow{"EmptyReply", 3, "", {}, Rejected(), 1, 32}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LoaderTest, NewGreetingAfterRejectionIdentifiesOnTheFirstPass) {
    loader.Connect();
    link.Receive(">");
    link.Receive("2xg");
    EXPECT_EQ(view.attemptCounter, "6");
    EXPECT_EQ(view.beepCount, 0);
    link.Receive(">");
    link.Receive("1xg");
    EXPECT_EQ(link.writes, (QList<QByteArray>{"<", "<"}));
    EXPECT_EQ(view.attemptCounter, "1");
    EXPECT_EQ(view.beepCount, 1);
    EXPECT_TRUE(view.IsEnabled(Control::cmdWrite));
    EXPECT_TRUE(view.IsEnabled(Control::cmdExit));
}

TEST_F(LoaderTest, ReleaseSendsEThenClosesAndResetsTheWindow) {
    Identify();
    loader.Release();
    EXPECT_EQ(link.events, (QStringList{"Write(45)", "Close()"}));
    EXPECT_EQ(view.Calls(), kReleasedEnabledOrder + kReleasedTexts);
}

TEST_F(LoaderTest, VanishedAdapterIsReportedAndLeavesTheWindowAsReleased) {
    state.ImageData = "image";
    state.ImageLength = 5;
    Identify();
    loader.StartDownload();
    link.Receive("!");
    view.ClearCalls();
    link.Vanish("Input/output error");
    EXPECT_EQ(view.Calls(),
              QStringList{"ShowError(Input/output error)"} + kReleasedEnabledOrder + kReleasedTexts);
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(state.ImageData, "image");
    EXPECT_FALSE(link.events.contains("Write(45)"));
}

TEST_F(LoaderTest, EveryEnabledStateChangeOfOneSessionInOrder) {
    state.ImageData = QByteArray(130, 'a');
    state.ImageLength = 130;
    loader.Connect();
    link.Receive(">");
    link.Receive("0xg");
    loader.StartDownload();
    for (int answer = 0; answer < 4; ++answer) link.Receive("!");
    loader.Release();
    EXPECT_EQ(EnabledChanges(), QStringList({"SetEnabled(Combo1,false)", "SetEnabled(cmdFlashFile,false)",
                                             "SetEnabled(cmdstar,false)", "SetEnabled(cmdExit,true)",
                                             "SetEnabled(cmdWrite,true)", "SetEnabled(cmdWrite,false)",
                                             "SetEnabled(cmdExit,false)", "SetEnabled(cmdExit,true)"}) +
                                    kReleasedEnabledOrder);
}

}  // namespace
}  // namespace corvat::test
