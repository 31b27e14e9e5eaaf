// The profile file on disk: reads, writes that keep every other byte, and writes that fail cleanly.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <chrono>
#include <csignal>
#include <functional>
#include <future>

#include "settings/module1.h"
#include "settings/profile_file.h"

namespace corvat {
namespace {

QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

class ProfileFile : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString Path() const { return m_dir.filePath("info.ini"); }
    QStringList Entries() const { return QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden); }
    QTemporaryDir m_dir;
};

TEST_F(ProfileFile, MissingFileReadsAsNothing) {
    const corvat::ProfileRead read = GetProfileString(Path(), "System", "Comm", 255);
    EXPECT_EQ(read.count, 0);
    EXPECT_TRUE(read.value.isEmpty());
    EXPECT_FALSE(QFile::exists(Path())) << "a read must not create the file";
}

TEST_F(ProfileFile, MissingFileCreatedByWrite) {
    const Result<> write = WriteProfileString(Path(), "System", "Comm", "COM4");
    EXPECT_TRUE(write.ok()) << write.message().toStdString();
    EXPECT_EQ(ReadBytes(Path()), "[System]\nComm=COM4\n");
    const corvat::ProfileRead read = GetProfileString(Path(), "system", "COMM", 255);
    EXPECT_EQ(read.count, 4);
    EXPECT_EQ(read.value, "COM4");
}

TEST_F(ProfileFile, WriteKeepsEveryOtherByte) {
    const QByteArray before =
        "; "
        "\xC9\xE8\xD6\xC3\r\n\r\n[Other]\r\nname=\xB9\xE3\xD6\xDD\r\n\r\n[System]\r\nComm=COM1\r\nstyle="
        "0\r\n";
    WriteBytes(Path(), before);
    EXPECT_TRUE(WriteProfileString(Path(), "System", "style", "1").ok());
    EXPECT_EQ(ReadBytes(Path()), QByteArray(before).replace("style=0", "style=1"));
    EXPECT_EQ(Entries(), QStringList{"info.ini"}) << "no temporary file may stay behind";
}

TEST_F(ProfileFile, ReadCountsBytesAndCutsLongValues) {
    WriteBytes(Path(), "[System]\nComm=" + QByteArray(300, 'p') + "\nstyle= a  b \n");
    const corvat::ProfileRead cut = GetProfileString(Path(), "System", "Comm", 255);
    EXPECT_EQ(cut.count, 254);
    EXPECT_EQ(cut.value, QString(254, 'p'));
    const corvat::ProfileRead blanks = GetProfileString(Path(), "System", "style", 255);
    EXPECT_EQ(blanks.count, 4);
    EXPECT_EQ(blanks.value, "a  b");
}

TEST_F(ProfileFile, TextsCrossInTheLocaleEncoding) {
    EXPECT_TRUE(WriteProfileString(Path(), "System", "Comm", "串口 1").ok());
    EXPECT_EQ(GetProfileString(Path(), "System", "Comm", 255).value, "串口 1");
    EXPECT_TRUE(ReadBytes(Path()).contains("Comm=" + QString("串口 1").toLocal8Bit()));
}

TEST_F(ProfileFile, PermissionsOfTheFileKept) {
    WriteBytes(Path(), "[System]\nComm=COM1\n");
    const auto permissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
    ASSERT_TRUE(QFile::setPermissions(Path(), permissions));
    EXPECT_TRUE(WriteProfileString(Path(), "System", "Comm", "COM2").ok());
    constexpr int kOwnerGroupOther = 0x7077;  // not the flags of whoever runs the test
    EXPECT_EQ(QFile::permissions(Path()) & kOwnerGroupOther, permissions & kOwnerGroupOther);
}

TEST_F(ProfileFile, InvalidValueRefusedFileUntouched) {
    WriteBytes(Path(), "[System]\nComm=COM1\n");
    const Result<> write = WriteProfileString(Path(), "System", "Comm", "COM2\n[Evil]");
    EXPECT_FALSE(write.ok());
    EXPECT_FALSE(write.message().isEmpty());
    EXPECT_EQ(ReadBytes(Path()), "[System]\nComm=COM1\n");
}

