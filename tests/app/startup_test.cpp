// Start-up and shut-down of the real window over a real program folder and system folder.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QWindow>
#include <optional>

#include "app/main_window.h"
#include "platform/program_starter.h"
#include "settings/profile_file.h"
#include "support/answering_dialogs.h"
#include "support/recording_starter.h"
#include "window_fixture.h"

namespace corvat {
namespace {

const QString kConverterMissing = QStringLiteral("HEX2BIN.COM文件丢失!");
const QString kCompanionMissing = QStringLiteral("主程序文件Halvek丢失！");
const QString kCompanionNotStarted = QStringLiteral("主程序文件Halvek无法启动！");
const char* const kTempFiles[] = {"HEX2BIN.EXE", "Hexbin.hex", "HexBIN.bin"};

// Remembers whether the window was on screen at each message box.
class WatchingDialogs : public test::AnsweringDialogs {
  public:
    void MessageBox(const QString& text, MessageIcon icon, const QString& title) override {
        m_shownAt.append(m_window != nullptr && m_window->isVisible());
        AnsweringDialogs::MessageBox(text, icon, title);
    }
    QWidget* m_window = nullptr;
    QList<bool> m_shownAt;
};

// Hands starts to another starter, remembering whether the window was on screen at each.
class WatchingStarter : public ProgramStarter {
  public:
    explicit WatchingStarter(ProgramStarter& inner) : m_inner(inner) {}
    bool Start(const QString& program, const QStringList& arguments, bool hidden) override {
        m_shownAt.append(m_window != nullptr && m_window->isVisible());
        m_exposedAt.append(m_window != nullptr && m_window->windowHandle() != nullptr &&
                           m_window->windowHandle()->isExposed());
        return m_inner.Start(program, arguments, hidden);
    }
    ProgramStarter& m_inner;
    QWidget* m_window = nullptr;
    QList<bool> m_shownAt;
    QList<bool> m_exposedAt;  // really on screen, not only asked to show
};

class StartUp : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.isValid());
        ASSERT_TRUE(m_systemDir.isValid());
        // Blanks in the folder name: the companion must still be started as one path.
        ASSERT_TRUE(QDir().mkpath(ProgramDir()));
    }

    QString ProgramDir() const { return m_root.filePath("Program Files/corvat 1"); }
    QString InProgram(const QString& name) const { return ProgramDir() + "/" + name; }
    // In the window's own conversion folder inside the private folder.
    QString InSystem(const QString& name) const { return QDir(m_window->ConversionFolder()).filePath(name); }
    QString Settings() const { return InProgram("info.ini"); }

    void WriteFile(const QString& path, const QByteArray& bytes, bool executable = false) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        if (executable) file.setPermissions(file.permissions() | QFile::ExeOwner);
    }
    static QByteArray ReadFile(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QByteArray Stored(const char* key) const {
        return ReadProfileValue(ReadFile(Settings()), "System", key, 255);
    }

    // A companion that leaves one line per start, with its argument count, in halvek.log beside it.
    void PlaceCompanion() {
        WriteFile(InProgram("Halvek.exe"),
                  "#!/bin/sh\necho \"started $#\" >> \"$(dirname \"$0\")/halvek.log\"\n", true);
    }

    void Open(ProgramStarter& starter) {
        m_watcher.emplace(starter);
        WindowEnvironment environment;
        environment.dialogs = &m_dialogs;
        environment.starter = &*m_watcher;
        environment.programDir = ProgramDir();
        environment.systemDir = m_systemDir.path();
        environment.settingsFolder = m_settingsFolder;
        m_window = std::make_unique<MainWindow>(environment);
        m_dialogs.m_window = m_window.get();
        m_watcher->m_window = m_window.get();
        m_window->Form_Load();
    }

    template <typename W>
    W* Find(const char* name) const {
        W* widget = m_window->findChild<W*>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QStringList MessageTexts() const {
        QStringList texts;
        for (const auto& message : m_dialogs.Messages()) texts << message.text;
        return texts;
    }

    QTemporaryDir m_root;
    QTemporaryDir m_systemDir;
    WatchingDialogs m_dialogs;
    test::RecordingStarter m_recorder;
    std::optional<WatchingStarter> m_watcher;
    std::unique_ptr<MainWindow> m_window;
    Result<> m_settingsFolder{};
};

struct Row {
    const char* name;
    const char* settings;  // nullptr: no settings file yet
    bool converter;
    bool companion;
    QString port;
    bool ticked;
    QStringList messages;
    int starts;
};

class StartUpRows : public StartUp, public ::testing::WithParamInterface<Row> {};

TEST_P(StartUpRows, RestoresSettingsAndActsOnThem) {
    const Row& row = GetParam();
    if (row.settings != nullptr) WriteFile(Settings(), row.settings);
    if (row.converter) WriteFile(InProgram("HEX2BIN.EXE"), "converter", true);
    if (row.companion) PlaceCompanion();
    Open(m_recorder);

    EXPECT_TRUE(m_window->isVisible());
    EXPECT_EQ(Find<QComboBox>("Combo1")->currentText(), row.port);
    EXPECT_EQ(Find<QCheckBox>("Check1")->isChecked(), row.ticked);
    EXPECT_EQ(Find<QPushButton>("Command1")->isEnabled(), !row.ticked);
    EXPECT_EQ(MessageTexts(), row.messages);
    for (const auto& message : m_dialogs.Messages()) {
        EXPECT_EQ(message.title, "Corvat");
        EXPECT_EQ(message.icon, MessageIcon::None);
    }
    EXPECT_EQ(m_recorder.StartedCount(), row.starts);
    EXPECT_EQ(m_recorder.Records().size(), row.starts) << "no start is tried for a missing companion";
    EXPECT_EQ(m_window->State().AppDir, ProgramDir() + "/");
}

INSTANTIATE_TEST_SUITE_P(
    Rows, StartUpRows,
    ::testing::Values(
        Row{"FirstRunWithoutSettings", nullptr, true, true, "", false, {}, 0},
        Row{"StyleOneCompanionPresent", "[System]\nComm=COM1\nstyle=1\n", true, true, "COM1", true, {}, 1},
        Row{"StyleOneCompanionAbsent",
            "[System]\nComm=COM1\nstyle=1\n",
            true,
            false,
            "COM1",
            true,
            {kCompanionMissing},
            0},
        Row{"StyleZero", "[System]\nComm=COM2\nstyle=0\n", true, true, "COM2", false, {}, 0},
        Row{"SavedPortInList", "[System]\nComm=COM4\n", true, false, "COM4", false, {}, 0},
        Row{"SavedPortNotInList", "[system]\ncomm=COM8\n", true, false, "COM8", false, {}, 0},
        Row{"SavedDevicePath", "[System]\nComm=/dev/ttyUSB0\n", true, false, "/dev/ttyUSB0", false, {}, 0},
        Row{"ConverterMissing", "[System]\nstyle=0\n", false, false, "", false, {kConverterMissing}, 0},
        Row{"BothMissingInStartUpOrder",
            "[System]\nstyle=1\n",
            false,
            false,
            "",
            true,
            {kConverterMissing, kCompanionMissing},
            0},
        Row{"StyleWithBlanksCounts", "[System]\nstyle= 1 \n", true, true, "", true, {}, 1},
        Row{"StyleNotANumberIsZero", "[System]\nstyle=yes\n", true, true, "", false, {}, 0},
        Row{"StyleTwoIsNotTicked", "[System]\nstyle=2\n", true, true, "", false, {}, 0},
        Row{"StyleOutOfRangeIsZero", "[System]\nstyle=65537\n", true, true, "", false, {}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StartUp, ConverterNameMustMatchExactly) {
    WriteFile(InProgram("hex2bin.exe"), "converter", true);
    Open(m_recorder);
    EXPECT_EQ(MessageTexts(), QStringList{kConverterMissing});
    EXPECT_FALSE(QFile::exists(InSystem("HEX2BIN.EXE"))) << "nothing to copy under the exact name";
}

TEST_F(StartUp, ConverterCopiedIntoAFreshFolderAndKeptExecutable) {
    WriteFile(InProgram("HEX2BIN.EXE"), "current converter", true);
    // Folders of loaders that ended without shutting down: one without its lock, one whose lock names a
    // process that is gone. Both go; anything else in the private folder stays.
    const QDir privateDir(m_systemDir.path());
    for (const char* name : {"loader-1-0", "loader-2-0"}) {
        ASSERT_TRUE(privateDir.mkdir(name));
        WriteFile(privateDir.filePath(name) + "/HEX2BIN.EXE", "stale converter from an earlier run");
    }
    WriteFile(privateDir.filePath("loader-2-0.lock"), "2147483646\n\n\n");
    WriteFile(privateDir.filePath("loader-notes.txt"), "not ours");
    Open(m_recorder);
    EXPECT_EQ(ReadFile(InSystem("HEX2BIN.EXE")), "current converter");
    EXPECT_TRUE(QFile::permissions(InSystem("HEX2BIN.EXE")) & QFile::ExeOwner);
    EXPECT_TRUE(m_dialogs.Messages().isEmpty());
    const QString own = QFileInfo(m_window->ConversionFolder()).fileName();
    EXPECT_EQ(privateDir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              (QStringList{own, own + ".lock", "loader-notes.txt"}));
    const QFile::Permissions groupAndOthers(0x00FF);
    EXPECT_FALSE(QFile::permissions(m_window->ConversionFolder()) & groupAndOthers)
        << "private, like its parent";
}

TEST_F(StartUp, RealCompanionStartedOnceAfterTheWindowShows) {
    WriteFile(Settings(), "[System]\nstyle=1\n");
    WriteFile(InProgram("HEX2BIN.EXE"), "converter", true);
    PlaceCompanion();
    DetachedProgramStarter real;
    Open(real);
    EXPECT_EQ(m_watcher->m_shownAt, QList<bool>{true});
    EXPECT_EQ(m_watcher->m_exposedAt, QList<bool>{true});
    EXPECT_FALSE(Find<QPushButton>("Command1")->isEnabled());
    const QString log = InProgram("halvek.log");
    ASSERT_TRUE(WaitUntil([&] { return ReadFile(log).endsWith('\n'); })) << "the companion never ran";
    EXPECT_EQ(ReadFile(log), "started 0\n") << "once, without arguments";
}

TEST_F(StartUp, CompanionThatCannotStartIsReported) {
    WriteFile(Settings(), "[System]\nstyle=1\n");
    WriteFile(InProgram("HEX2BIN.EXE"), "converter", true);
    WriteFile(InProgram("Halvek.exe"), "#!/bin/sh\n");  // present, but not executable
    DetachedProgramStarter real;
    Open(real);
    ASSERT_EQ(MessageTexts(), QStringList{kCompanionNotStarted});
    EXPECT_EQ(m_dialogs.Messages()[0].icon, MessageIcon::None);
    EXPECT_EQ(m_dialogs.Messages()[0].title, "Corvat");
    EXPECT_EQ(m_dialogs.m_shownAt, QList<bool>{true});
    EXPECT_FALSE(Find<QPushButton>("Command1")->isEnabled());
}

TEST_F(StartUp, MissingCompanionReportedAfterTheWindowShows) {
    WriteFile(Settings(), "[System]\nstyle=1\n");
    WriteFile(InProgram("HEX2BIN.EXE"), "converter", true);
    Open(m_recorder);
    EXPECT_EQ(MessageTexts(), QStringList{kCompanionMissing});
    EXPECT_EQ(m_dialogs.m_shownAt, QList<bool>{true});
    EXPECT_FALSE(Find<QPushButton>("Command1")->isEnabled());
}

TEST_F(StartUp, FirstRunLeavesBothKeysEmptyInANewFile) {
    WriteFile(InProgram("HEX2BIN.EXE"), "converter", true);
    Open(m_recorder);
    EXPECT_EQ(ReadFile(Settings()), "[System]\nComm=\nstyle=\n");
}

TEST_F(StartUp, ClosingRemovesTheConverterFilesAndSavesThePort) {
    WriteFile(Settings(), "; \xB4\xAE\xBF\xDA\r\n[System]\r\nComm=COM1\r\nstyle=0\r\n");
    WriteFile(InProgram("HEX2BIN.EXE"), "converter", true);
    Open(m_recorder);
    WriteFile(InSystem("Hexbin.hex"), ":00000001FF\n");
    WriteFile(InSystem("HexBIN.bin"), "flat");
    const QString folder = m_window->ConversionFolder();
    Find<QComboBox>("Combo1")->setEditText("COM6");
    m_window->close();
    for (const char* name : kTempFiles) EXPECT_FALSE(QFile::exists(folder + "/" + name)) << name;
    EXPECT_TRUE(QDir(m_systemDir.path()).isEmpty()) << "the folder and its lock went too";
    EXPECT_EQ(ReadFile(Settings()), "; \xB4\xAE\xBF\xDA\r\n[System]\r\nComm=COM6\r\nstyle=0\r\n");
    EXPECT_TRUE(m_dialogs.Messages().isEmpty());
}

TEST_F(StartUp, PortInAnotherEncodingSurvivesARunByteForByte) {
    // "串口" in GB2312: not UTF-8, so it cannot come back from a decoded text unchanged.
    const QByteArray settings = "[System]\r\nComm=\xB4\xAE\xBF\xDA\r\nstyle=0\r\n";
    WriteFile(Settings(), settings);
    WriteFile(InProgram("HEX2BIN.EXE"), "converter", true);
    Open(m_recorder);
    m_window->close();
    EXPECT_EQ(ReadFile(Settings()), settings);
}

TEST_F(StartUp, ClosingRemovesLeftoversOfInterruptedWrites) {
    WriteFile(InProgram("HEX2BIN.EXE"), "converter", true);
    Open(m_recorder);
    WriteFile(InSystem(".HexBIN.bin.a1B2c3"), "half an output");
    WriteFile(InSystem("Hexbin.hex.Zz9Yx8"), "half an input");
    m_window->close();
    EXPECT_TRUE(QDir(m_systemDir.path()).isEmpty());
}

TEST_F(StartUp, ClosingWithoutConverterFilesReportsNothing) {
    WriteFile(Settings(), "[System]\nComm=COM3\nstyle=0\n");
    Open(m_recorder);  // no converter: nothing is copied
    const qsizetype messagesBefore = m_dialogs.Messages().size();
    m_window->close();
    EXPECT_EQ(m_dialogs.Messages().size(), messagesBefore);
    EXPECT_EQ(Stored("Comm"), "COM3");
}

// A settings file that cannot be replaced (a folder stands under its name): the operator is told at close,
// and the window closes all the same.
TEST_F(StartUp, SaveThatFailsAtCloseIsReported) {
    ASSERT_TRUE(QDir().mkpath(Settings()));
    Open(m_recorder);
    const qsizetype messagesBefore = m_dialogs.Messages().size();
    m_window->close();
    EXPECT_FALSE(m_window->isVisible());
    ASSERT_EQ(m_dialogs.Messages().size(), messagesBefore + 1);
    EXPECT_TRUE(MessageTexts().back().startsWith("设置没有保存：")) << MessageTexts().back().toStdString();
    EXPECT_TRUE(MessageTexts().back().contains(Settings()));
}

// A refused settings folder is named once at start-up; nothing is read from it or written to it.
TEST_F(StartUp, RefusedSettingsFolderIsNamedAndLeftAlone) {
    WriteFile(Settings(), "[System]\nComm=COM3\n");
    m_settingsFolder = Fail(FailureCode::kUnsafe, "设置文件夹属于其他用户");
    Open(m_recorder);
    EXPECT_TRUE(MessageTexts().contains("设置文件夹属于其他用户"));
    EXPECT_EQ(Find<QComboBox>("Combo1")->currentText(), "");
    const qsizetype messagesBefore = m_dialogs.Messages().size();
    Find<QComboBox>("Combo1")->setEditText("COM5");
    m_window->close();
    EXPECT_EQ(m_dialogs.Messages().size(), messagesBefore);
    EXPECT_EQ(ReadFile(Settings()), "[System]\nComm=COM3\n");
}

TEST_F(StartUp, ShutDownRunsOnce) {
    WriteFile(InProgram("HEX2BIN.EXE"), "converter", true);
    Open(m_recorder);
    Find<QComboBox>("Combo1")->setEditText("COM2");
    m_window->Form_Unload();
    Find<QComboBox>("Combo1")->setEditText("COM5");
    m_window->close();
    EXPECT_EQ(Stored("Comm"), "COM2");
}

TEST_F(StartUp, PortTypedInOneRunIsThereInTheNext) {
    WriteFile(InProgram("HEX2BIN.EXE"), "converter", true);
    Open(m_recorder);
    Find<QComboBox>("Combo1")->setEditText("COM8");
    m_window->close();
    m_window.reset();
    Open(m_recorder);
    EXPECT_EQ(Find<QComboBox>("Combo1")->currentText(), "COM8");
}

// "style" other than 0 and 1 once meant a greyed box, and setting it ran the Click's unticked branch.
struct StyleRow {
    const char* name;
    const char* stored;
    const char* rewritten;
    bool ticked;
};

class StyleRows : public StartUp, public ::testing::WithParamInterface<StyleRow> {};

TEST_P(StyleRows, ClickRewritesTheStoredChoice) {
    WriteFile(Settings(), QByteArray("[System]\nstyle=") + GetParam().stored + "\n");
    WriteFile(InProgram("HEX2BIN.EXE"), "converter", true);
    PlaceCompanion();
    Open(m_recorder);
    EXPECT_EQ(Stored("style"), GetParam().rewritten);
    EXPECT_EQ(Find<QCheckBox>("Check1")->isChecked(), GetParam().ticked);
    EXPECT_EQ(Find<QPushButton>("Command1")->isEnabled(), !GetParam().ticked);
}

INSTANTIATE_TEST_SUITE_P(Rows, StyleRows,
                         ::testing::Values(StyleRow{"Two", "2", "0", false},
                                           StyleRow{"MinusOne", "-1", "0", false},
                                           StyleRow{"OneAsFraction", "1.0", "1", true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvat
