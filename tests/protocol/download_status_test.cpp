#include "protocol/download_status.h"

#include <gtest/gtest.h>

namespace corvat {
namespace {

struct GlyphRow {
    const char* name;
    std::int32_t lastPage;
    std::int32_t pageIndex;
    std::int32_t glyphs;
};

void PrintTo(const GlyphRow& row, std::ostream* out) {
    *out << row.name;
}

class ProgressGlyphTest : public ::testing::TestWithParam<GlyphRow> {};

TEST_P(ProgressGlyphTest, MatchesTheBarTable) {
    const GlyphRow& row = GetParam();
    EXPECT_EQ(ProgressGlyphCount(row.pageIndex, row.lastPage), row.glyphs);
    EXPECT_EQ(ProgressBarText(ProgressGlyphCount(row.pageIndex, row.lastPage)),
              QString(row.glyphs, QChar(0x25A0)));
}

INSTANTIATE_TEST_SUITE_P(
    Bar, ProgressGlyphTest,
    ::testing::Values(GlyphRow{"EmptyImage", -1, 0, 39}, GlyphRow{"OnePage", 0, 1, 39},
                      GlyphRow{"TwoPages", 1, 0, 39}, GlyphRow{"TwoPagesEnd", 1, 2, 39},
                      GlyphRow{"ThreePagesFirst", 2, 0, 0}, GlyphRow{"ThreePagesSecond", 2, 1, 19},
                      GlyphRow{"ThreePagesThird", 2, 2, 38}, GlyphRow{"ThreePagesEndMarker", 2, 3, 57},
                      GlyphRow{"TieDownToEven", 4, 1, 9}, GlyphRow{"TieUpToEven", 4, 3, 29},
                      GlyphRow{"NegativeHalfToZero", 76, 1, 1}, GlyphRow{"PositiveHalfToZero", 76, 3, 1},
                      GlyphRow{"HalfToTwo", 76, 5, 3}, GlyphRow{"SmallTargetFirst", 111, 1, 0},
                      GlyphRow{"SmallTargetSecond", 111, 2, 1}, GlyphRow{"SmallTargetLast", 111, 111, 38},
                      GlyphRow{"SmallTargetEndMarker", 111, 112, 38},
                      GlyphRow{"LargeTargetEndMarker", 119, 120, 38},
                      // 1000 x 38 no longer fits 16 bits; the bar must still grow, not go negative.
                      GlyphRow{"ProductBeyond16Bits", 1200, 1000, 32}),
    [](const auto& info) { return std::string(info.param.name); });

struct ElapsedRow {
    const char* name;
    std::int64_t seconds;
    const char* text;
};

void PrintTo(const ElapsedRow& row, std::ostream* out) {
    *out << row.name;
}

class ElapsedTextTest : public ::testing::TestWithParam<ElapsedRow> {};

TEST_P(ElapsedTextTest, ShowsHoursMinutesSeconds) {
    EXPECT_EQ(ElapsedText(GetParam().seconds), QString::fromUtf8(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(Times, ElapsedTextTest,
                         ::testing::Values(ElapsedRow{"Zero", 0, "0:00:00"},
                                           ElapsedRow{"Seven", 7, "0:00:07"},
                                           ElapsedRow{"MinuteCarry", 61, "0:01:01"},
                                           ElapsedRow{"LastOfFirstDay", 86399, "23:59:59"},
                                           ElapsedRow{"HoursPastADay", 90007, "25:00:07"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ElapsedSecondsTest, CountsWholeSecondsOfTheClock) {
    const QDateTime start = QDateTime::fromMSecsSinceEpoch(1'700'000'000'100);
    EXPECT_EQ(ElapsedSeconds(start, start.addMSecs(850)), 0) << "same second";
    EXPECT_EQ(ElapsedSeconds(start, start.addMSecs(900)), 1) << "the clock's second turned over";
    EXPECT_EQ(ElapsedSeconds(start, start.addSecs(7)), 7);
    EXPECT_EQ(ElapsedSeconds(start, start.addSecs(-30)), 0) << "clock set back";
}

TEST(PageStatusTest, NamesPagesErrorsAndTime) {
    EXPECT_EQ(AcceptedPageStatus(5, 2, QStringLiteral("0:00:07")),
              QStringLiteral("成功写到5页，错误次数2，时间0:00:07"));
    EXPECT_EQ(RejectedPageStatus(-1, 1), QStringLiteral("成功写到-1页，错误次数1"));
    EXPECT_EQ(RejectedPageStatus(40000, 70000), QStringLiteral("成功写到40000页，错误次数70000"));
}

}  // namespace
}  // namespace corvat
