// The demo files a build places beside the loader: the HEX one must convert to the binary one.
#include <gtest/gtest.h>
#include <QFileInfo>

#include "hex2bin/converter_run.h"

namespace corvat::test {
namespace {

const QString kDemoBin = QStringLiteral(CORVAT_PROGRAM_DIR "/demo.bin");
const QString kDemoHex = QStringLiteral(CORVAT_PROGRAM_DIR "/demo.hex");
constexpr qint64 kSmallerTargetCapacity = 7168;

TEST(DemoImage, FitsTheSmallerTarget) {
    const qint64 size = QFileInfo(kDemoBin).size();
    EXPECT_GT(size, 1024);
    EXPECT_LE(size, kSmallerTargetCapacity);
}

TEST(DemoImage, ConverterTurnsDemoHexIntoDemoBin) {
    QTemporaryDir dir;
    const ProcessRun run = RunProgram(kConverter, {kDemoHex, dir.filePath("out.bin")});
    ASSERT_EQ(run.exitCode, 0) << run.errorText.toStdString();
    const QByteArray expected = ReadBytes(kDemoBin);
    ASSERT_FALSE(expected.isEmpty());
    EXPECT_EQ(ReadBytes(dir.filePath("out.bin")), expected);
}

TEST(DemoImage, ReferenceAgreesWithDemoBin) {
    // Guards the demo writer independently of the converter that shares its library.
    QTemporaryDir dir;
    const ProcessRun run = RunReference(kDemoHex, dir.filePath("ref.bin"));
    ASSERT_EQ(run.exitCode, 0) << run.errorText.toStdString();
    EXPECT_EQ(ReadBytes(dir.filePath("ref.bin")), ReadBytes(kDemoBin));
}

TEST(DemoImage, HexUsesSixteenByteRecordsAndEndsWithEof) {
    const QList<QByteArray> lines = ReadBytes(kDemoHex).trimmed().split('\n');
    ASSERT_GT(lines.size(), 2);
    EXPECT_TRUE(lines.first().startsWith(":10000000"));
    EXPECT_EQ(lines.last().trimmed(), QByteArray(":00000001FF"));
}

}  // namespace
}  // namespace corvat::test
