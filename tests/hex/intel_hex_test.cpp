// The parser in memory: what each kind of file turns into, and where and why bad ones are refused.
#include "hex/intel_hex.h"

#include <gtest/gtest.h>

#include "hex/hex_text.h"

namespace corvat::test {
namespace {

using hex2bin::Limits;
using hex2bin::ParseIntelHex;

hex2bin::ParseResult Parse(const std::string& text, const Limits& limits = {}) {
    return ParseIntelHex({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, limits);
}

struct Piece {
    std::size_t address;
    Bytes bytes;
};

struct ValidCase {
    const char* name;
    std::string text;
    std::size_t size;  // expected image length; FF wherever no piece lies
    std::vector<Piece> pieces;
    Limits limits = {};
};

Bytes Expected(const ValidCase& row) {
    Bytes image(row.size, 0xFF);
    for (const auto& piece : row.pieces)
        std::copy(piece.bytes.begin(), piece.bytes.end(), image.begin() + static_cast<long>(piece.address));
    return image;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

const std::vector<ValidCase> kValidCases = {
    {"DataAtZero", Lines({Data(0, {1, 2, 3}), kEof}), 3, {{0, {1, 2, 3}}}},
    {"DataAboveZeroStillStartsAtZero", Lines({Data(4, {7}), kEof}), 5, {{4, {7}}}},
    {"GapFilledWithFF", Lines({Data(0, {1}), Data(3, {2}), kEof}), 4, {{0, {1}}, {3, {2}}}},
    {"ShuffledRecords", Lines({Data(2, {3, 4}), Data(0, {1, 2}), kEof}), 4, {{0, {1, 2, 3, 4}}}},
    {"SameByteTwiceIsFine", Lines({Data(0, {1, 2}), Data(1, {2, 3}), kEof}), 3, {{0, {1, 2, 3}}}},
    {"LowerCaseDigits", Lower(Lines({Data(0, {0xAB, 0xCD}), kEof})), 2, {{0, {0xAB, 0xCD}}}},
    {"CrLfAndTrailingBlanks", Data(0, {9}) + " \t\r\n" + kEof + "\r\n", 1, {{0, {9}}}},
    {"BlankLinesAnywhere", Lines({"", Data(0, {9}), "  ", "", kEof, "", "\t"}), 1, {{0, {9}}}},
    {"NoNewlineAfterEof", Data(0, {9}) + "\n" + kEof, 1, {{0, {9}}}},
    {"DosEndMarkAfterEof", Lines({Data(0, {9}), kEof}) + "\x1A", 1, {{0, {9}}}},
    {"StartAddressesIgnored",
     Lines({Record(0x03, 0, {0, 0, 1, 0}), Data(0, {5}), Record(0x05, 0, {0, 0, 0x10, 0}), kEof}),
     1,
     {{0, {5}}}},
    {"EmptyDataRecordAddsNothing", Lines({Data(0, {5}), Data(0x8000, {}), kEof}), 1, {{0, {5}}}},
    {"SegmentAddress", Lines({Segment(0x0010), Data(2, {6}), kEof}), 0x103, {{0x102, {6}}}},
    {"SegmentOffsetWrapsInsideSegment",
     Lines({Segment(0x0001), Data(0xFFFF, {1, 2}), kEof}),
     0x10010,
     {{0x10, {2}}, {0x1000F, {1}}}},
    {"LinearAddress", Lines({Linear(0x0002), Data(0x10, {4}), kEof}), 0x20011, {{0x20010, {4}}}},
    {"LinearRecordRunsOnPast64K",
     Lines({Linear(0), Data(0xFFFF, {1, 2}), kEof}),
     0x10001,
     {{0xFFFF, {1, 2}}}},
    {"LatestAddressRecordRules", Lines({Linear(1), Segment(0), Data(0, {8}), kEof}), 1, {{0, {8}}}},
    {"LinearZeroEndsSegment", Lines({Segment(0x100), Linear(0), Data(0, {8}), kEof}), 1, {{0, {8}}}},
    {"FullLengthRecord", Lines({Data(0, Pattern(255)), kEof}), 255, {{0, Pattern(255)}}},
    {"LastByteInsideLimit", Lines({Data(15, {1}), kEof}), 16, {{15, {1}}}, Limits{16}},
};

class ValidHex : public ::testing::TestWithParam<ValidCase> {};

TEST_P(ValidHex, GivesFlatImageFromZero) {
    const auto result = Parse(GetParam().text, GetParam().limits);
    ASSERT_TRUE(result.ok()) << "line " << result.error->line << ": " << result.error->message;
    EXPECT_EQ(result.image, Expected(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Parser, ValidHex, ::testing::ValuesIn(kValidCases),
                         [](const auto& info) { return std::string(info.param.name); });

class BadHex : public ::testing::TestWithParam<BadHexCase> {};

TEST_P(BadHex, RefusedNamingLineAndFault) {
    const auto result = Parse(GetParam().text);
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error->line, GetParam().line);
    EXPECT_NE(result.error->message.find(GetParam().fault), std::string::npos) << result.error->message;
    EXPECT_EQ(result.error->message.find('\n'), std::string::npos);
    EXPECT_TRUE(result.image.empty());
}

INSTANTIATE_TEST_SUITE_P(Parser, BadHex, ::testing::ValuesIn(BadHexCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ParserLimits, ByteJustPastLimitIsRefused) {
    const auto result = Parse(Lines({Data(0, {1}), Data(15, {1, 2}), kEof}), Limits{16});
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error->line, 2);
    EXPECT_NE(result.error->message.find("0x10"), std::string::npos) << result.error->message;
}

TEST(ParserLimits, SegmentWrapStaysInsideSegment) {
    // Wrapping brings the tail back to the segment's start, so the image ends at the segment's top.
    const auto result = Parse(Lines({Segment(0), Data(0xFFFE, {1, 2, 3, 4}), kEof}), Limits{0x10000});
    ASSERT_TRUE(result.ok()) << result.error->message;
    EXPECT_EQ(result.image.size(), 0x10000u);
    EXPECT_EQ(result.image[0], 3);
    EXPECT_EQ(result.image[0xFFFF], 2);
}

TEST(ParserMessages, ChecksumMessageGivesTheRightValue) {
    const auto result = Parse(Lines({":0100000055AB", kEof}));
    ASSERT_FALSE(result.ok());
    EXPECT_NE(result.error->message.find("应为 0xAA"), std::string::npos) << result.error->message;
}

struct RoundTripCase {
    const char* name;
    std::size_t size;
    std::size_t recordSize;
    std::uint32_t base;
};

class WriterRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(WriterRoundTrip, ParsesBackToTheSameImage) {
    const auto& row = GetParam();
    const Bytes bytes = Pattern(row.size, 3);
    const auto result = Parse(hex2bin::FormatIntelHex(bytes, row.recordSize, row.base));
    ASSERT_TRUE(result.ok()) << result.error->message;
    Bytes expected(row.base, 0xFF);
    expected.insert(expected.end(), bytes.begin(), bytes.end());
    EXPECT_EQ(result.image, expected);
}

INSTANTIATE_TEST_SUITE_P(Writer, WriterRoundTrip,
                         ::testing::Values(RoundTripCase{"OneByte", 1, 16, 0},
                                           RoundTripCase{"PartialLastRecord", 3000, 16, 0},
                                           RoundTripCase{"OddRecordSize", 1000, 7, 0},
                                           RoundTripCase{"LongestRecords", 1000, 255, 0},
                                           RoundTripCase{"Across64KBoundaries", 140000, 32, 0xFFF0}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvat::test
