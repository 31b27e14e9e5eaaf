#include <gtest/gtest.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <memory>

#include "app/main_window.h"
#include "image_window_fixture.h"
#include "support/answering_dialogs.h"

namespace corvat {
namespace {

const QString kPrompt = QStringLiteral("请选择源文件路径！");
const QString kLoaded = QStringLiteral("文件已读入！长度：");

QByteArray Pattern(qsizetype length, int seed = 0) {
    QByteArray bytes(length, '\0');
    for (qsizetype k = 0; k < length; ++k) bytes[k] = static_cast<char>((k * 7 + seed) % 256);
    return bytes;
}

// Every byte as two upper-case digits and a blank, written out here independently of the window's code.
QString ExpectedPreview(const QByteArray& bytes) {
    QString text;
    for (qsizetype k = 0; k < std::min<qsizetype>(bytes.size(), 512); ++k) {
        text += QString::asprintf("%02X ", static_cast<unsigned char>(bytes[k]));
    }
    return text;
}

class ImageClickTest : public ImageWindowTest {
  protected:
    void SetUp() override { OpenWindow(); }

    QString Write(const QString& name, const QByteArray& bytes) {
        QFile file(files.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        EXPECT_EQ(file.write(bytes), bytes.size());
        return file.fileName();
    }
};

TEST_F(ImageClickTest, FirstCancelPromptsAndChangesNothingElse) {
    const QString statusBefore = Status();
    Load(QString());
    EXPECT_EQ(Path(), QString());
    EXPECT_EQ(NewMessages(), (QList<Message>{{kPrompt, MessageIcon::Information, QStringLiteral("提示")}}));
    EXPECT_EQ(window->State().ImageLength, 0);
    EXPECT_TRUE(window->State().ImageData.isEmpty());
    EXPECT_EQ(Preview(), QString());
    EXPECT_EQ(Status(), statusBefore);
    EXPECT_FALSE(Enabled("cmdstar"));
    EXPECT_TRUE(Enabled("cmdFlashFile"));
}

TEST_F(ImageClickTest, DialogGetsTheLoadersFilterAndItsLastName) {
    const QString first = Write(QStringLiteral("a.bin"), "abc");
    Load(first);
    Load(QString());
    ASSERT_EQ(dialogs.FileRequests().size(), 2);
    EXPECT_EQ(dialogs.FileRequests()[0].filter, QStringLiteral("程序(*.BIN;*.HEX)|*.BIN;*.HEX"));
    EXPECT_EQ(dialogs.FileRequests()[0].startName, QString());
    EXPECT_EQ(dialogs.FileRequests()[1].startName, first);
}

TEST_F(ImageClickTest, CancelAfterAChoiceLoadsThatFileAgain) {
    const QString path = Write(QStringLiteral("固件 one.bin"), "abc");
    Load(path);
    // Changed on disk since: the cancel reads the file afresh, exactly as a new choice would.
    Write(QStringLiteral("固件 one.bin"), "12345");
    Load(QString());
    EXPECT_EQ(Path(), path);
    EXPECT_TRUE(NewMessages().isEmpty());
    EXPECT_EQ(window->State().ImageData, "12345");
    EXPECT_EQ(Status(), kLoaded + "5");
}

struct LoadRow {
    const char* name;
    qsizetype length;
};

class LoadedImageTest : public ImageClickTest, public testing::WithParamInterface<LoadRow> {};

TEST_P(LoadedImageTest, WholeFileHeldAtMost512Shown) {
    const QByteArray bytes = GetParam().length == 1 ? QByteArray(1, 5) : Pattern(GetParam().length);
    const QString path = Write(QStringLiteral("image.bin"), bytes);
    Load(path);
    EXPECT_EQ(window->State().ImageLength, GetParam().length);
    EXPECT_EQ(window->State().ImageData, bytes);
    EXPECT_EQ(Preview(), ExpectedPreview(bytes));
    EXPECT_EQ(Status(), kLoaded + QString::number(GetParam().length));
    EXPECT_EQ(Path(), path);
    EXPECT_TRUE(Enabled("cmdstar"));
    EXPECT_TRUE(Enabled("cmdFlashFile"));
    EXPECT_TRUE(NewMessages().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Lengths, LoadedImageTest,
                         testing::Values(LoadRow{"Empty", 0}, LoadRow{"OneByte", 1},
                                         LoadRow{"Exactly512", 512}, LoadRow{"Over512", 513},
                                         LoadRow{"LargeTarget", 15360}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ImageClickTest, ShorterSecondImageLeavesNothingOfTheFirst) {
    Load(Write(QStringLiteral("long.bin"), Pattern(1000, 1)));
    const QByteArray second = Pattern(10, 2);
    Load(Write(QStringLiteral("short.bin"), second));
    EXPECT_EQ(window->State().ImageData, second);
    EXPECT_EQ(window->State().ImageLength, 10);
    EXPECT_EQ(Preview(), ExpectedPreview(second));
}

TEST_F(ImageClickTest, UnreadableFileKeepsTheLoadedImage) {
    const QByteArray first = Pattern(40);
    Load(Write(QStringLiteral("good.bin"), first));
    const QString preview = Preview();
    const QString status = Status();
    // Neither a FIFO nor a device ever comes to an end: reading one would hang the window.
    const QString fifo = files.filePath(QStringLiteral("pipe.bin"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const auto& [name, path] : {std::pair{"Missing", files.filePath(QStringLiteral("typed name.bin"))},
                                     std::pair{"Directory", files.path()}, std::pair{"Fifo", fifo},
                                     std::pair{"Device", QStringLiteral("/dev/zero")}}) {
        SCOPED_TRACE(name);
        const qsizetype before = dialogs.Messages().size();
        Load(path);
        ASSERT_EQ(dialogs.Messages().size(), before + 1);
        const Message shown = dialogs.Messages().last();
        EXPECT_TRUE(shown.text.startsWith(QStringLiteral("无法读取文件："))) << shown.text.toStdString();
        EXPECT_TRUE(shown.text.contains(path)) << shown.text.toStdString();
        EXPECT_EQ(shown.icon, MessageIcon::None);
        EXPECT_EQ(shown.title, QStringLiteral("Corvat"));
        EXPECT_EQ(Path(), path);
        EXPECT_EQ(window->State().ImageData, first);
        EXPECT_EQ(window->State().ImageLength, 40);
        EXPECT_EQ(Preview(), preview);
        EXPECT_EQ(Status(), status);
        EXPECT_TRUE(Enabled("cmdstar"));
        EXPECT_TRUE(Enabled("cmdFlashFile"));
    }
}

TEST_F(ImageClickTest, OpenPortIsClosedWhateverTheDialogAnswers) {
    // A pseudo-terminal stands in for the adapter: the real serial layer opens and closes it.
    int master = -1;
    int slave = -1;
    char device[128] = {};
    ASSERT_EQ(openpty(&master, &slave, device, nullptr, nullptr), 0);
    for (const auto& [name, answer] :
         {std::pair{"Cancelled", QString()}, std::pair{"Chosen", Write(QStringLiteral("a.bin"), "abc")}}) {
        SCOPED_TRACE(name);
        const Result<> opened = window->Link().Open(QString::fromLocal8Bit(device));
        ASSERT_TRUE(opened.ok()) << opened.message().toStdString();
        Load(answer);
        EXPECT_FALSE(window->Link().IsOpen());
    }
    close(slave);
    close(master);
}

}  // namespace
}  // namespace corvat
