#include "image/image_file.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <QFile>
#include <QTemporaryDir>

namespace corvat {
namespace {

struct ByteRow {
    const char* name;
    std::uint8_t value;
    const char* text;
};

class ByteToHexTest : public testing::TestWithParam<ByteRow> {};

TEST_P(ByteToHexTest, AlwaysTwoUpperCaseDigits) {
    EXPECT_EQ(ByteToHex(GetParam().value), QString::fromLatin1(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(Values, ByteToHexTest,
                         testing::Values(ByteRow{"Zero", 0, "00"}, ByteRow{"Ten", 10, "0A"},
                                         ByteRow{"Sixteen", 16, "10"}, ByteRow{"Max", 255, "FF"},
                                         ByteRow{"HighNibbleLetter", 0xC3, "C3"}),
                         [](const auto& info) { return std::string(info.param.name); });

struct NameRow {
    const char* name;
    const char* path;
    bool hex;
};

class IsHexNameTest : public testing::TestWithParam<NameRow> {};

TEST_P(IsHexNameTest, DecidedByLastThreeCharacters) {
    EXPECT_EQ(IsHexName(QString::fromUtf8(GetParam().path)), GetParam().hex);
}

INSTANTIATE_TEST_SUITE_P(Names, IsHexNameTest,
                         testing::Values(NameRow{"LowerHex", "/tmp/a/prog.hex", true},
                                         NameRow{"UpperHex", "/tmp/a/PROG.HEX", true},
                                         NameRow{"MixedHex", "/tmp/a/prog.Hex", true},
                                         NameRow{"NoDotHex", "/tmp/abchex", true},
                                         NameRow{"ExactlyHex", "hex", true},
                                         NameRow{"ChineseFolderHex", "/tmp/程序/固件.hex", true},
                                         NameRow{"LowerBin", "/tmp/a/prog.bin", false},
                                         NameRow{"UpperBin", "/tmp/a/PROG.BIN", false},
                                         NameRow{"TwoCharacters", "ab", false},
                                         NameRow{"OneCharacter", "x", false}, NameRow{"Empty", "", false},
                                         NameRow{"HexThenMore", "/tmp/a/prog.hex2", false},
                                         NameRow{"HexFolderBinFile", "/tmp/hex/prog.bin", false},
                                         NameRow{"TrailingBlank", "/tmp/a/prog.hex ", false}),
                         [](const auto& info) { return std::string(info.param.name); });

QByteArray Counting(qsizetype length) {
    QByteArray bytes(length, '\0');
    for (qsizetype k = 0; k < length; ++k) bytes[k] = static_cast<char>(k % 256);
    return bytes;
}

struct PreviewRow {
    const char* name;
    QByteArray data;
    qsizetype textLength;
    const char* start;  // the preview's beginning
    const char* end;    // and its end
};

class PreviewTextTest : public testing::TestWithParam<PreviewRow> {};

TEST_P(PreviewTextTest, ThreeCharactersPerShownByte) {
    const QString text = PreviewText(GetParam().data);
    EXPECT_EQ(text.size(), GetParam().textLength);
    EXPECT_TRUE(text.startsWith(QString::fromLatin1(GetParam().start))) << text.left(40).toStdString();
    EXPECT_TRUE(text.endsWith(QString::fromLatin1(GetParam().end))) << text.right(40).toStdString();
    EXPECT_FALSE(text.contains(QLatin1Char('\n')));
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, PreviewTextTest,
    testing::Values(PreviewRow{"Empty", {}, 0, "", ""},
                    PreviewRow{"OneByte", QByteArray(1, 5), 3, "05 ", "05 "},
                    PreviewRow{"ThreeBytes", QByteArray("\x0C\x94\x2A", 3), 9, "0C 94 2A ", "0C 94 2A "},
                    PreviewRow{"Exactly512", Counting(512), 1536, "00 01 02 ", "FE FF "},
                    PreviewRow{"513ShowsFirst512", Counting(513), 1536, "00 01 02 ", "FE FF "},
                    PreviewRow{"Large", Counting(7168), 1536, "00 01 02 ", "FE FF "}),
    [](const auto& info) { return std::string(info.param.name); });

class ReadImageFileTest : public testing::Test {
  protected:
    QString Write(const QString& name, const QByteArray& bytes) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        EXPECT_EQ(file.write(bytes), bytes.size());
        return file.fileName();
    }
    QTemporaryDir dir;
};

TEST_F(ReadImageFileTest, ReadsEveryByteUnchanged) {
    // Line ends, a NUL, a Ctrl-Z and high bytes must all come through as they are: the file is not text.
    const QByteArray bytes = QByteArray("\r\n\x00\x1A\xFF\x80 \n", 8) + Counting(1000);
    const Result<QByteArray> read = ReadImageFile(Write(QStringLiteral("固件 image.bin"), bytes));
    ASSERT_TRUE(read.ok()) << read.message().toStdString();
    EXPECT_EQ(*read, bytes);
}

TEST_F(ReadImageFileTest, FileBeyondTheLimitIsRefusedFromItsSize) {
    // Sparse: only the size counts, and nothing of it is read.
    QFile big(dir.filePath(QStringLiteral("huge.bin")));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly) && big.resize(kLargestDownload + 1));
    big.close();
    const Result<QByteArray> read = ReadImageFile(big.fileName());
    EXPECT_EQ(read.code(), FailureCode::kTooLarge);
    EXPECT_TRUE(read.message().contains(QString::number(kLargestDownload))) << read.message().toStdString();
    EXPECT_EQ(ReadImageFile(Write(QStringLiteral("small.bin"), "abcd"), 3).code(), FailureCode::kTooLarge);
}

TEST_F(ReadImageFileTest, UnreadableFilesGiveTheSystemsReason) {
    const QString missing = dir.filePath(QStringLiteral("missing.bin"));
    const QString folder = dir.path();
    const QString locked = Write(QStringLiteral("locked.bin"), "abc");
    QFile::setPermissions(locked, QFileDevice::WriteOwner);
    // Permissions do not stop root, so that row only counts where they apply.
    const bool permissionsApply = geteuid() != 0;
    for (const auto& [name, path] : {std::pair{"Missing", missing}, std::pair{"Directory", folder},
                                     std::pair{"NoReadPermission", locked}}) {
        if (path == locked && !permissionsApply) continue;
        SCOPED_TRACE(name);
        const Result<QByteArray> read = ReadImageFile(path);
        EXPECT_FALSE(read.ok());
        EXPECT_FALSE(read.message().isEmpty());
    }
}

}  // namespace
}  // namespace corvat