// Runs `write` where the folder's permissions bind: as root they would not, so a child process gives up
// root first. Returns the write's outcome as seen by the process that made it.
bool WriteAsOrdinaryUser(const QString& folder, const std::function<bool()>& write) {
    if (::geteuid() != 0) return write();
    constexpr uid_t kNobody = 65534;
    for (const QString& entry : QDir(folder).entryList(QDir::Files))
        EXPECT_EQ(::chown(QFile::encodeName(folder + "/" + entry).constData(), kNobody, kNobody), 0);
    EXPECT_EQ(::chown(QFile::encodeName(folder).constData(), kNobody, kNobody), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        const bool dropped = ::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0;
        ::_exit(dropped ? (write() ? 0 : 1) : 2);
    }
    int status = 0;
    EXPECT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_NE(WEXITSTATUS(status), 2) << "could not give up root";
    return WEXITSTATUS(status) == 0;
}

TEST_F(ProfileFile, ReadOnlyFolderFailsAndKeepsTheOldFile) {
    const QByteArray before = "[System]\r\nComm=COM1\r\n";
    WriteBytes(Path(), before);
    ASSERT_TRUE(QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                                        QFile::ExeGroup | QFile::ReadOther |
                                                        QFile::ExeOther));
    const QString path = Path();
    const bool written = WriteAsOrdinaryUser(m_dir.path(), [path] {
        const Result<> write = WriteProfileString(path, "System", "Comm", "COM2");
        return write.ok() || write.message().isEmpty();
    });
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_FALSE(written) << "the write must fail with a message";
    EXPECT_EQ(ReadBytes(Path()), before);
    EXPECT_EQ(Entries(), QStringList{"info.ini"});
}

// A file-size limit stops the write part-way through, as a full disk would.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_oldHandler);
    }

  private:
    rlimit m_saved{};
    void (*m_oldHandler)(int) = nullptr;
};

TEST_F(ProfileFile, WriteCutShortLeavesTheOldFileWhole) {
    const QByteArray before = "[System]\nComm=COM1\nstyle=1\n" + QByteArray(500, ';') + "\n";
    WriteBytes(Path(), before);
    Result<> write;
    {
        const FileSizeLimit limit(1024);
        write = WriteProfileString(Path(), "System", "Comm", QString(4000, 'x'));
    }
    EXPECT_FALSE(write.ok());
    EXPECT_FALSE(write.message().isEmpty());
    EXPECT_EQ(ReadBytes(Path()), before);
    EXPECT_EQ(Entries(), QStringList{"info.ini"}) << "the half-written copy must be removed";
    EXPECT_TRUE(WriteProfileString(Path(), "System", "Comm", "COM2").ok()) << "a later write works again";
}

TEST_F(ProfileFile, FileInMissingFolderFailsWithMessage) {
    const Result<> write = WriteProfileString(m_dir.filePath("gone/info.ini"), "System", "Comm", "COM1");
    EXPECT_FALSE(write.ok());
    EXPECT_TRUE(write.message().contains("gone/info.ini"));
}

// Something other than a regular file under the settings name reads as no file at once and is never
// written through or replaced. A FIFO would otherwise hold start-up until someone writes to it.
TEST_F(ProfileFile, OnlyARegularFileIsReadOrWritten) {
    const QByteArray path = QFile::encodeName(Path());
    const struct {
        const char* name;
        std::function<bool()> make;
        std::function<bool()> unchanged;
    } rows[] = {
        {"fifo", [&] { return ::mkfifo(path.constData(), 0600) == 0; },
         [&] {
             struct stat status {};
             return ::lstat(path.constData(), &status) == 0 && S_ISFIFO(status.st_mode);
         }},
        {"folder", [&] { return QDir().mkdir(Path()); }, [&] { return QFileInfo(Path()).isDir(); }},
        {"device", [&] { return QFile::link("/dev/null", Path()); },
         [&] { return QFileInfo(Path()).symLinkTarget() == "/dev/null"; }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(row.make());
        auto read = std::async(std::launch::async, [&] {
            const QString value = ReadIniValue("System", "Comm", "COM2", Path());
            const Result<> write = WriteProfileString(Path(), "System", "style", "1");
            return value + (write.ok() ? "|written" : "|refused");
        });
        const bool answered = read.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
        // A reader stuck on the FIFO is let go, so that the failure is reported rather than hung.
        if (!answered) ::close(::open(path.constData(), O_WRONLY | O_NONBLOCK));
        EXPECT_TRUE(answered);
        EXPECT_EQ(read.get(), "COM2|refused");
        EXPECT_TRUE(row.unchanged());
        EXPECT_TRUE(QFile::remove(Path()) || QDir().rmdir(Path()));
    }
}

}  // namespace
}  // namespace corvat
