#include <QRegularExpression>

#include "loader_fixture.h"
#include "protocol/page_frame.h"

namespace corvat::test {
namespace {

class DownloadTest : public LoaderTest {
  protected:
    void Load(const QByteArray& image) {
        state.ImageData = image;
        state.ImageLength = static_cast<std::int32_t>(image.size());
    }

    QStringList WrittenHex() const {
        QStringList hex;
        for (const QByteArray& bytes : link.writes) hex << Hex(bytes);
        return hex;
    }
};

QByteArray Counting(int length) {
    QByteArray image(length, '\0');
    for (int k = 0; k < length; ++k) image[k] = static_cast<char>(k);
    return image;
}

const QRegularExpression kStatusWithTime(
    QStringLiteral("^成功写到(-?\\d+)页，错误次数(\\d+)，时间\\d+:\\d\\d:\\d\\d$"));

TEST_F(DownloadTest, StartSendsWAndLocksBothButtons) {
    Load(Counting(130));
    Identify();
    loader.StartDownload();
    EXPECT_EQ(link.writes, QList<QByteArray>{"W"});
    EXPECT_EQ(view.Calls(), (QStringList{"SetEnabled(cmdWrite,false)", "SetEnabled(cmdExit,false)"}));
    EXPECT_EQ(state.LastPage, 2);
    EXPECT_EQ(state.PageIndex, -1);
    EXPECT_EQ(state.ErrorCount, 0);
    EXPECT_EQ(state.ReplyLength, 1);
    EXPECT_TRUE(state.StartTime.isValid());
}

TEST_F(DownloadTest, WorkedExampleGoesOutFrameByFrame) {
    Load(Counting(130));
    Identify();
    loader.StartDownload();
    QStringList bars;
    QStringList pages;
    for (int answer = 0; answer < 4; ++answer) {
        link.Receive("!");
        bars << QString::number(view.progressText.size());
        const auto match = kStatusWithTime.match(view.message);
        ASSERT_TRUE(match.hasMatch()) << view.message.toStdString();
        pages << match.captured(1);
        EXPECT_EQ(view.IsEnabled(Control::cmdExit), answer == 3);
    }
    EXPECT_EQ(bars, (QStringList{"0", "19", "38", "57"}));
    EXPECT_EQ(pages, (QStringList{"0", "1", "2", "3"}));
    const QStringList written = WrittenHex();
    ASSERT_EQ(written.size(), 8);
    EXPECT_EQ(written[0], "57");
    EXPECT_EQ(written[1], "00 00");
    EXPECT_EQ(written[2], Hex(Counting(64) + "\xE0"));
    EXPECT_EQ(written[3], "00 01");
    EXPECT_EQ(written[4], Hex(Counting(128).mid(64) + "\xE1"));
    EXPECT_EQ(written[5], "00 02");
    EXPECT_EQ(written[6], Hex(QByteArray("\x80\x81") + QByteArray(62, '\xFF') + "\xC5"));
    EXPECT_EQ(written[7], "FF FF");
}

struct ShortImageRow {
    const char* name;
    int imageLength;
    QStringList headers;  // page headers sent before the end marker
};

void PrintTo(const ShortImageRow& row, std::ostream* out) {
    *out << row.name;
}

class ShortImage : public DownloadTest, public ::testing::WithParamInterface<ShortImageRow> {};

TEST_P(ShortImage, ShowsTheFullBarAtEveryAnswer) {
    Load(Counting(GetParam().imageLength));
    Identify();
    loader.StartDownload();
    QStringList headers;
    for (int answer = 0; answer <= GetParam().headers.size(); ++answer) {
        link.writes.clear();
        link.Receive("!");
        EXPECT_EQ(view.progressText.size(), 39);
        EXPECT_EQ(kStatusWithTime.match(view.message).captured(1), QString::number(answer));
        if (link.writes.size() == 2) headers << Hex(link.writes.front());
    }
    EXPECT_EQ(headers, GetParam().headers);
    EXPECT_EQ(WrittenHex(), QStringList{"FF FF"});
    EXPECT_TRUE(view.IsEnabled(Control::cmdExit));
    EXPECT_FALSE(view.IsEnabled(Control::cmdWrite));
}

INSTANTIATE_TEST_SUITE_P(Images, ShortImage,
                         ::testing::Values(ShortImageRow{"Empty", 0, {}},
                                           ShortImageRow{"TwoFullPages", 128, {"00 00", "00 01"}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DownloadTest, RejectionOfTheCommandSendsNothing) {
    Load(Counting(130));
    Identify();
    loader.StartDownload();
    link.writes.clear();
    view.ClearCalls();
    link.Receive("@");
    EXPECT_TRUE(link.writes.isEmpty());
    EXPECT_EQ(view.Calls(), QStringList{"ShowMessage(成功写到-1页，错误次数1)"});
    link.Receive("!");
    EXPECT_EQ(WrittenHex().value(0), "00 00");
}

TEST_F(DownloadTest, RejectedPageGoesOutAgainByteForByte) {
    Load(Counting(130));
    Identify();
    loader.StartDownload();
    link.Receive("!");
    link.Receive("!");
    const QList<QByteArray> pageOne = link.writes.mid(link.writes.size() - 2);
    const QString bar = view.progressText;
    link.writes.clear();
    view.ClearCalls();
    link.Receive("@");
    link.Receive("@");
    EXPECT_EQ(link.writes, pageOne + pageOne);
    EXPECT_EQ(view.Calls(),
              (QStringList{"ShowMessage(成功写到1页，错误次数1)", "ShowMessage(成功写到1页，错误次数2)"}));
    EXPECT_EQ(view.progressText, bar);
    EXPECT_EQ(state.PageIndex, 1);
}

TEST_F(DownloadTest, AnswersAfterTheEndMarkerSendItAgain) {
    Load(Counting(130));
    Identify();
    loader.StartDownload();
    for (int answer = 0; answer < 4; ++answer) link.Receive("!");
    link.writes.clear();
    view.ClearCalls();
    link.Receive("!");
    EXPECT_EQ(WrittenHex(), QStringList{"FF FF"});
    EXPECT_EQ(EnabledChanges(), QStringList{"SetEnabled(cmdExit,true)"});
    EXPECT_EQ(kStatusWithTime.match(view.message).captured(1), "4");
    link.Receive("@");
    EXPECT_EQ(WrittenHex(), (QStringList{"FF FF", "FF FF"}));
}

TEST_F(DownloadTest, TwoAnswersReadTogetherAreNotAPageAnswer) {
    Load(Counting(130));
    Identify();
    loader.StartDownload();
    link.writes.clear();
    view.ClearCalls();
    link.Receive("!!");
    EXPECT_TRUE(link.writes.isEmpty());
    EXPECT_EQ(view.Calls(), QStringList{"ShowMessage(联接中...)"});
}

struct LimitRow {
    const char* name;
    std::int16_t pageSize;
    std::int32_t imageLength;
    bool refused;
};

void PrintTo(const LimitRow& row, std::ostream* out) {
    *out << row.name;
}

class ImageLimit : public DownloadTest, public ::testing::WithParamInterface<LimitRow> {};

TEST_P(ImageLimit, RefusesOnlyPagesBeyondTheTwoByteHeader) {
    Identify(GetParam().pageSize == 64 ? "0xg" : "1xg");
    state.ImageLength = GetParam().imageLength;  // the buffer is not needed before a page goes out
    state.LastPage = 5;
    loader.StartDownload();
    if (GetParam().refused) {
        EXPECT_TRUE(link.writes.isEmpty());
        ASSERT_EQ(view.Calls().size(), 1);
        EXPECT_TRUE(view.errors.value(0).contains(QString::number(GetParam().imageLength)));
        EXPECT_TRUE(view.errors.value(0).contains("32768"));
        EXPECT_EQ(state.LastPage, 5);
        EXPECT_TRUE(view.IsEnabled(Control::cmdWrite));
    } else {
        EXPECT_EQ(link.writes, QList<QByteArray>{"W"});
        EXPECT_EQ(state.LastPage, kMaxPageIndex);
    }
}

INSTANTIATE_TEST_SUITE_P(Lengths, ImageLimit,
                         ::testing::Values(LimitRow{"SmallPagesAtLimit", 64, 64 * 32768, false},
                                           LimitRow{"SmallPagesOneByteOver", 64, 64 * 32768 + 1, true},
                                           LimitRow{"LargePagesAtLimit", 128, 128 * 32768, false},
                                           LimitRow{"LargePagesOneByteOver", 128, 128 * 32768 + 1, true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvat::test
