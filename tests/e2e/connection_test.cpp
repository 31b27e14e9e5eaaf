// Greeting, identification and release between the real loader and the virtual target.
#include <gtest/gtest.h>

#include "loader_on_target.h"

namespace corvat::test {
namespace {

struct IdentifiedRow {
    const char* name;
    QStringList options;
    QString chip;
    int pageSize;
    int targetWrites;  // greeting and identification as the target wrote them
};

int WritesOf(const VirtualTarget& target) {
    int writes = 0;
    for (const QString& line : target.Transcript()) writes += line.section(' ', 1, 1) == "tx" ? 1 : 0;
    return writes;
}

class IdentifiedTest : public testing::TestWithParam<IdentifiedRow> {};

TEST_P(IdentifiedTest, IdentifiesThenReleasesWithOneE) {
    const IdentifiedRow& row = GetParam();
    LoaderOnTarget t(row.options);
    t.ConnectAndWaitFor(kIdentified);

    EXPECT_EQ(t.view.chipText, row.chip);
    EXPECT_EQ(t.state.PageSize, row.pageSize);
    EXPECT_EQ(t.view.attemptCounter, "1");
    EXPECT_EQ(t.view.beepCount, 1);
    EXPECT_EQ(WritesOf(t.target), row.targetWrites);
    EXPECT_TRUE(t.view.IsEnabled(Control::cmdWrite));
    EXPECT_TRUE(t.view.IsEnabled(Control::cmdExit));
    EXPECT_FALSE(t.view.IsEnabled(Control::cmdstar));

    t.ReleaseAndSettle();
    EXPECT_EQ(t.target.Received(), "<E");
    EXPECT_FALSE(t.loader.PortOpen());
    EXPECT_EQ(t.view.message, "信息....");
    EXPECT_EQ(t.view.chipText, "从机状况：");
    EXPECT_TRUE(t.view.IsEnabled(Control::cmdstar));
    EXPECT_TRUE(t.view.IsEnabled(Control::Combo1));
    EXPECT_FALSE(t.view.IsEnabled(Control::cmdWrite));
}

const QString kChip0 = QStringLiteral("从机容量: 7168 Vel: 1.1");
const QString kChip1 = QStringLiteral("从机容量: 15360 Vel: 1.1");

INSTANTIATE_TEST_SUITE_P(Kinds, IdentifiedTest,
                         testing::Values(IdentifiedRow{"kind_0", {"--kind", "0"}, kChip0, 64, 2},
                                         IdentifiedRow{"kind_1", {"--kind", "1"}, kChip1, 128, 2},
                                         IdentifiedRow{"four_characters", {"--ident", "0xgZ"}, kChip0, 64, 2},
                                         // The gate holds the first character until all three have come.
                                         IdentifiedRow{"identification_in_two_pieces",
                                                       {"--kind", "1", "--ident-split-ms", "150"},
                                                       kChip1,
                                                       128,
                                                       3}),
                         [](const auto& info) { return std::string(info.param.name); });

struct RejectedRow {
    const char* name;
    const char* ident;
    int pageSizeAfter;
};

class RejectedIdentificationTest : public testing::TestWithParam<RejectedRow> {};

TEST_P(RejectedIdentificationTest, GivesUpAfterSixPassesThenANewGreetingSucceeds) {
    const RejectedRow& row = GetParam();
    LoaderOnTarget t({"--ident", row.ident, "--ident", "1xg"});
    t.ConnectAndWaitFor(QStringLiteral("联接失败，请重联...."));

    EXPECT_EQ(t.view.attemptCounter, "6");
    EXPECT_EQ(t.view.beepCount, 0);
    EXPECT_EQ(t.state.PageSize, row.pageSizeAfter);
    EXPECT_FALSE(t.view.IsEnabled(Control::cmdWrite));
    EXPECT_FALSE(t.view.IsEnabled(Control::cmdExit));
    EXPECT_FALSE(t.view.IsEnabled(Control::cmdstar));

    // The operator switches the target off and on: it greets on the line that is still open.
    t.view.ClearCalls();
    t.target.PowerCycle();
    ASSERT_TRUE(WaitFor([&] { return t.view.message == kIdentified; }));
    EXPECT_EQ(t.view.attemptCounter, "1");
    EXPECT_EQ(t.view.chipText, kChip1);
    EXPECT_EQ(t.view.beepCount, 1);
    t.CloseAndSettle();
    EXPECT_EQ(t.target.Received(), "<<");
}

INSTANTIATE_TEST_SUITE_P(Identifications, RejectedIdentificationTest,
                         testing::Values(RejectedRow{"unknown_kind", "2xg", 64},
                                         RejectedRow{"capital_version_letter", "0xG", 64},
                                         RejectedRow{"kind_1_wrong_letter_keeps_128", "1xh", 128}),
                         [](const auto& info) { return std::string(info.param.name); });

struct StrayRow {
    const char* name;
    QStringList options;
    QString message;
};

class StrayReplyTest : public testing::TestWithParam<StrayRow> {};

TEST_P(StrayReplyTest, IsShownAndNothingIsSent) {
    LoaderOnTarget t(GetParam().options);
    t.ConnectAndWaitFor(GetParam().message);
    EXPECT_TRUE(t.view.IsEnabled(Control::cmdstar));
    EXPECT_FALSE(t.view.IsEnabled(Control::cmdWrite));
    t.CloseAndSettle();
    EXPECT_EQ(t.target.Received(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Replies, StrayReplyTest,
    testing::Values(
        StrayRow{"two_greetings_read_together", {"--greeting", ">>"}, QStringLiteral("联接中...")},
        StrayRow{"target_says_E", {"--greeting", "E"}, QStringLiteral("正确退出")}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvat::test
