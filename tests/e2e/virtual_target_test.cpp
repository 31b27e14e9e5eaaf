// The virtual target on its own, spoken to byte by byte through a real QSerialPort, so that the
// loader's end-to-end tests stand on a peer that is known to be right.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>

#include "support/virtual_target.h"

namespace corvat::test {
namespace {

// A hand-driven loader: the bytes of the protocol with nothing of the real loader in between.
class HandLine {
  public:
    bool Open(const QString& path) {
        m_port.setPortName(path);
        return m_port.open(QIODevice::ReadWrite) && m_port.setBaudRate(9600);
    }
    void Write(const QByteArray& bytes) {
        m_port.write(bytes);
        m_port.flush();
    }
    // The next count bytes; fewer when the target stays silent past the limit.
    QByteArray Read(qsizetype count) {
        QByteArray got;
        WaitFor([&] {
            got += m_port.readAll();
            return got.size() >= count;
        });
        return got;
    }
    void Close() { m_port.close(); }

  private:
    QSerialPort m_port;
};

QByteArray Frame(int page, const QByteArray& data, int checksumError = 0) {
    QByteArray frame;
    frame.append(static_cast<char>(page >> 8)).append(static_cast<char>(page & 0xFF)).append(data);
    unsigned sum = 0;
    for (const char byte : frame) sum += static_cast<unsigned char>(byte);
    frame.append(static_cast<char>((sum + static_cast<unsigned>(checksumError)) & 0xFF));
    return frame;
}

const QByteArray kEndMarker("\xFF\xFF", 2);

struct Started {
    std::unique_ptr<VirtualTarget> target;
    HandLine line;
};

// Starts a target, opens its line and takes the greeting and the identification.
void Identify(Started& s, const QStringList& options, QByteArray* ident) {
    s.target = std::make_unique<VirtualTarget>(options + QStringList{"--greet-delay", "20"});
    QString error;
    ASSERT_TRUE(s.target->Start(&error)) << error.toStdString();
    ASSERT_TRUE(s.line.Open(s.target->LinkPath()));
    ASSERT_EQ(s.line.Read(1), ">");
    s.line.Write("<");
    *ident = s.line.Read(3);
}

struct IdentRow {
    const char* name;
    QStringList options;
    QByteArray ident;
};

class IdentificationTest : public testing::TestWithParam<IdentRow> {};

TEST_P(IdentificationTest, GreetsOnOpenAndIdentifies) {
    Started s;
    QByteArray ident;
    Identify(s, GetParam().options, &ident);
    EXPECT_EQ(ident, GetParam().ident);
    EXPECT_EQ(s.target->Received(), "<");
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, IdentificationTest,
    testing::Values(IdentRow{"kind_0_by_default", {}, "0xg"}, IdentRow{"kind_1", {"--kind", "1"}, "1xg"},
                    IdentRow{"bad_identification_on_request", {"--ident", "2xg"}, "2xg"},
                    IdentRow{"escaped_bytes", {"--ident", "0\\xFFg"}, QByteArray("0\xFFg", 3)}),
    [](const auto& info) { return std::string(info.param.name); });

struct PageRow {
    const char* name;
    QStringList options;
    int page;
    int checksumError;
    QByteArray answers;  // the answers to the same frame sent once per expected answer
};

class PageTest : public testing::TestWithParam<PageRow> {};

TEST_P(PageTest, AnswersEachFrame) {
    const PageRow& row = GetParam();
    Started s;
    QByteArray ident;
    Identify(s, row.options, &ident);
    s.line.Write("W");
    ASSERT_EQ(s.line.Read(1), "!");
    QByteArray answers;
    for (qsizetype i = 0; i < row.answers.size(); ++i) {
        s.line.Write(Frame(row.page, QByteArray(64, 'A'), row.checksumError));
        answers += s.line.Read(1);
    }
    EXPECT_EQ(answers, row.answers);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, PageTest,
    testing::Values(PageRow{"good_page_accepted", {}, 0, 0, "!"},
                    PageRow{"checksum_off_by_one_rejected", {}, 3, 1, "@@"},
                    PageRow{"injected_rejections_then_accepted", {"--reject", "5x2"}, 5, 0, "@@!"},
                    PageRow{"last_page_of_kind_0_accepted", {}, 111, 0, "!"},
                    PageRow{"page_beyond_the_flash_rejected", {}, 112, 0, "@@"},
                    // Data right behind its header reaches a target still busy with the header.
                    PageRow{"data_without_pause_lost_while_busy", {"--header-busy", "2"}, 0, 0, "@@"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(VirtualTargetTest, KeepsTheFlashAndComparesItWithTheImage) {
    QTemporaryDir dir;
    QFile expected(dir.filePath("image.bin"));
    ASSERT_TRUE(expected.open(QIODevice::WriteOnly));
    expected.write(QByteArray(64, 'A') + QByteArray(2, 'B'));
    expected.close();

    Started s;
    QByteArray ident;
    Identify(s, {"--expect", expected.fileName()}, &ident);
    s.line.Write("W");
    ASSERT_EQ(s.line.Read(1), "!");
    s.line.Write(Frame(0, QByteArray(64, 'A')));
    ASSERT_EQ(s.line.Read(1), "!");
    s.line.Write(Frame(1, QByteArray(2, 'B') + QByteArray(62, '\xFF')));
    ASSERT_EQ(s.line.Read(1), "!");
    s.line.Write(kEndMarker);
    ASSERT_TRUE(s.target->WaitForEvent("flash matches " + expected.fileName()));
    EXPECT_TRUE(s.target->HasEvent("end of download: 2 pages written, 0 rejected"));
    EXPECT_EQ(s.target->Flash(), QByteArray(64, 'A') + QByteArray(2, 'B') + QByteArray(7168 - 66, '\xFF'));

    // A second download starts from erased flash and is checked again.
    s.line.Write("W");
    ASSERT_EQ(s.line.Read(1), "!");
    s.line.Write(Frame(1, QByteArray(2, 'B') + QByteArray(62, '\xFF')));
    ASSERT_EQ(s.line.Read(1), "!");
    s.line.Write(kEndMarker);
    ASSERT_TRUE(s.target->WaitForEvent("flash differs at offset 0 (flash FF, expected 41)"));
}

TEST(VirtualTargetTest, ReleaseThenANewOpenGreetsAgain) {
    Started s;
    QByteArray ident;
    Identify(s, {}, &ident);
    s.line.Write("E");
    ASSERT_TRUE(s.target->WaitForEvent("released: the target runs its program"));
    s.line.Close();
    ASSERT_TRUE(s.target->WaitForEvent("loader closed the port"));
    ASSERT_TRUE(s.line.Open(s.target->LinkPath()));
    EXPECT_EQ(s.line.Read(1), ">");
}

TEST(VirtualTargetTest, APowerCycleGreetsOnTheOpenLine) {
    Started s;
    QByteArray ident;
    Identify(s, {"--ident", "2xg", "--ident", "1xg"}, &ident);
    ASSERT_EQ(ident, "2xg");
    s.target->PowerCycle();
    ASSERT_EQ(s.line.Read(1), ">");
    s.line.Write("<");
    EXPECT_EQ(s.line.Read(3), "1xg");
}

TEST(VirtualTargetTest, LeavesNoLinkWhenStoppedAndReplacesAStaleOne) {
    VirtualTarget first;
    QString error;
    ASSERT_TRUE(first.Start(&error)) << error.toStdString();
    first.Stop();
    EXPECT_FALSE(QFileInfo(first.LinkPath()).isSymLink());

    // A link left by a target that could not clean up points nowhere; the next target takes the name.
    ASSERT_TRUE(QFile::link("/dev/pts/no-such-terminal", first.LinkPath()));
    ASSERT_TRUE(first.Start(&error)) << error.toStdString();
    EXPECT_NE(QFileInfo(first.LinkPath()).symLinkTarget(), "/dev/pts/no-such-terminal");
}

struct CommandLineRow {
    const char* name;
    QStringList arguments;
    int exitCode;
    const char* says;
};

class CommandLineTest : public testing::TestWithParam<CommandLineRow> {};

TEST_P(CommandLineTest, ExplainsItself) {
    QProcess process;
    process.start(CORVAT_PROGRAM_DIR "/corvat-virtual-target", GetParam().arguments);
    ASSERT_TRUE(process.waitForFinished());
    EXPECT_EQ(process.exitCode(), GetParam().exitCode);
    const QString output =
        QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
    EXPECT_TRUE(output.contains(GetParam().says)) << output.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Options, CommandLineTest,
    testing::Values(CommandLineRow{"help", {"--help"}, 0, "--reject PAGE[xCOUNT]"},
                    CommandLineRow{"unknown_option", {"--frobnicate"}, 2, "unknown option \"--frobnicate\""},
                    CommandLineRow{"bad_kind", {"--kind", "2"}, 2, "--kind: 0 or 1"},
                    CommandLineRow{"bad_reject", {"--reject", "3x"}, 2, "expected PAGE or PAGExCOUNT"},
                    CommandLineRow{"missing_value", {"--greet-delay"}, 2, "a value is missing"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvat::test

namespace corvat::test {
namespace {

// Where the target links its line in an installed program's settings folder, the folders it makes
// are the operator's alone, like those the loader makes.
TEST(VirtualTargetFolders, SettingsFolderItMakesIsPrivate) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QString settings = home.filePath("config/corvat");
    QProcess target;
    target.start(CORVAT_PROGRAM_DIR "/corvat-virtual-target", {"--link", settings + "/ports/COM1"});
    ASSERT_TRUE(target.waitForStarted());
    EXPECT_TRUE(WaitFor([&] { return QFileInfo(settings + "/ports/COM1").isSymLink(); }));
    for (const QString& folder : {home.filePath("config"), settings, settings + "/ports"})
        EXPECT_EQ(QFileInfo(folder).permissions() & 0x7077,
                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)
            << folder.toStdString();
    target.terminate();
    target.waitForFinished();
}

}  // namespace
}  // namespace corvat::test
