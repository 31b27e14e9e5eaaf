#include "protocol/page_frame.h"

#include <gtest/gtest.h>

#include "support/memory_link.h"

namespace corvat {
namespace {

using test::Hex;

QByteArray Counting(int length) {
    QByteArray image(length, '\0');
    for (int k = 0; k < length; ++k) image[k] = static_cast<char>(k & 0xFF);
    return image;
}

struct LastPageRow {
    const char* name;
    std::int32_t imageLength;
    std::int32_t pageSize;
    std::int32_t lastPage;
};

void PrintTo(const LastPageRow& row, std::ostream* out) {
    *out << row.name;
}

class LastPageTest : public ::testing::TestWithParam<LastPageRow> {};

TEST_P(LastPageTest, IsThePageHoldingTheLastByte) {
    EXPECT_EQ(LastPage(GetParam().imageLength, GetParam().pageSize), GetParam().lastPage);
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, LastPageTest,
    ::testing::Values(LastPageRow{"Empty", 0, 64, -1}, LastPageRow{"EmptyWidePages", 0, 128, -1},
                      LastPageRow{"OnePageExactly", 64, 64, 0}, LastPageRow{"TwoPagesExactly", 128, 64, 1},
                      LastPageRow{"OneByteOver", 129, 64, 2}, LastPageRow{"WorkedExample", 130, 64, 2},
                      LastPageRow{"SmallTargetFull", 7168, 64, 111},
                      LastPageRow{"LargeTargetFull", 15360, 128, 119},
                      LastPageRow{"Beyond16BitLength", 40000, 64, 624}),
    [](const auto& info) { return std::string(info.param.name); });

struct HeaderRow {
    const char* name;
    std::int32_t pageIndex;
    const char* hex;
};

void PrintTo(const HeaderRow& row, std::ostream* out) {
    *out << row.name;
}

class PageHeaderTest : public ::testing::TestWithParam<HeaderRow> {};

TEST_P(PageHeaderTest, IsHighByteFirst) {
    EXPECT_EQ(Hex(PageHeader(GetParam().pageIndex)), GetParam().hex);
}

INSTANTIATE_TEST_SUITE_P(Pages, PageHeaderTest,
                         ::testing::Values(HeaderRow{"First", 0, "00 00"}, HeaderRow{"Seventh", 7, "00 07"},
                                           HeaderRow{"Page300", 300, "01 2C"},
                                           HeaderRow{"LastLowByte", 255, "00 FF"},
                                           HeaderRow{"HighestAllowed", 32767, "7F FF"}),
                         [](const auto& info) { return std::string(info.param.name); });

struct FrameRow {
    const char* name;
    QByteArray image;
    std::int32_t imageLength;
    std::int32_t pageIndex;
    std::int32_t pageSize;
    QByteArray data;  // expected data bytes, before the checksum
    std::uint8_t checksum;
};

void PrintTo(const FrameRow& row, std::ostream* out) {
    *out << row.name;
}

class DataFrameTest : public ::testing::TestWithParam<FrameRow> {};

TEST_P(DataFrameTest, CarriesPageBytesFillerAndChecksum) {
    const FrameRow& row = GetParam();
    const QByteArray frame = DataFrame(row.image, row.imageLength, row.pageIndex, row.pageSize);
    ASSERT_EQ(frame.size(), row.pageSize + 1);
    EXPECT_EQ(Hex(frame.first(row.pageSize)), Hex(row.data));
    EXPECT_EQ(static_cast<std::uint8_t>(frame.back()), row.checksum);
}

QByteArray Filler(int count) {
    return QByteArray(count, '\xFF');
}

INSTANTIATE_TEST_SUITE_P(
    Frames, DataFrameTest,
    ::testing::Values(
        FrameRow{"WorkedPage0", Counting(130), 130, 0, 64, Counting(64), 0xE0},
        FrameRow{"WorkedPage1", Counting(130), 130, 1, 64, Counting(128).mid(64), 0xE1},
        FrameRow{"WorkedPage2", Counting(130), 130, 2, 64, QByteArray("\x80\x81") + Filler(62), 0xC5},
        FrameRow{"FillerPageBehindHeader0007", QByteArray(), 0, 7, 64, Filler(64), 0xC7},
        FrameRow{"OneImageByteInLastPage", Counting(129), 129, 2, 64, QByteArray(1, '\x80') + Filler(63),
                 static_cast<std::uint8_t>((2 + 0x80 + 63 * 0xFF) & 0xFF)},
        // The page at offset 32768 must read image bytes there, not wrap to the start.
        FrameRow{"OffsetBeyond16Bits", Counting(32768 + 3), 32768 + 3, 512, 64, Counting(3) + Filler(61),
                 static_cast<std::uint8_t>((0x02 + 0x00 + 0 + 1 + 2 + 61 * 0xFF) & 0xFF)},
        // A length that claims more bytes than are held pads rather than reading past the buffer.
        FrameRow{"LengthBeyondBuffer", Counting(2), 64, 0, 64, Counting(2) + Filler(62),
                 static_cast<std::uint8_t>((1 + 62 * 0xFF) & 0xFF)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EndMarkerTest, IsTwoBytesFF) {
    EXPECT_EQ(Hex(EndMarker()), "FF FF");
}

}  // namespace
}  // namespace corvat
