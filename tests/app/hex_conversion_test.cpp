#include <gtest/gtest.h>
#include <sys/stat.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include "app/main_window.h"
#include "image/hex_conversion.h"
#include "image_window_fixture.h"
#include "support/answering_dialogs.h"
#include "window_fixture.h"

namespace corvat {
namespace {

using Message = test::AnsweringDialogs::Message;

const Message kConversionFailed{QStringLiteral("打开文件出错了！"), MessageIcon::None,
                                QStringLiteral("Corvat")};

QByteArray Pattern(qsizetype length, int seed) {
    QByteArray bytes(length, '\0');
    for (qsizetype k = 0; k < length; ++k) bytes[k] = static_cast<char>((k * 13 + seed) % 256);
    return bytes;
}

// The image as Intel HEX data records of 16 bytes from address 0, then the end record.
QByteArray ToIntelHex(const QByteArray& image) {
    QByteArray text;
    for (qsizetype address = 0; address < image.size(); address += 16) {
        const QByteArray data = image.mid(address, 16);
        QByteArray record;
        record.append(static_cast<char>(data.size()));
        record.append(static_cast<char>(address >> 8));
        record.append(static_cast<char>(address & 0xFF));
        record.append('\0');
        record.append(data);
        unsigned sum = 0;
        for (const char byte : record) sum += static_cast<unsigned char>(byte);
        record.append(static_cast<char>((0x100 - (sum & 0xFF)) & 0xFF));
        text += ':' + record.toHex().toUpper() + "\r\n";
    }
    return text + ":00000001FF\r\n";
}

// Follows the conversion's waits from inside them: a timer fires on every pass of the event loop. A pass
// at least one wait's length after the first pass seen in a wait ends that wait at the latest, so the pass
// after it lies in a later wait, past the check between the two. Nothing depends on how long a step takes.
class WaitFollower {
  public:
    // act runs inside a wait that follows at least `checks` checks.
    WaitFollower(int checks, std::function<void()> act) : m_checks(checks), m_act(std::move(act)) {
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Pass(); });
        m_timer.start();
    }

  private:
    void Pass() {
        const auto now = std::chrono::steady_clock::now();
        if (m_waitOver) {
            ++m_passed;
            m_waitOver = false;
            m_firstPass.reset();
        }
        if (m_passed == m_checks) {
            m_timer.stop();
            m_act();
            return;
        }
        if (!m_firstPass) {
            m_firstPass = now;
            return;
        }
        const auto length = m_passed == 0 ? kConverterFirstWait : kConverterRetryWait;
        if (now - *m_firstPass >= length) m_waitOver = true;
    }

    int m_checks;
    std::function<void()> m_act;
    QTimer m_timer;
    int m_passed = 0;
    bool m_waitOver = false;
    std::optional<std::chrono::steady_clock::time_point> m_firstPass;
};

class HexConversionTest : public ImageWindowTest {
  protected:
    QString Write(const QString& path, const QByteArray& bytes, bool executable = false) {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
        EXPECT_EQ(file.write(bytes), bytes.size());
        file.close();
        if (executable) file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
        return path;
    }

    void UseRealConverter() {
        ASSERT_TRUE(QFile::copy(QStringLiteral(CORVAT_PROGRAM_DIR "/HEX2BIN.EXE"), ConverterSource()));
    }
    // A converter that misbehaves in a chosen way, written as a script.
    void UseStandInConverter(const QByteArray& body) { Write(ConverterSource(), "#!/bin/sh\n" + body, true); }
    QString ConverterSource() const { return programDir.filePath(QStringLiteral("HEX2BIN.EXE")); }
    QString Output() const { return QDir(window->ConversionFolder()).filePath(QStringLiteral("HexBIN.bin")); }

    // A converter that writes `bytes` only once the test lets it, renaming into place as the real one does.
    void UseGatedConverter(const QByteArray& bytes) {
        UseStandInConverter(": > '" + QFile::encodeName(Started()) + "'\n" + "until [ -e '" +
                            QFile::encodeName(Gate()) + "' ]; do sleep 0.02; done\n" + "printf '" + bytes +
                            "' > \"$2.part\" && mv \"$2.part\" \"$2\"\n" + ": > '" +
                            QFile::encodeName(Finished()) + "'\n");
    }
    QString Finished() const { return files.filePath(QStringLiteral("finished")); }
    QString Gate() const { return files.filePath(QStringLiteral("go")); }
    // The stand-in runs: removing its copy from the private folder can no longer stop it from starting.
    QString Started() const { return files.filePath(QStringLiteral("started")); }
    // Lets the gated converter write, and stays inside the current wait until its output is there.
    void OpenGateAndAwaitOutput() {
        Write(Gate(), "");
        EXPECT_TRUE(WaitUntil([this] { return QFileInfo(Output()).size() > 0; }));
    }
};

TEST_F(HexConversionTest, RealConverterGivesWhatItsBinGives) {
    UseRealConverter();
    OpenWindow();
    const QByteArray image = Pattern(700, 3);
    Load(Write(files.filePath(QStringLiteral("固件 image.bin")), image));
    const QString binPreview = Preview();
    const QString binStatus = Status();

    // Each name is converted, however its "hex" is spelled, and the same file chosen again converts again.
    for (const char* name : {"固件 image.hex", "IMAGE.HEX", "image.Hex", "abchex", "abchex"}) {
        SCOPED_TRACE(name);
        Load(Write(files.filePath(QString::fromUtf8(name)), ToIntelHex(image)));
        EXPECT_TRUE(NewMessages().isEmpty());
        EXPECT_EQ(window->State().ImageData, image);
        EXPECT_EQ(window->State().ImageLength, 700);
        EXPECT_EQ(Preview(), binPreview);
        EXPECT_EQ(Status(), binStatus);
        EXPECT_TRUE(Control<QPushButton>("cmdstar")->isEnabled());
        EXPECT_TRUE(Control<QPushButton>("cmdFlashFile")->isEnabled());
        EXPECT_EQ(Control<QLineEdit>("txtFile")->text(), files.filePath(QString::fromUtf8(name)));
        // Loaded from a fresh output each time, never the previous one.
        window->State().ImageData.clear();
    }
}

TEST_F(HexConversionTest, SilentConverterFailsAfterItsWaitsKeepingTheImage) {
    UseStandInConverter("exit 0\n");
    OpenWindow();
    const QByteArray earlier = Pattern(64, 1);
    Load(Write(files.filePath(QStringLiteral("earlier.bin")), earlier));
    const QString status = Status();

    QElapsedTimer clock;
    clock.start();
    const QString hexPath = Write(files.filePath(QStringLiteral("app.hex")), ToIntelHex(Pattern(32, 2)));
    Load(hexPath);
    // Six checks span one long and five short waits, about 2000 ms.
    std::printf("silent converter reported after %lld ms\n", static_cast<long long>(clock.elapsed()));

    EXPECT_EQ(NewMessages(), QList<Message>{kConversionFailed});
    EXPECT_EQ(Preview(), QString());
    EXPECT_EQ(window->State().ImageData, earlier);
    EXPECT_EQ(window->State().ImageLength, 64);
    EXPECT_EQ(Status(), status);
    EXPECT_EQ(Control<QLineEdit>("txtFile")->text(), hexPath);
    EXPECT_TRUE(Control<QPushButton>("cmdstar")->isEnabled());
    EXPECT_TRUE(Control<QPushButton>("cmdFlashFile")->isEnabled());
}

TEST_F(HexConversionTest, LeftoverOutputIsNeverLoaded) {
    UseStandInConverter("exit 0\n");
    OpenWindow();
    Write(Output(), "left from an earlier conversion");
    Load(Write(files.filePath(QStringLiteral("app.hex")), ToIntelHex(Pattern(32, 2))));
    EXPECT_EQ(NewMessages(), QList<Message>{kConversionFailed});
    EXPECT_TRUE(window->State().ImageData.isEmpty());
    EXPECT_FALSE(Control<QPushButton>("cmdstar")->isEnabled());
}

