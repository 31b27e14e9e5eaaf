// The converter's private folder: where it lies, how it is made, which folders are refused.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>

#include "platform/system_dir.h"

namespace corvat {
namespace {

mode_t ModeOf(const QString& path) {
    struct stat status {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 ? (status.st_mode & 07777) : 0;
}

class EnvironmentVariable {
  public:
    explicit EnvironmentVariable(const char* name)
        : m_name(name), m_saved(qgetenv(name)), m_was(qEnvironmentVariableIsSet(name)) {}
    ~EnvironmentVariable() { m_was ? qputenv(m_name, m_saved) : qunsetenv(m_name); }

  private:
    const char* m_name;
    QByteArray m_saved;
    bool m_was;
};

TEST(SystemDirPath, RuntimeFolderWhenSet) {
    const EnvironmentVariable keep("XDG_RUNTIME_DIR");
    QTemporaryDir runtime;
    ASSERT_TRUE(
        QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    EXPECT_EQ(DefaultSystemDirPath(), runtime.path() + "/corvat");
}

// As root run with sudo keeps the user's variable: another's runtime folder, or one open to others, is
// never used.
TEST(SystemDirPath, TempFolderWhenTheRuntimeFolderIsNotOurOwn) {
    const EnvironmentVariable keep("XDG_RUNTIME_DIR");
    const QString expected = QDir::tempPath() + QStringLiteral("/corvat-%1").arg(::geteuid());
    QTemporaryDir runtime;
    ASSERT_TRUE(QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                          QFile::WriteOther | QFile::ExeOther));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    EXPECT_EQ(DefaultSystemDirPath(), expected);
    qputenv("XDG_RUNTIME_DIR", "/run/user/no-such-user");
    EXPECT_EQ(DefaultSystemDirPath(), expected);
}

TEST(SystemDirPath, TempFolderWithUserIdWhenUnsetOrEmpty) {
    const EnvironmentVariable keep("XDG_RUNTIME_DIR");
    const QString expected = QDir::tempPath() + QStringLiteral("/corvat-%1").arg(::geteuid());
    qunsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(DefaultSystemDirPath(), expected);
    qputenv("XDG_RUNTIME_DIR", "");
    EXPECT_EQ(DefaultSystemDirPath(), expected);
}

struct Row {
    const char* name;
    std::function<void(const QString& path)> arrange;  // what stands at the path beforehand
    bool usable;
};

class PrepareRows : public ::testing::TestWithParam<Row> {};

TEST_P(PrepareRows, UsableOnlyWhenPrivateToUs) {
    QTemporaryDir parent;
    ASSERT_TRUE(parent.isValid());
    const QString path = parent.filePath("corvat");
    GetParam().arrange(path);
    const Result<QString> dir = PrepareSystemDir(path);
    if (GetParam().usable) {
        ASSERT_TRUE(dir.ok()) << dir.message().toStdString();
        EXPECT_EQ(*dir, path);
        EXPECT_EQ(ModeOf(path), 0700u);
    } else {
        EXPECT_FALSE(dir.ok());
        EXPECT_TRUE(dir.message().contains(path)) << dir.message().toStdString();
    }
}

void Nothing(const QString&) {}
void OwnFolder(const QString& path) {
    ASSERT_EQ(::mkdir(QFile::encodeName(path).constData(), 0700), 0);
}
void OpenFolder(const QString& path) {
    OwnFolder(path);
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0777), 0);
}
void LinkToOwnFolder(const QString& path) {
    OwnFolder(path + "-target");
    ASSERT_TRUE(QFile::link(path + "-target", path));
}
void PlainFile(const QString& path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

INSTANTIATE_TEST_SUITE_P(Rows, PrepareRows,
                         ::testing::Values(Row{"MissingFolderCreatedPrivate", Nothing, true},
                                           Row{"OwnPrivateFolderKept", OwnFolder, true},
                                           Row{"OwnOpenFolderNarrowed", OpenFolder, true},
                                           Row{"SymbolicLinkRefused", LinkToOwnFolder, false},
                                           Row{"PlainFileRefused", PlainFile, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PrepareSystemDir, FolderOfAnotherUserRefused) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can give a folder to another user";
    QTemporaryDir parent;
    const QString path = parent.filePath("corvat");
    OwnFolder(path);
    ASSERT_EQ(::chown(QFile::encodeName(path).constData(), 65534, 65534), 0);
    const Result<QString> dir = PrepareSystemDir(path);
    EXPECT_FALSE(dir.ok());
    EXPECT_TRUE(dir.message().contains(path));
}

TEST(PrepareSystemDir, MissingParentReportsWhy) {
    QTemporaryDir parent;
    const Result<QString> dir = PrepareSystemDir(parent.filePath("no/corvat"));
    EXPECT_FALSE(dir.ok());
    EXPECT_TRUE(dir.message().contains("no/corvat"));
}

class CopyReplacingTest : public ::testing::Test {
  protected:
    void Write(const QString& path, const QByteArray& bytes, QFile::Permissions permissions) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        ASSERT_TRUE(file.setPermissions(permissions));
    }
    QTemporaryDir m_dir;
};

TEST_F(CopyReplacingTest, ReplacesTargetAndKeepsItExecutable) {
    const auto executable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    Write(m_dir.filePath("source"), "new converter", executable);
    Write(m_dir.filePath("HEX2BIN.EXE"), "old, longer converter", QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_TRUE(CopyReplacing(m_dir.filePath("source"), m_dir.filePath("HEX2BIN.EXE")).ok());
    QFile target(m_dir.filePath("HEX2BIN.EXE"));
    ASSERT_TRUE(target.open(QIODevice::ReadOnly));
    EXPECT_EQ(target.readAll(), "new converter");
    EXPECT_TRUE(target.permissions() & QFile::ExeOwner);
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files).size(), 2) << "no temporary copy may stay";
}

TEST_F(CopyReplacingTest, MissingSourceLeavesTargetAndSaysWhy) {
    Write(m_dir.filePath("HEX2BIN.EXE"), "old", QFile::ReadOwner | QFile::WriteOwner);
    const Result<> copied = CopyReplacing(m_dir.filePath("absent"), m_dir.filePath("HEX2BIN.EXE"));
    EXPECT_TRUE(copied.message().contains("absent"));
    QFile target(m_dir.filePath("HEX2BIN.EXE"));
    ASSERT_TRUE(target.open(QIODevice::ReadOnly));
    EXPECT_EQ(target.readAll(), "old");
}

// Shut-down removes the three files and our own temporaries, and nothing else the folder may hold.
TEST(RemoveConverterFiles, OnlyOurFilesAndTheirTemporaries) {
    QTemporaryDir dir;
    const struct {
        const char* name;
        bool removed;
    } rows[] = {
        {"HEX2BIN.EXE", true},
        {"Hexbin.hex", true},
        {"HexBIN.bin", true},
        {"HEX2BIN.EXE.a1B2c3", true},
        {"Hexbin.hex.Zz9Yx8", true},
        {".HexBIN.bin.000000", true},
        {"HEX2BIN.EXE.a1B2c", false},
        {"Hexbin.hex.Zz9Yx8q", false},
        {".HexBIN.bin.ab-cd1", false},
        {"hexbin.hex.Zz9Yx8", false},
        {"HexBIN.bin.a1B2c3", false},
        {"notes.txt", false},
        {".HexBIN.bin.a1B2c\xC3\xA9", false},
    };
    for (const auto& row : rows) {
        QFile file(dir.filePath(QString::fromUtf8(row.name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << row.name;
    }
    RemoveConverterFiles(dir.path());
    for (const auto& row : rows) {
        EXPECT_NE(QFile::exists(dir.filePath(QString::fromUtf8(row.name))), row.removed) << row.name;
    }
}

}  // namespace
}  // namespace corvat
