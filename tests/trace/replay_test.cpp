// The replay of a target's side: answers wait for what the loader sent before them and keep their
// gaps; the first byte of the loader's that differs is named.
#include <gtest/gtest.h>

#include "trace/replay.h"

namespace corvat::trace {
namespace {

using std::chrono::microseconds;

const char kTrace[] =
    "corvat-trace 1 program=corvat-flash ports=COM1,COM2\n"
    "1000 COM1 note open\n"
    "301000 COM1 rx 3E\n"
    "301200 COM1 tx 3C\n"
    "301500 COM1 rx 30 78 67\n"
    "302000 COM1 rx 21\n"
    "302100 COM2 rx 3E\n"
    "303000 COM1 tx 57\n"
    "303100 COM1 note port-lost\n"
    "400000 COM1 note open\n"
    "400100 COM1 tx 3C\n";

ReplaySession Session(const std::string& port, std::size_t index) {
    const auto parsed = ParseTrace(kTrace);
    std::string error;
    auto sessions = SessionsOf(*parsed.trace, port, &error);
    EXPECT_GT(sessions.size(), index) << error;
    return sessions.size() > index ? sessions[index] : ReplaySession{};
}

TEST(ReplayTest, AnswersWaitForTheLoaderAndKeepTheirGaps) {
    Replayer replayer(Session({}, 0));
    const auto t0 = ReplayClock::now();
    const auto greeting = replayer.Start(t0);
    ASSERT_EQ(greeting.size(), 1u);
    EXPECT_EQ(greeting[0].bytes, ">");
    EXPECT_EQ(greeting[0].due, t0 + microseconds(300000));

    const auto t1 = t0 + microseconds(400000);
    const auto answers = replayer.Received("<", t1);
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[0].bytes, "0xg");
    EXPECT_EQ(answers[0].due, t1 + microseconds(300));
    EXPECT_EQ(answers[1].due, t1 + microseconds(800));  // after the target's own answer, as recorded

    const auto t2 = t1 + microseconds(5000);
    const auto unplug = replayer.Received("W", t2);
    ASSERT_EQ(unplug.size(), 1u);
    EXPECT_EQ(unplug[0].kind, ReplayStep::Kind::kHangUp);
    EXPECT_EQ(unplug[0].due, t2 + microseconds(100));
    EXPECT_TRUE(replayer.Complete());
}

TEST(ReplayTest, EachOpeningIsASessionOfItsOwnPort) {
    EXPECT_EQ(Session("COM1", 1).loaderBytes, "<");
    const ReplaySession other = Session("COM2", 0);
    ASSERT_EQ(other.steps.size(), 1u);
    EXPECT_EQ(other.steps[0].gap, microseconds(302100));  // from the start of the trace: COM2 has no opening
    std::string error;
    EXPECT_TRUE(SessionsOf(*ParseTrace(kTrace).trace, "COM3", &error).empty());
    EXPECT_EQ(error, "the trace holds nothing of port \"COM3\"");
}

struct Divergence {
    const char* name;
    const char* loaderSends;
    bool closes;
    const char* text;
};

const Divergence kDivergences[] = {
    {"OtherByte", "<Q", false, "offset 1: expected 57, got 51"},
    {"MoreThanRecorded", "<WE", false, "offset 2: expected nothing more, got 45"},
    {"ClosedEarly", "<", true, "offset 1: expected 57, got nothing (the loader closed the port)"},
};

class DivergenceTest : public ::testing::TestWithParam<Divergence> {};

TEST_P(DivergenceTest, TheFirstDifferenceIsNamedAndNothingMoreIsSent) {
    Replayer replayer(Session({}, 0));
    const auto now = ReplayClock::now();
    (void)replayer.Start(now);
    (void)replayer.Received(GetParam().loaderSends, now);
    if (GetParam().closes) replayer.Closed();
    ASSERT_TRUE(replayer.FirstDifference());
    EXPECT_EQ(replayer.FirstDifference()->Text(), GetParam().text);
    EXPECT_TRUE(replayer.Received("W", now).empty());
    EXPECT_FALSE(replayer.Complete());
}

INSTANTIATE_TEST_SUITE_P(Trace, DivergenceTest, ::testing::ValuesIn(kDivergences),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvat::trace
