#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "app/link_label.h"
#include "app/main_window.h"
#include "settings/profile_file.h"
#include "window_fixture.h"

namespace corvat {
namespace {

TEST_F(MainWindowTest, FocusStartsOnTheLoadButton) {
    ShowActive();
    EXPECT_TRUE(WaitUntil([&] { return FocusName() == QLatin1String("cmdFlashFile"); }))
        << FocusName().toStdString();
}

struct TabRow {
    const char* name;
    QList<Control> enabled;  // workflow controls switched on before tabbing; the rest are off
    QStringList cycle;       // focus from Text1 around the window and back
};

class TabOrderTest : public MainWindowTest, public ::testing::WithParamInterface<TabRow> {};

TEST_P(TabOrderTest, TabFollowsTheDesignSkippingDisabledControls) {
    const TabRow& row = GetParam();
    for (Control control : {Control::cmdFlashFile, Control::Combo1, Control::cmdstar, Control::cmdWrite,
                            Control::cmdExit, Control::Command1}) {
        m_window->SetEnabled(control, row.enabled.contains(control));
    }
    ShowActive();
    Find("Text1")->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(WaitUntil([&] { return FocusName() == QLatin1String("Text1"); }));

    QStringList visited;
    for (qsizetype i = 0; i < row.cycle.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << FocusName();
    }
    EXPECT_EQ(visited, row.cycle);
}

const QStringList kFixedTail{"Text3", "txtFile", "Picture1"};

INSTANTIATE_TEST_SUITE_P(
    States, TabOrderTest,
    ::testing::Values(
        // Idle, no image: load, port, then straight on to the progress bar.
        TabRow{"Idle",
               {Control::cmdFlashFile, Control::Combo1, Control::Command1},
               kFixedTail + QStringList{"Command1", "Check1", "Label3", "cmdFlashFile", "Combo1", "Text1"}},
        TabRow{"ImageLoaded",
               {Control::cmdFlashFile, Control::Combo1, Control::cmdstar, Control::Command1},
               kFixedTail +
                   QStringList{"Command1", "Check1", "Label3", "cmdFlashFile", "Combo1", "cmdstar", "Text1"}},
        // Identified, companion ticked: only download and release are left in the workflow.
        TabRow{"Identified",
               {Control::cmdWrite, Control::cmdExit},
               kFixedTail + QStringList{"Check1", "Label3", "cmdWrite", "cmdExit", "Text1"}},
        TabRow{"Downloading", {}, kFixedTail + QStringList{"Check1", "Label3", "Text1"}},
        TabRow{"AllOn",
               {Control::cmdFlashFile, Control::Combo1, Control::cmdstar, Control::cmdWrite, Control::cmdExit,
                Control::Command1},
               kFixedTail + QStringList{"Command1", "Check1", "Label3", "cmdFlashFile", "Combo1", "cmdstar",
                                        "cmdWrite", "cmdExit", "Text1"}}),
    [](const auto& info) { return std::string(info.param.name); });

struct KeyRow {
    const char* name;
    Qt::Key key;
};

class ButtonKeyTest : public MainWindowTest, public ::testing::WithParamInterface<KeyRow> {};

// The handler behind it answers a cancelled dialog with a prompt; what matters here is that the key clicks.
TEST_P(ButtonKeyTest, FocusedButtonIsPressedFromTheKeyboard) {
    ShowActive();
    auto* button = Find<QPushButton>("cmdFlashFile");
    QSignalSpy clicks(button, &QPushButton::clicked);
    button->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(WaitUntil([&] { return button->hasFocus(); }));
    QTest::keyClick(button, GetParam().key);
    EXPECT_TRUE(WaitUntil([&] { return clicks.count() == 1; }));
    EXPECT_EQ(m_dialogs.FileRequests().size(), 1);
}

INSTANTIATE_TEST_SUITE_P(Keys, ButtonKeyTest,
                         ::testing::Values(KeyRow{"Space", Qt::Key_Space}, KeyRow{"Return", Qt::Key_Return},
                                           KeyRow{"Enter", Qt::Key_Enter}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainWindowTest, WebAddressOpensByMouseAndByKeyboard) {
    ShowActive();
    auto* link = Find<LinkLabel>("Label3");
    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
    QSignalSpy clicks(link, &LinkLabel::Clicked);

    QTest::mouseClick(link, Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 1);

    link->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(WaitUntil([&] { return link->hasFocus(); }));
    QTest::keyClick(link, Qt::Key_Space);
    EXPECT_EQ(clicks.count(), 2);

    // A press that ends outside the label is a change of mind, not a click.
    QTest::mousePress(link, Qt::LeftButton);
    QTest::mouseRelease(link, Qt::LeftButton, {}, QPoint(-5, -5));
    EXPECT_EQ(clicks.count(), 2);
}

// A value set by the program must act as the operator's click does, both ways.
TEST_F(MainWindowTest, CompanionTickFromCodeRunsItsHandler) {
    auto* check = Find<QCheckBox>("Check1");
    auto* now = Find("Command1");
    check->setChecked(true);
    EXPECT_FALSE(now->isEnabled());
    check->setChecked(false);
    EXPECT_TRUE(now->isEnabled());
}

// What the operator types into the port box stays as typed, whatever the list holds, whether the box is
// left by Tab or by Enter then Tab; shut-down saves that text. Picking from the list still works.
TEST_F(MainWindowTest, TypedPortStaysExactlyAsTyped) {
    ShowActive();
    auto* combo = Find<QComboBox>("Combo1");
    const QString settings = m_programDir.filePath(QStringLiteral("info.ini"));
    for (const char* typed : {"COM", "com1", "Com2", "COM8", "c"}) {
        for (const bool enter : {false, true}) {
            SCOPED_TRACE(std::string(typed) + (enter ? " Enter" : ""));
            combo->setFocus(Qt::TabFocusReason);
            ASSERT_TRUE(WaitUntil([&] { return combo->hasFocus(); }));
            combo->lineEdit()->selectAll();
            QTest::keyClick(combo, Qt::Key_Delete);
            QTest::keyClicks(combo, QString::fromLatin1(typed));
            if (enter) QTest::keyClick(combo, Qt::Key_Return);
            QTest::keyClick(combo, Qt::Key_Tab);
            ASSERT_TRUE(WaitUntil([&] { return !combo->hasFocus(); }));
            EXPECT_EQ(m_window->PortText(), QString::fromLatin1(typed));
            EXPECT_EQ(combo->count(), 6) << "nothing typed joins the list";
        }
    }
    combo->setFocus(Qt::TabFocusReason);
    // Typing never moved the row, which is still the first.
    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_EQ(m_window->PortText(), QStringLiteral("COM2"));
    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_EQ(m_window->PortText(), QStringLiteral("COM3"));
    combo->setEditText(QStringLiteral("com1"));
    m_window->close();
    QFile file(settings);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(ReadProfileValue(file.readAll(), "System", "Comm", 255), "com1");
}

}  // namespace
}  // namespace corvat
