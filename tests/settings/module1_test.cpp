// ReadIniValue over real settings files: what it returns and what it writes back.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "settings/module1.h"

namespace corvat {
namespace {

constexpr const char* kMissing = nullptr;  // the file does not exist before the read

struct Row {
    const char* name;
    const char* before;  // file contents, or kMissing
    const char* key;
    const char* defaultValue;
    QString expected;
    const char* after;  // file contents after the read
};

class ReadIniValueRows : public ::testing::TestWithParam<Row> {};

TEST_P(ReadIniValueRows, ReturnsAndWritesBack) {
    const Row& row = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("info.ini");
    if (row.before != kMissing) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(row.before);
    }
    EXPECT_EQ(ReadIniValue("System", row.key, row.defaultValue, path), row.expected);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray(row.after));
}

const std::string kLong(300, 'c');
const std::string kLongFile = "[System]\nComm=" + kLong + "\n";

INSTANTIATE_TEST_SUITE_P(
    Rows, ReadIniValueRows,
    ::testing::Values(
        Row{"PresentValueNothingWritten", "[System]\r\nComm= COM 4 \r\n", "Comm", "COM1", "COM 4",
            "[System]\r\nComm= COM 4 \r\n"},
        Row{"StyleOneIsOneCharacter", "[System]\nstyle=1\n", "style", "", "1", "[System]\nstyle=1\n"},
        Row{"StyleZeroIsOneCharacter", "[System]\nstyle=0\n", "style", "", "0", "[System]\nstyle=0\n"},
        Row{"EmptyValueCountsAsAbsent", "[System]\nComm=\n", "Comm", "COM1", "COM1", "[System]\nComm=COM1\n"},
        Row{"AbsentKeyEmptyDefaultLeavesEmptyKey", "[System]\nstyle=1\n", "Comm", "", "",
            "[System]\nstyle=1\nComm=\n"},
        Row{"MissingFileCreated", kMissing, "Comm", "", "", "[System]\nComm=\n"},
        Row{"MissingSectionAdded", "[Other]\nx=1\n", "style", "", "", "[Other]\nx=1\n[System]\nstyle=\n"},
        Row{"LongValueCutTo254", kLongFile.c_str(), "Comm", "", QString::fromStdString(kLong.substr(0, 254)),
            kLongFile.c_str()}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvat
