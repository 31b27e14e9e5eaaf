#include <gtest/gtest.h>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>

#include "app/main_window.h"
#include "support/answering_dialogs.h"

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

class HexConversionTest : public testing::Test {
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
    QString Output() const { return systemDir.filePath(QStringLiteral("HexBIN.bin")); }

    void OpenWindow() {
        window = std::make_unique<MainWindow>(
            WindowEnvironment{&dialogs, &starter, programDir.path(), systemDir.path()});
        window->Form_Load();
        messagesBefore = dialogs.Messages().size();
    }

    void Load(const QString& answer) {
        dialogs.AnswerOpenFile(answer);
        Control<QPushButton>("cmdFlashFile")->click();
    }

    template <typename W>
    W* Control(const char* name) {
        W* widget = window->findChild<W*>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    QList<Message> NewMessages() const { return dialogs.Messages().mid(messagesBefore); }
    QString Preview() { return Control<QPlainTextEdit>("Text3")->toPlainText(); }
    QString Status() { return Control<QLabel>("lblMsg")->text(); }

    QTemporaryDir programDir;
    QTemporaryDir systemDir;
    QTemporaryDir files;
    test::AnsweringDialogs dialogs;
    DetachedProgramStarter starter;
    std::unique_ptr<MainWindow> window;
    qsizetype messagesBefore = 0;
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
    const qint64 waited = clock.elapsed();
    std::printf("silent converter reported after %lld ms\n", static_cast<long long>(waited));

    EXPECT_EQ(NewMessages(), QList<Message>{kConversionFailed});
    // Six checks span one long and five short waits; giving up earlier would cut off slow converters.
    EXPECT_GE(waited, 1900);
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
    // Written between the second and the third check, renamed into place as the real converter does.
    UseStandInConverter("sleep 1.3\nprintf 'late' > \"$2.part\" && mv \"$2.part\" \"$2\"\n");
    OpenWindow();
    Load(Write(files.filePath(QStringLiteral("first.bin")), "x"));
    // The image is about to change, so connecting must wait until the Click is over.
    bool connectOfferedDuringWait = true;
    QTimer::singleShot(500, window.get(),
                       [&] { connectOfferedDuringWait = Control<QPushButton>("cmdstar")->isEnabled(); });
    Load(Write(files.filePath(QStringLiteral("late.hex")), ":00000001FF\n"));
    EXPECT_TRUE(NewMessages().isEmpty());
    EXPECT_EQ(window->State().ImageData, "late");
    EXPECT_EQ(Preview(), QStringLiteral("6C 61 74 65 "));
    EXPECT_EQ(Status(), QStringLiteral("文件已读入！长度：4"));
    EXPECT_FALSE(connectOfferedDuringWait);
    EXPECT_TRUE(Control<QPushButton>("cmdstar")->isEnabled());
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

TEST_F(HexConversionTest, ClosingTheWindowDuringTheWaitEndsTheConversionQuietly) {
    UseStandInConverter("exit 0\n");
    OpenWindow();
    Load(Write(files.filePath(QStringLiteral("earlier.bin")), "abc"));
    const QString status = Status();
    QTimer::singleShot(300, window.get(), [this] { window->close(); });
    Load(Write(files.filePath(QStringLiteral("app.hex")), ":00000001FF\n"));
    EXPECT_TRUE(NewMessages().isEmpty());
    EXPECT_EQ(window->State().ImageData, "abc");
    EXPECT_EQ(Status(), status);
}

}  // namespace
}  // namespace corvat
