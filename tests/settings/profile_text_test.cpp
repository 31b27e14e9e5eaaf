// The profile rules on file contents held in memory: what a read finds and what a write leaves behind.
#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <iterator>

#include "settings/profile_file.h"

namespace corvat {
namespace {

struct ReadRow {
    const char* name;
    QByteArray content;
    QByteArray section;
    QByteArray key;
    int bufferSize;
    QByteArray expected;
};

class ProfileRead : public ::testing::TestWithParam<ReadRow> {};

TEST_P(ProfileRead, FindsWhatTheProfileRulesFind) {
    const ReadRow& row = GetParam();
    EXPECT_EQ(ReadProfileValue(row.content, row.section, row.key, row.bufferSize), row.expected);
}

const QByteArray kLong300 = QByteArray(300, 'x');

INSTANTIATE_TEST_SUITE_P(
    Rows, ProfileRead,
    ::testing::Values(
        ReadRow{"PresentKey", "[System]\nComm=COM3\nstyle=1\n", "System", "Comm", 255, "COM3"},
        ReadRow{"AbsentKey", "[System]\nstyle=1\n", "System", "Comm", 255, ""},
        ReadRow{"AbsentSection", "[Other]\nComm=COM3\n", "System", "Comm", 255, ""},
        ReadRow{"EmptyValue", "[System]\nComm=\n", "System", "Comm", 255, ""},
        ReadRow{"KeyWithoutEquals", "[System]\nComm\n", "System", "Comm", 255, ""},
        ReadRow{"SectionAndKeyInOtherCase", "[SYSTEM]\ncOMM=COM5\n", "System", "Comm", 255, "COM5"},
        ReadRow{"BlanksAroundNameAndValue", "  [System]  \n\t Comm \t=  COM 3 x \t\n", "System", "Comm", 255,
                "COM 3 x"},
        ReadRow{"BlanksInsideBrackets", "[ System ]\nComm=COM2\n", "System", "Comm", 255, "COM2"},
        ReadRow{"DoubleQuotesRemoved", "[System]\nComm=\"COM 7\"\n", "System", "Comm", 255, "COM 7"},
        ReadRow{"SingleQuotesRemoved", "[System]\nComm='COM7'\n", "System", "Comm", 255, "COM7"},
        ReadRow{"UnpairedQuoteKept", "[System]\nComm=\"COM7\n", "System", "Comm", 255, "\"COM7"},
        ReadRow{"FirstEqualsSplits", "[System]\nComm=a=b\n", "System", "Comm", 255, "a=b"},
        ReadRow{"ValueCutTo254Bytes", "[System]\nComm=" + kLong300 + "\n", "System", "Comm", 255,
                QByteArray(254, 'x')},
        ReadRow{"ValueCutToSmallBuffer", "[System]\nComm=COM12\n", "System", "Comm", 4, "COM"},
        ReadRow{"NoRoomForAnything", "[System]\nComm=COM12\n", "System", "Comm", 1, ""},
        ReadRow{"FirstOfTwoKeysWins", "[System]\nComm=COM1\nCOMM=COM2\n", "System", "Comm", 255, "COM1"},
        ReadRow{"FirstOfTwoSectionsWins", "[System]\nstyle=1\n[System]\nComm=COM2\n", "System", "Comm", 255,
                ""},
        ReadRow{"KeyOfOtherSectionNotSeen", "[Other]\nComm=COM9\n[System]\nstyle=1\n", "System", "Comm", 255,
                ""},
        ReadRow{"KeyBeforeAnySectionNotSeen", "Comm=COM9\n[System]\n", "System", "Comm", 255, ""},
        ReadRow{"CommentIsNoKey", "[System]\n; Comm=COM9\nComm=COM2\n", "System", "Comm", 255, "COM2"},
        ReadRow{"CrlfLineEnds", "[System]\r\nComm=COM4\r\nstyle=0\r\n", "System", "Comm", 255, "COM4"},
        ReadRow{"LastLineWithoutLineEnd", "[System]\nComm=COM4", "System", "Comm", 255, "COM4"},
        ReadRow{"ByteOrderMarkBeforeSection", "\xEF\xBB\xBF[System]\nComm=COM4\n", "System", "Comm", 255,
                "COM4"},
        ReadRow{"Gb2312ValueAsBytes", "[System]\nComm=\xB4\xAE\xBF\xDA\n", "System", "Comm", 255,
                "\xB4\xAE\xBF\xDA"},
        ReadRow{"Gb2312BytesDoNotFoldCase", "[System]\n\xC1=1\n", "System", "\xE1", 255, ""}),
    [](const auto& info) { return std::string(info.param.name); });

struct WriteRow {
    const char* name;
    QByteArray content;
    QByteArray section;
    QByteArray key;
    QByteArray value;
    QByteArray expected;
};

class ProfileWriteText : public ::testing::TestWithParam<WriteRow> {};

TEST_P(ProfileWriteText, ChangesOnlyTheKeysLine) {
    const WriteRow& row = GetParam();
    EXPECT_EQ(SetProfileValue(row.content, row.section, row.key, row.value), row.expected);
}

const QByteArray kMixedFile =
    "; \xC9\xE8\xD6\xC3 settings\r\n"
    "\r\n"
    "[Other]\r\n"
    "name=\xB9\xE3\xD6\xDD \r\n"
    "\r\n"
    "[System]\r\n"
    "; port last used\r\n"
    "Comm=COM1\r\n"
    "style=0\r\n"
    "\r\n"
    "[Tail]\r\n"
    "x=1";

INSTANTIATE_TEST_SUITE_P(
    Rows, ProfileWriteText,
    ::testing::Values(WriteRow{"ValueReplacedEverythingElseKept", kMixedFile, "System", "Comm", "COM4",
                               QByteArray(kMixedFile).replace("Comm=COM1", "Comm=COM4")},
                      WriteRow{"KeySpellingAndBlanksKept", "[system]\n  comm = COM1  \n", "System", "Comm",
                               "COM4", "[system]\n  comm = COM4\n"},
                      WriteRow{"KeyAddedAtEndOfSection", kMixedFile, "System", "Extra", "yes",
                               QByteArray(kMixedFile).replace("style=0\r\n", "style=0\r\nExtra=yes\r\n")},
                      WriteRow{"KeyAddedAfterHeaderOfEmptySection", "[System]\n\n[Next]\n", "System", "Comm",
                               "COM2", "[System]\nComm=COM2\n\n[Next]\n"},
                      WriteRow{"KeyAddedToLastLineWithoutLineEnd", "[System]\nstyle=1", "System", "Comm",
                               "COM2", "[System]\nstyle=1\nComm=COM2\n"},
                      WriteRow{"KeyAddedAfterLoneCarriageReturn", "[System]\nstyle=1\r", "System", "Comm",
                               "COM2", "[System]\nstyle=1\r\nComm=COM2\n"},
                      WriteRow{"KeyWithoutEqualsLosesTrailingBlanks", "[System]\nComm \t\n", "System", "Comm",
                               "COM2", "[System]\nComm=COM2\n"},
                      WriteRow{"SectionAddedAtEnd", kMixedFile, "New", "k", "v",
                               kMixedFile + "\r\n[New]\r\nk=v\r\n"},
                      WriteRow{"SectionAddedWithUnixLineEnds", "[A]\nk=1\n", "System", "Comm", "COM3",
                               "[A]\nk=1\n[System]\nComm=COM3\n"},
                      WriteRow{"EmptyFileCreated", "", "System", "Comm", "COM4", "[System]\nComm=COM4\n"},
                      WriteRow{"KeyWithoutEqualsGetsValue", "[System]\nComm\nstyle=0\n", "System", "Comm",
                               "COM4", "[System]\nComm=COM4\nstyle=0\n"},
                      WriteRow{"EmptyValueLeavesEmptyKey", "[System]\nComm=COM1\n", "System", "Comm", "",
                               "[System]\nComm=\n"},
                      WriteRow{"EmptyValueFilled", "[System]\nComm=\r\n", "System", "Comm", "COM6",
                               "[System]\nComm=COM6\r\n"},
                      WriteRow{"KeyOfOtherSectionUntouched", "[Other]\nComm=COM9\n[System]\n", "System",
                               "Comm", "COM1", "[Other]\nComm=COM9\n[System]\nComm=COM1\n"},
                      WriteRow{"ByteOrderMarkKept", "\xEF\xBB\xBF[System]\nComm=COM1\n", "System", "Comm",
                               "COM2", "\xEF\xBB\xBF[System]\nComm=COM2\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProfileWriteText, WrittenValueReadsBackInEveryLayout) {
    const QByteArray layouts[] = {"", kMixedFile, "[System]\nComm\n", "[SYSTEM]\r\nCOMM = x\r\n", "[System]"};
    for (const QByteArray& layout : layouts) {
        const QByteArray written = SetProfileValue(layout, "System", "Comm", "COM 8");
        EXPECT_EQ(ReadProfileValue(written, "System", "Comm", 255), "COM 8") << written.toStdString();
        EXPECT_EQ(SetProfileValue(written, "System", "Comm", "COM 8"), written)
            << "a second write moved bytes";
    }
}

// Arbitrary contents made of the pieces that matter to the rules: whatever the file holds, a write must
// read back, and a second write of the same value must not move a byte.
TEST(ProfileWriteText, RandomContentsReadBackAfterAWrite) {
    const QByteArray pieces[] = {"[System]", "[ sYSTEM ]", "[Other]", "Comm",     "COMM",        "style", "=",
                                 "x",        " ",          "\t",      "\r\n",     "\n",          "\r",    ";",
                                 "[",        "]",          "\"",      "\xB4\xAE", "\xEF\xBB\xBF"};
    QRandomGenerator random(20240611);
    for (int round = 0; round < 5000; ++round) {
        QByteArray content;
        for (int count = random.bounded(24); count > 0; --count)
            content += pieces[random.bounded(int(std::size(pieces)))];
        const QByteArray written = SetProfileValue(content, "System", "Comm", "COM 8");
        const std::string shown = content.toPercentEncoding().toStdString();
        ASSERT_EQ(ReadProfileValue(written, "System", "Comm", 255), "COM 8") << shown;
        ASSERT_EQ(SetProfileValue(written, "System", "Comm", "COM 8"), written) << shown;
    }
}

struct InvalidRow {
    const char* name;
    QByteArray section;
    QByteArray key;
    QByteArray value;
};

class ProfileEntry : public ::testing::TestWithParam<InvalidRow> {};

TEST_P(ProfileEntry, RefusedWithAMessage) {
    const InvalidRow& row = GetParam();
    EXPECT_FALSE(CheckProfileEntry(row.section, row.key, row.value).ok());
}

INSTANTIATE_TEST_SUITE_P(Rows, ProfileEntry,
                         ::testing::Values(InvalidRow{"LineBreakInValue", "System", "Comm", "COM1\n[Evil]"},
                                           InvalidRow{"CarriageReturnInKey", "System", "Co\rmm", "1"},
                                           InvalidRow{"NulInValue", "System", "Comm", QByteArray("a\0b", 3)},
                                           InvalidRow{"EmptyKey", "System", "", "1"},
                                           InvalidRow{"EqualsInKey", "System", "a=b", "1"},
                                           InvalidRow{"BracketInSection", "Sys]tem", "Comm", "1"},
                                           InvalidRow{"EmptySection", " ", "Comm", "1"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ProfileEntry, OrdinarySettingsAccepted) {
    EXPECT_TRUE(CheckProfileEntry("System", "Comm", "").ok());
    EXPECT_TRUE(CheckProfileEntry("System", "style", "1").ok());
    EXPECT_TRUE(CheckProfileEntry("System", "Comm", "/dev/ttyUSB0 [x] = y").ok());
}

}  // namespace
}  // namespace corvat
