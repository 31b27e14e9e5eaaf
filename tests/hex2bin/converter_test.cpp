// HEX2BIN.EXE over real files: valid files give what srec_cat makes of them, bad ones leave nothing.
#include <sys/stat.h>

#include <gtest/gtest.h>
#include <QFileInfo>
#include <QProcess>

#include "hex/intel_hex.h"
#include "hex2bin/converter_run.h"

namespace corvat::test {
namespace {

struct FileCase {
    const char* name;
    std::string text;
};

std::vector<std::string> Reversed(std::vector<std::string> lines) {
    std::reverse(lines.begin(), lines.end());
    return lines;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::vector<std::string> Concat(std::vector<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

const std::vector<FileCase> kValidFiles = {
    {"AllRecordTypes",
     Lines({Record(0x03, 0, {0, 0, 0, 0}), Segment(0x0010), Data(0, Pattern(16)), Linear(0x0001),
            Data(0x20, Pattern(8, 2)), Record(0x05, 0, {0, 1, 0, 0}), kEof})},
    {"LowerCase", Lower(Lines(Concat({Chunked(0, Pattern(100), 16), {kEof}})))},
    {"CrLf", Lines(Concat({Chunked(0, Pattern(100), 16), {kEof}}), "\r\n")},
    {"ShuffledOrder", Lines(Concat({Reversed(Chunked(0x40, Pattern(500, 4), 16)), {kEof}}))},
    {"Records8", Lines(Concat({Chunked(0, Pattern(300, 5), 8), {kEof}}))},
    {"Records16", Lines(Concat({Chunked(0, Pattern(300, 6), 16), {kEof}}))},
    {"Records32", Lines(Concat({Chunked(0, Pattern(300, 7), 32), {kEof}}))},
    {"DataStartsAbove0", Lines(Concat({Chunked(0x1000, Pattern(64, 8), 16), {kEof}}))},
    {"Gap", Lines(Concat({Chunked(0, Pattern(40), 16), Chunked(0x0800, Pattern(40, 9), 16), {kEof}}))},
    {"SegmentAddressing", Lines(Concat({{Segment(0x1000)},
                                        Chunked(0x10, Pattern(48), 16),
                                        {Segment(0)},
                                        Chunked(0, Pattern(16, 3), 16),
                                        {kEof}}))},
    {"SegmentOffsetWraps", Lines({Segment(0x0001), Data(0xFFF8, Pattern(16)), kEof})},
    {"LinearRecordCrosses64K", Lines({Linear(0), Data(0xFFF8, Pattern(16)), kEof})},
    {"LinearAddressing", Lines(Concat({{Linear(2)},
                                       Chunked(0x100, Pattern(64), 32),
                                       {Linear(0)},
                                       Chunked(0, Pattern(32, 2), 32),
                                       {kEof}}))},
};

class ConverterFiles : public ::testing::Test {
  protected:
    QString Path(const QString& name) const { return m_dir.filePath(name); }

    ProcessRun Convert(const std::string& text) {
        WriteBytes(Path("in.hex"), text);
        return RunProgram(kConverter, {Path("in.hex"), Path("out.bin")});
    }

    QTemporaryDir m_dir;
};

class ValidFile : public ConverterFiles, public ::testing::WithParamInterface<FileCase> {};

TEST_P(ValidFile, MatchesReferenceByteForByte) {
    const ProcessRun run = Convert(GetParam().text);
    ASSERT_TRUE(run.normalExit);
    ASSERT_EQ(run.exitCode, 0) << run.errorText.toStdString();
    const ProcessRun reference = RunReference(Path("in.hex"), Path("ref.bin"));
    ASSERT_EQ(reference.exitCode, 0) << reference.errorText.toStdString();
    const QByteArray output = ReadBytes(Path("out.bin"));
    EXPECT_FALSE(output.isEmpty());
    EXPECT_EQ(output, ReadBytes(Path("ref.bin")));
    EXPECT_EQ(FolderEntries(m_dir.path()), QStringList({"in.hex", "out.bin", "ref.bin"}));
}

INSTANTIATE_TEST_SUITE_P(Converter, ValidFile, ::testing::ValuesIn(kValidFiles),
                         [](const auto& info) { return std::string(info.param.name); });

class BadFile : public ConverterFiles, public ::testing::WithParamInterface<BadHexCase> {};

TEST_P(BadFile, RefusedWithLineAndNoOutput) {
    const ProcessRun run = Convert(GetParam().text);
    ASSERT_TRUE(run.normalExit);
    EXPECT_NE(run.exitCode, 0);
    const QString expectedLine = QStringLiteral("第 %1 行").arg(GetParam().line);
    EXPECT_TRUE(run.errorText.contains(expectedLine)) << run.errorText.toStdString();
    EXPECT_TRUE(run.errorText.contains(QString::fromUtf8(GetParam().fault))) << run.errorText.toStdString();
    EXPECT_EQ(run.errorText.count('\n'), 1) << run.errorText.toStdString();
    EXPECT_EQ(FolderEntries(m_dir.path()), QStringList({"in.hex"}));
}

INSTANTIATE_TEST_SUITE_P(Converter, BadFile, ::testing::ValuesIn(BadHexCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConverterFiles, WithoutTwoArgumentsShowsUsage) {
    const ProcessRun run = RunProgram(kConverter, {Path("in.hex")});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.errorText.contains("HEX2BIN.EXE")) << run.errorText.toStdString();
}

TEST_F(ConverterFiles, MissingInputLeavesNoOutput) {
    const ProcessRun run = RunProgram(kConverter, {Path("none.hex"), Path("out.bin")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.errorText.contains("none.hex")) << run.errorText.toStdString();
    EXPECT_TRUE(FolderEntries(m_dir.path()).isEmpty());
}

TEST_F(ConverterFiles, MissingOutputFolderIsReported) {
    WriteBytes(Path("in.hex"), Lines({Data(0, {1}), kEof}));
    const ProcessRun run = RunProgram(kConverter, {Path("in.hex"), Path("absent/out.bin")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.errorText.contains("absent")) << run.errorText.toStdString();
}

TEST_F(ConverterFiles, BlanksAndChineseInPaths) {
    ASSERT_TRUE(QDir(m_dir.path()).mkpath("程序 文件夹"));
    const QString folder = Path("程序 文件夹");
    WriteBytes(folder + "/输入 a.hex", Lines({Data(1, {0x5A}), kEof}));
    const ProcessRun run = RunProgram(kConverter, {folder + "/输入 a.hex", folder + "/输出 b.bin"});
    ASSERT_EQ(run.exitCode, 0) << run.errorText.toStdString();
    EXPECT_EQ(ReadBytes(folder + "/输出 b.bin"), QByteArray("\xFF\x5A", 2));
}

TEST_F(ConverterFiles, EarlierOutputReplacedOnSuccess) {
    WriteBytes(Path("out.bin"), std::string(5000, 'x'));
    ASSERT_EQ(Convert(Lines({Data(0, {1, 2}), kEof})).exitCode, 0);
    EXPECT_EQ(ReadBytes(Path("out.bin")), QByteArray("\x01\x02", 2));
}

TEST_F(ConverterFiles, FileAtOutputPathUntouchedOnRefusal) {
    // Arguments given the wrong way round must not cost the user the file named as output.
    WriteBytes(Path("out.bin"), "keep me");
    EXPECT_EQ(Convert(Lines({Data(0, {1, 2})})).exitCode, 1);
    EXPECT_EQ(ReadBytes(Path("out.bin")), QByteArray("keep me"));
    EXPECT_EQ(FolderEntries(m_dir.path()), QStringList({"in.hex", "out.bin"}));
}

TEST_F(ConverterFiles, OutputGetsUsualPermissions) {
    const mode_t previous = ::umask(022);
    const ProcessRun run = Convert(Lines({Data(0, {1}), kEof}));
    ::umask(previous);
    ASSERT_EQ(run.exitCode, 0);
    struct stat info {};
    ASSERT_EQ(::stat(Path("out.bin").toLocal8Bit().constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
}

TEST_F(ConverterFiles, PollingReaderNeverSeesPartialOutput) {
    // The loader takes the output as soon as it is non-empty, so every size it can observe must be final.
    const Bytes image = Pattern(4 * 1024 * 1024);
    WriteBytes(Path("in.hex"), hex2bin::FormatIntelHex(image, 32));
    QProcess process;
    process.start(kConverter, {Path("in.hex"), Path("out.bin")});
    ASSERT_TRUE(process.waitForStarted(-1));
    const qint64 finalSize = static_cast<qint64>(image.size());
    int sightings = 0;
    while (process.state() != QProcess::NotRunning) {
        const QFileInfo output(Path("out.bin"));
        if (output.exists() && output.size() > 0) {
            ++sightings;
            EXPECT_EQ(output.size(), finalSize);
        }
        process.waitForFinished(1);
    }
    ASSERT_EQ(process.exitCode(), 0);
    EXPECT_EQ(QFileInfo(Path("out.bin")).size(), finalSize);
    RecordProperty("sightings_while_running", sightings);
}

}  // namespace
}  // namespace corvat::test
