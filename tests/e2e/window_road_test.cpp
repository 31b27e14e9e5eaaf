// The operator's whole road through the real window: load the demo image (flat, or HEX through the
// real converter), connect to the virtual target, download with resends, release.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>

#include "app/main_window.h"
#include "support/answering_dialogs.h"
#include "support/virtual_target.h"

namespace corvat::test {
namespace {

struct Road {
    const char* name;
    const char* image;  // demo file beside the program
    QStringList targetOptions;
    int pageSize;
};

class WindowRoadTest : public ::testing::TestWithParam<Road> {};

QString ProgramFile(const QString& name) {
    return QStringLiteral(CORVAT_PROGRAM_DIR "/") + name;
}

bool Click(MainWindow& window, const char* name) {
    auto* button = window.findChild<QAbstractButton*>(QLatin1String(name));
    if (button == nullptr || !button->isEnabled()) return false;
    button->click();
    return true;
}

bool Enabled(MainWindow& window, const char* name) {
    auto* widget = window.findChild<QWidget*>(QLatin1String(name));
    return widget != nullptr && widget->isEnabled();
}

QString Label(MainWindow& window, const char* name) {
    return window.findChild<QLabel*>(QLatin1String(name))->text();
}

TEST_P(WindowRoadTest, DemoImageReachesTheTargetByteForByte) {
    const Road& road = GetParam();
    const QString demoBin = ProgramFile("demo.bin");
    QStringList options = road.targetOptions;
    options << "--expect" << demoBin << "--greet-delay"
            << "50";
    VirtualTarget target(options);
    QString error;
    ASSERT_TRUE(target.Start(&error)) << error.toStdString();

    // The target's folder is the program folder: its ports/COM1 is the target, the converter lies beside.
    ASSERT_TRUE(QFile::copy(ProgramFile("HEX2BIN.EXE"), target.FilePath("HEX2BIN.EXE")));
    QFile ini(target.FilePath("info.ini"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[System]\nComm=COM1\nstyle=0\n");
    ini.close();
    QTemporaryDir systemDir;
    AnsweringDialogs dialogs;
    DetachedProgramStarter starter;
    WindowEnvironment environment{&dialogs, &starter, target.Folder(), systemDir.path()};
    MainWindow window(environment);
    window.Form_Load();
    ASSERT_EQ(window.findChild<QComboBox*>("Combo1")->currentText(), "COM1");

    dialogs.AnswerOpenFile(ProgramFile(road.image));
    ASSERT_TRUE(Click(window, "cmdFlashFile"));
    ASSERT_TRUE(WaitFor([&] { return Enabled(window, "cmdstar"); }, std::chrono::seconds(5)));
    QFile demo(demoBin);
    ASSERT_TRUE(demo.open(QIODevice::ReadOnly));
    const QByteArray image = demo.readAll();
    EXPECT_EQ(window.State().ImageData, image);
    EXPECT_EQ(Label(window, "lblMsg"), "文件已读入！长度：" + QString::number(image.size()));

    ASSERT_TRUE(Click(window, "cmdstar"));
    ASSERT_TRUE(WaitFor([&] { return Enabled(window, "cmdWrite"); }));
    EXPECT_EQ(Label(window, "lblMsg"), "联接成功，可下载....");
    EXPECT_EQ(window.State().PageSize, road.pageSize);
    EXPECT_EQ(dialogs.Beeps(), 1);

    ASSERT_TRUE(Click(window, "cmdWrite"));
    ASSERT_TRUE(WaitFor([&] { return Enabled(window, "cmdExit"); }, std::chrono::seconds(60)));
    const int pages = static_cast<int>((image.size() + road.pageSize - 1) / road.pageSize);
    EXPECT_TRUE(
        Label(window, "lblMsg").startsWith(QStringLiteral("成功写到%1页，错误次数2，时间").arg(pages)))
        << Label(window, "lblMsg").toStdString();
    ASSERT_TRUE(target.WaitForEvent("flash matches " + demoBin))
        << target.Transcript().join('\n').toStdString();

    ASSERT_TRUE(Click(window, "cmdExit"));
    EXPECT_TRUE(target.WaitForEvent("released: the target runs its program"));
    EXPECT_EQ(Label(window, "lblMsg"), "信息....");
    EXPECT_EQ(window.findChild<QLineEdit*>("Text1")->text(), "");
    EXPECT_TRUE(Enabled(window, "cmdstar"));
    EXPECT_FALSE(Enabled(window, "cmdWrite"));
    EXPECT_TRUE(dialogs.Messages().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Demo, WindowRoadTest,
    ::testing::Values(Road{"FlatToKind0", "demo.bin", {"--reject", "3x2"}, 64},
                      Road{"HexToKind1", "demo.hex", {"--kind", "1", "--reject", "0x2"}, 128}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvat::test
