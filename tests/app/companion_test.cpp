// The companion program's button and check box, and the web link, on the real window.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>

#include "app/main_window.h"
#include "settings/profile_file.h"
#include "support/answering_dialogs.h"
#include "support/recording_starter.h"
#include "window_fixture.h"

namespace corvat {
namespace {

// One run of the loader over its own program folder (with blanks in its name) and system folder.
class Session {
  public:
    // starter: the recording one when none is given.
    explicit Session(const QByteArray& settings, ProgramStarter* starter = nullptr) {
        EXPECT_TRUE(m_root.isValid() && m_systemDir.isValid());
        EXPECT_TRUE(QDir().mkpath(ProgramDir()));
        Write(Settings(), settings);
        Write(ProgramDir() + "/HEX2BIN.EXE", "converter");
        WindowEnvironment environment;
        environment.dialogs = &m_dialogs;
        environment.starter = starter != nullptr ? starter : &m_starter;
        environment.programDir = ProgramDir();
        environment.systemDir = m_systemDir.path();
        m_window = std::make_unique<MainWindow>(environment);
        Check1 = m_window->findChild<QCheckBox*>("Check1");
        Command1 = m_window->findChild<QPushButton*>("Command1");
        Label3 = m_window->findChild<QLabel*>("Label3");
        EXPECT_TRUE(Check1 != nullptr && Command1 != nullptr && Label3 != nullptr);
    }

    QString ProgramDir() const { return m_root.filePath("Program Files/corvat 1"); }
    QString Companion() const { return ProgramDir() + "/Halvek.exe"; }
    QString Settings() const { return ProgramDir() + "/info.ini"; }
    QByteArray SettingsBytes() const {
        QFile file(Settings());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QByteArray Style() const { return ReadProfileValue(SettingsBytes(), "System", "style", 255); }

    static void Write(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
        file.write(bytes);
    }
    void PlaceCompanion() { Write(Companion(), "#!/bin/sh\n"); }
    void RemoveCompanion() { QFile::remove(Companion()); }

    QTemporaryDir m_root;
    QTemporaryDir m_systemDir;
    test::AnsweringDialogs m_dialogs;
    test::RecordingStarter m_starter;
    std::unique_ptr<MainWindow> m_window;
    QCheckBox* Check1 = nullptr;
    QPushButton* Command1 = nullptr;
    QLabel* Label3 = nullptr;
};

// What the operator can do, and what the loader is expected to make of it.
enum class Action { ClickCheck1, ClickCommand1, CompanionGone, CompanionBack };
constexpr Action kActions[] = {Action::ClickCheck1, Action::ClickCommand1, Action::CompanionGone,
                               Action::CompanionBack};

struct Expected {
    bool ticked = false;
    bool companionPresent = true;
    qsizetype starts = 0;
};

void Apply(Session& session, Action action, Expected& expected) {
    switch (action) {
        case Action::ClickCheck1:
            QTest::mouseClick(session.Check1, Qt::LeftButton);
            expected.ticked = !expected.ticked;
            break;
        case Action::ClickCommand1:
            // A disabled button takes no click; an enabled one starts the companion when it is there.
            if (!expected.ticked && expected.companionPresent) {
                expected.ticked = true;
                ++expected.starts;
            }
            QTest::mouseClick(session.Command1, Qt::LeftButton);
            break;
        case Action::CompanionGone:
            session.RemoveCompanion();
            expected.companionPresent = false;
            break;
        case Action::CompanionBack:
            session.PlaceCompanion();
            expected.companionPresent = true;
            break;
    }
}

std::string Describe(bool startTicked, const std::vector<Action>& actions) {
    static const char* const names[] = {"Check1", "Command1", "gone", "back"};
    std::string text = startTicked ? "style=1:" : "style=0:";
    for (Action action : actions) text += std::string(" ") + names[static_cast<int>(action)];
    return text;
}

// Every sequence of three actions (enough to take each action from each reachable state), from either stored
// choice: the button is enabled exactly while the box is not ticked, the file always holds the box's value,
// and only a click on an enabled button starts.
TEST(CompanionSequences, ButtonEnabledExactlyWhileBoxNotTicked) {
    constexpr int kLength = 3;
    constexpr int kCount = 4 * 4 * 4;
    for (bool startTicked : {false, true}) {
        for (int code = 0; code < kCount; ++code) {
            std::vector<Action> actions;
            for (int i = 0, rest = code; i < kLength; ++i, rest /= 4) actions.push_back(kActions[rest % 4]);
            Session session(startTicked ? "[System]\nstyle=1\n" : "[System]\nstyle=0\n");
            session.PlaceCompanion();
            session.m_window->Form_Load();
            Expected expected{startTicked, true, startTicked ? 1 : 0};
            for (std::size_t step = 0; step <= actions.size(); ++step) {
                if (step > 0) Apply(session, actions[step - 1], expected);
                const std::string where = Describe(startTicked, actions) + " after " + std::to_string(step);
                ASSERT_EQ(session.Check1->isChecked(), expected.ticked) << where;
                ASSERT_EQ(session.Command1->isEnabled(), !session.Check1->isChecked()) << where;
                ASSERT_EQ(session.Style(), expected.ticked ? "1" : "0") << where;
                ASSERT_EQ(session.m_starter.StartedCount(), expected.starts) << where;
                ASSERT_TRUE(session.m_dialogs.Messages().isEmpty()) << where;
            }
        }
    }
}

TEST(Command1, StartsTheCompanionByItsPathAndTicksTheBox) {
    Session session("[System]\nComm=COM1\nstyle=0\n");
    session.PlaceCompanion();
    session.m_window->Form_Load();
    QTest::mouseClick(session.Command1, Qt::LeftButton);
    ASSERT_EQ(session.m_starter.Records().size(), 1);
    const auto& start = session.m_starter.Records().front();
    EXPECT_EQ(start.program, session.Companion()) << "one path, blanks and all, no quotes";
    EXPECT_TRUE(start.arguments.isEmpty());
    EXPECT_FALSE(start.hidden);
    EXPECT_FALSE(session.Command1->isEnabled());
    EXPECT_TRUE(session.Check1->isChecked());
    EXPECT_EQ(session.SettingsBytes(), "[System]\nComm=COM1\nstyle=1\n");
}

TEST(Command1, RealStartRunsTheCompanionFromAFolderWithBlanks) {
    DetachedProgramStarter real;
    Session session("[System]\nstyle=0\n", &real);
    // Leaves one line per start, with its argument count, beside itself.
    session.Write(session.Companion(),
                  "#!/bin/sh\necho \"started $#\" >> \"$(dirname \"$0\")/halvek.log\"\n");
    ASSERT_TRUE(QFile::setPermissions(session.Companion(),
                                      QFile::permissions(session.Companion()) | QFile::ExeOwner));
    session.m_window->Form_Load();
    QTest::mouseClick(session.Command1, Qt::LeftButton);
    EXPECT_FALSE(session.Command1->isEnabled());
    EXPECT_TRUE(session.Check1->isChecked());
    EXPECT_EQ(session.Style(), "1");
    const auto log = [&] {
        QFile file(session.ProgramDir() + "/halvek.log");
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    ASSERT_TRUE(WaitUntil([&] { return log().endsWith('\n'); })) << "the companion never ran";
    EXPECT_EQ(log(), "started 0\n") << "once, by its path, without arguments";
    EXPECT_TRUE(session.m_dialogs.Messages().isEmpty());
}

TEST(Command1, MissingCompanionChangesNothingAndWritesNothing) {
    Session session("[System]\r\nComm=COM3\r\nstyle=0\r\n");
    session.m_window->Form_Load();
    const QByteArray before = session.SettingsBytes();
    QTest::mouseClick(session.Command1, Qt::LeftButton);
    EXPECT_EQ(session.m_starter.Records().size(), 1) << "the start is tried";
    EXPECT_EQ(session.m_starter.StartedCount(), 0);
    EXPECT_TRUE(session.Command1->isEnabled());
    EXPECT_FALSE(session.Check1->isChecked());
    EXPECT_EQ(session.SettingsBytes(), before);
    EXPECT_TRUE(session.m_dialogs.Messages().isEmpty());
}

TEST(Check1, TickAndClearRecordTheChoiceAndStartNothing) {
    Session session("[System]\nstyle=0\n");
    session.PlaceCompanion();
    session.m_window->Form_Load();
    session.Check1->setChecked(true);  // set by code: the handler runs as for a click
    EXPECT_EQ(session.Style(), "1");
    EXPECT_FALSE(session.Command1->isEnabled());
    session.Check1->setChecked(false);
    EXPECT_EQ(session.Style(), "0");
    EXPECT_TRUE(session.Command1->isEnabled());
    EXPECT_TRUE(session.m_starter.Records().isEmpty());
}

TEST(Check1, UnwritableSettingsStillSwitchTheButton) {
    Session session("");
    QFile::remove(session.Settings());
    ASSERT_TRUE(QDir().mkdir(session.Settings()));  // a folder where the file should be: every write fails
    session.m_window->Form_Load();
    QTest::mouseClick(session.Check1, Qt::LeftButton);
    EXPECT_TRUE(session.Check1->isChecked());
    EXPECT_FALSE(session.Command1->isEnabled());
    EXPECT_TRUE(session.m_dialogs.Messages().isEmpty() ||
                session.m_dialogs.Messages().front().text == QStringLiteral("HEX2BIN.COM文件丢失!"));
}

struct LinkRow {
    const char* name;
    bool opens;
};

class Label3Click : public ::testing::TestWithParam<LinkRow> {};

TEST_P(Label3Click, OpensTheWebPageEveryTimeSilently) {
    Session session("[System]\nstyle=0\n");
    session.m_window->Form_Load();
    session.m_starter.ForceOutcome(GetParam().opens);
    const QByteArray before = session.SettingsBytes();
    QTest::mouseClick(session.Label3, Qt::LeftButton);
    QTest::mouseClick(session.Label3, Qt::LeftButton);
    ASSERT_EQ(session.m_starter.Records().size(), 2) << "no guard against opening it again";
    for (const auto& start : session.m_starter.Records()) {
        EXPECT_EQ(start.program, "xdg-open");
        EXPECT_EQ(start.arguments, QStringList{"http://www.quoratel.com"});
        EXPECT_FALSE(start.hidden);
    }
    EXPECT_TRUE(session.m_dialogs.Messages().isEmpty());
    EXPECT_TRUE(session.Command1->isEnabled());
    EXPECT_FALSE(session.Check1->isChecked());
    EXPECT_EQ(session.SettingsBytes(), before);
}

INSTANTIATE_TEST_SUITE_P(Rows, Label3Click,
                         ::testing::Values(LinkRow{"Opened", true}, LinkRow{"OpenerMissing", false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvat
