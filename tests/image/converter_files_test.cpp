#include <gtest/gtest.h>
#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "image/hex_conversion.h"
#include "support/recording_starter.h"

namespace corvat {
namespace {

void WriteFile(const QString& path, const QByteArray& bytes,
               QFileDevice::Permissions permissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
    file.close();
    ASSERT_TRUE(file.setPermissions(permissions));
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// Folders with blanks and Chinese in their names: paths reach the converter as arguments, never parsed.
class ConverterFilesTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(QDir(root.path()).mkpath(QStringLiteral("程序 folder")));
        ASSERT_TRUE(QDir(root.path()).mkpath(QStringLiteral("system dir")));
        files = ConverterFilesIn(root.filePath(QStringLiteral("程序 folder")) + '/',
                                 root.filePath(QStringLiteral("system dir")));
    }
    static constexpr auto kExecutable =
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
    QTemporaryDir root;
    ConverterFiles files;
};

TEST_F(ConverterFilesTest, ConverterCopyReplacesAndStaysExecutable) {
    WriteFile(files.source, "#!/bin/sh\n# new\n", kExecutable);
    for (const auto& [name, earlier] : {std::pair{"NoEarlierCopy", QByteArray()},
                                        std::pair{"EarlierCopy", QByteArray("#!/bin/sh\n# old, longer\n")}}) {
        SCOPED_TRACE(name);
        QFile::remove(files.copy);
        if (!earlier.isEmpty()) WriteFile(files.copy, earlier);
        EXPECT_EQ(CopyConverter(files), QString());
        EXPECT_EQ(ReadFile(files.copy), "#!/bin/sh\n# new\n");
        EXPECT_TRUE(QFile::permissions(files.copy) & QFileDevice::ExeOwner);
    }
}

TEST_F(ConverterFilesTest, InputCopyReplacesTheEarlierOne) {
    const QString chosen = root.filePath(QStringLiteral("程序 folder/app.hex"));
    WriteFile(chosen, ":00000001FF\n");
    WriteFile(files.input, ":0400000001020304F2\n:00000001FF\n");
    EXPECT_EQ(CopyInput(files, chosen), QString());
    EXPECT_EQ(ReadFile(files.input), ":00000001FF\n");
    EXPECT_EQ(ReadFile(chosen), ":00000001FF\n");
}

TEST_F(ConverterFilesTest, ChoosingTheInputItselfKeepsIt) {
    // Replacing by remove-then-copy would otherwise delete the very file being copied.
    WriteFile(files.input, ":00000001FF\n");
    EXPECT_EQ(CopyInput(files, files.input), QString());
    EXPECT_EQ(ReadFile(files.input), ":00000001FF\n");
}

TEST_F(ConverterFilesTest, ReadyOnlyWhenTheOutputHasBytes) {
    EXPECT_FALSE(IsOutputReady(files));
    WriteFile(files.output, "");
    EXPECT_FALSE(IsOutputReady(files));
    WriteFile(files.output, QByteArray(1, '\0'));
    EXPECT_TRUE(IsOutputReady(files));
}

TEST_F(ConverterFilesTest, ConverterGetsInputThenOutputHidden) {
    test::RecordingStarter starter;
    starter.ForceOutcome(true);
    EXPECT_EQ(StartConverter(files, starter), QString());
    ASSERT_EQ(starter.Records().size(), 1);
    EXPECT_EQ(starter.Records()[0].program, files.copy);
    EXPECT_EQ(starter.Records()[0].arguments, (QStringList{files.input, files.output}));
    EXPECT_TRUE(starter.Records()[0].hidden);

    starter.ForceOutcome(false);
    EXPECT_TRUE(StartConverter(files, starter).contains(files.copy));
}

TEST_F(ConverterFilesTest, RealStartRunsTheCopyWithoutAShell) {
    // The script copies its first argument to its second, so the output proves both arrived intact.
    WriteFile(files.source, "#!/bin/sh\ncat \"$1\" > \"$2.part\" && mv \"$2.part\" \"$2\"\n", kExecutable);
    WriteFile(root.filePath(QStringLiteral("a;b $(x).hex")), "converted");
    ASSERT_EQ(DeleteOldOutput(files), QString());
    ASSERT_EQ(CopyConverter(files), QString());
    ASSERT_EQ(CopyInput(files, root.filePath(QStringLiteral("a;b $(x).hex"))), QString());
    DetachedProgramStarter starter;
    ASSERT_EQ(StartConverter(files, starter), QString());
    const QDeadlineTimer deadline(10000);
    while (!IsOutputReady(files) && !deadline.hasExpired()) QTest::qWait(20);
    EXPECT_EQ(ReadFile(files.output), "converted");
}

}  // namespace
}  // namespace corvat