TEST_F(HexConversionTest, LateOutputIsReadAtALaterCheck) {
    UseGatedConverter("late");
    OpenWindow();
    Load(Write(files.filePath(QStringLiteral("first.bin")), "x"));
    // The image is about to change, so connecting must wait until the Click is over.
    bool connectOfferedDuringWait = true;
    // Written once the second check has found nothing, and there before the third.
    const WaitFollower follower(2, [&] {
        connectOfferedDuringWait = Control<QPushButton>("cmdstar")->isEnabled();
        OpenGateAndAwaitOutput();
    });
    Load(Write(files.filePath(QStringLiteral("late.hex")), ":00000001FF\n"));
    EXPECT_TRUE(NewMessages().isEmpty());
    EXPECT_EQ(window->State().ImageData, "late");
    EXPECT_EQ(window->State().ImageLength, 4);
    EXPECT_EQ(Preview(), QStringLiteral("6C 61 74 65 "));
    EXPECT_EQ(Status(), QStringLiteral("文件已读入！长度：4"));
    EXPECT_FALSE(connectOfferedDuringWait);
    EXPECT_TRUE(Control<QPushButton>("cmdstar")->isEnabled());
    EXPECT_TRUE(Control<QPushButton>("cmdFlashFile")->isEnabled());
}

TEST_F(HexConversionTest, MissingConverterIsReportedAtOnce) {
    OpenWindow();
    Load(Write(files.filePath(QStringLiteral("earlier.bin")), "abc"));
    Load(Write(files.filePath(QStringLiteral("app.hex")), ":00000001FF\n"));
    ASSERT_EQ(NewMessages().size(), 1);
    EXPECT_TRUE(NewMessages()[0].text.contains(ConverterSource())) << NewMessages()[0].text.toStdString();
    EXPECT_EQ(NewMessages()[0].title, QStringLiteral("Corvat"));
    EXPECT_EQ(Preview(), QString());
    EXPECT_EQ(window->State().ImageData, "abc");
    EXPECT_TRUE(Control<QPushButton>("cmdstar")->isEnabled());
}

TEST_F(HexConversionTest, ClosingTheWindowDuringTheWaitLeavesNoImageAndNoFiles) {
    UseGatedConverter("written after the close");
    OpenWindow();
    Load(Write(files.filePath(QStringLiteral("earlier.bin")), "abc"));
    const QString status = Status();
    // Shut-down removes the files first; the converter writes only afterwards, while the wait goes on.
    // The converter tries to write only after shut-down, while the wait goes on.
    const WaitFollower follower(0, [this] {
        ASSERT_TRUE(WaitUntil([this] { return QFile::exists(Started()); }));
        window->close();
        Write(Gate(), "");
        EXPECT_TRUE(WaitUntil([this] { return QFile::exists(Finished()); }));
    });
    Load(Write(files.filePath(QStringLiteral("app.hex")), ":00000001FF\n"));
    EXPECT_TRUE(NewMessages().isEmpty());
    EXPECT_EQ(window->State().ImageData, "abc");
    EXPECT_EQ(Status(), status);
    EXPECT_TRUE(QDir(systemDir.path()).isEmpty()) << "the window's folder went with its files";
}

TEST_F(HexConversionTest, FifoChosenAsHexIsRefusedAtOnce) {
    UseStandInConverter("exit 0\n");
    OpenWindow();
    Load(Write(files.filePath(QStringLiteral("earlier.bin")), "abc"));
    // Copying it would wait forever for a writer.
    const QString fifo = files.filePath(QStringLiteral("pipe.hex"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    Load(fifo);
    ASSERT_EQ(NewMessages().size(), 1);
    EXPECT_TRUE(NewMessages()[0].text.contains(fifo)) << NewMessages()[0].text.toStdString();
    EXPECT_TRUE(NewMessages()[0].text.contains(QStringLiteral("不是普通文件")));
    EXPECT_EQ(Preview(), QString());
    EXPECT_EQ(window->State().ImageData, "abc");
    EXPECT_TRUE(Control<QPushButton>("cmdFlashFile")->isEnabled());
}

TEST_F(HexConversionTest, RefusedPrivateFolderIsReportedAndKeepsTheImage) {
    // The platform's folder is a symbolic link, which another user could have pointed anywhere.
    QTemporaryDir runtime;
    ASSERT_TRUE(QFile::link(systemDir.path(), runtime.filePath(QStringLiteral("corvat"))));
    const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
    const bool hadRuntime = qEnvironmentVariableIsSet("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    UseRealConverter();
    OpenWindow(QString());
    Load(Write(files.filePath(QStringLiteral("earlier.bin")), "abc"));
    Load(Write(files.filePath(QStringLiteral("app.hex")), ToIntelHex(Pattern(32, 2))));
    hadRuntime ? qputenv("XDG_RUNTIME_DIR", savedRuntime) : qunsetenv("XDG_RUNTIME_DIR");

    ASSERT_EQ(NewMessages().size(), 1);
    EXPECT_TRUE(NewMessages()[0].text.contains(QStringLiteral("符号链接")))
        << NewMessages()[0].text.toStdString();
    EXPECT_EQ(NewMessages()[0].title, QStringLiteral("Corvat"));
    EXPECT_EQ(Preview(), QString());
    EXPECT_EQ(window->State().ImageData, "abc");
    EXPECT_TRUE(Control<QPushButton>("cmdstar")->isEnabled());
    EXPECT_TRUE(QDir(systemDir.path()).isEmpty()) << "nothing is written through the link";
}

// Two loaders of one user convert at the same time: each loads its own image, and closing one in the
// middle of the other's wait takes nothing from the other. The stand-in converter copies its input once
// the test opens the gate; a second conversion of B then runs while A shuts down.
TEST_F(HexConversionTest, TwoLoadersConvertSideBySide) {
    UseStandInConverter("echo x >> '" + QFile::encodeName(Started()) + "'\nuntil [ -e '" +
                        QFile::encodeName(Gate()) + "' ]; do sleep 0.02; done\n" +
                        "cat \"$1\" > \"$2.part\" && mv \"$2.part\" \"$2\"\n");
    OpenWindow();
    MainWindow other(WindowEnvironment{&dialogs, &starter, programDir.path(), systemDir.path()});
    other.Form_Load();
    const auto loadOther = [&](const QString& path) {
        dialogs.AnswerOpenFile(path);
        other.findChild<QPushButton*>(QStringLiteral("cmdFlashFile"))->click();
    };
    const auto startedCount = [this] {
        return QFile::exists(Started()) ? QFileInfo(Started()).size() / 2 : 0;
    };
    const QString otherOutput = QDir(other.ConversionFolder()).filePath(QStringLiteral("HexBIN.bin"));

    // A waits; B starts converting inside A's wait, and both converters write only once both have started.
    const WaitFollower inA(0, [&] {
        ASSERT_TRUE(WaitUntil([&] { return startedCount() == 1; }));
        const WaitFollower inB(0, [&] {
            ASSERT_TRUE(WaitUntil([&] { return startedCount() == 2; }));
            Write(Gate(), "");
            EXPECT_TRUE(WaitUntil(
                [&] { return QFileInfo(Output()).size() > 0 && QFileInfo(otherOutput).size() > 0; }));
        });
        loadOther(Write(files.filePath(QStringLiteral("b.hex")), "image of B"));
    });
    Load(Write(files.filePath(QStringLiteral("a.hex")), "image of A"));
    EXPECT_EQ(window->State().ImageData, "image of A");
    EXPECT_EQ(other.State().ImageData, "image of B");

    // B converts again; A closes in the middle of B's wait.
    QFile::remove(Gate());
    const WaitFollower closing(0, [&] {
        ASSERT_TRUE(WaitUntil([&] { return startedCount() == 3; }));
        window->close();
        Write(Gate(), "");
    });
    loadOther(Write(files.filePath(QStringLiteral("b2.hex")), "second image of B"));
    EXPECT_EQ(other.State().ImageData, "second image of B");
    EXPECT_TRUE(NewMessages().isEmpty());
    other.close();
    EXPECT_TRUE(QDir(systemDir.path()).isEmpty()) << "each loader removed its own folder";
}

}  // namespace
}  // namespace corvat
