#include <gtest/gtest.h>

#include <QComboBox>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>

#include "app/main_window.h"
#include "app/window_look.h"
#include "window_fixture.h"

namespace corvat {
namespace {

TEST_F(MainWindowTest, WindowIsFixedAtItsDesignedClientSize) {
    EXPECT_EQ(m_window->windowTitle(), QStringLiteral("Corvat - Program Loader"));
    EXPECT_EQ(m_window->size(), QSize(507, 508));
    EXPECT_EQ(m_window->minimumSize(), m_window->maximumSize());
    const Qt::WindowFlags flags = m_window->windowFlags();
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(m_window->windowIcon().isNull());
}

struct TextRow {
    const char* name;
    const char* control;
    QString text;
};

class InitialTextTest : public MainWindowTest, public ::testing::WithParamInterface<TextRow> {};

TEST_P(InitialTextTest, ControlOpensWithItsDesignedText) {
    const TextRow& row = GetParam();
    EXPECT_EQ(TextOf(Find(row.control)), row.text);
}

INSTANTIATE_TEST_SUITE_P(
    Controls, InitialTextTest,
    ::testing::Values(TextRow{"Decoration", "Label5",
                              "1001001101011010101010101010100101010011111010011010010111010101010101"},
                      TextRow{"PathEmpty", "txtFile", ""}, TextRow{"LoadButton", "cmdFlashFile", "程序加载"},
                      TextRow{"Port", "Combo1", "COM1"}, TextRow{"Companion", "Check1", "Halvek"},
                      TextRow{"Connect", "cmdstar", "联 机"}, TextRow{"Release", "cmdExit", "释 放"},
                      TextRow{"Download", "cmdWrite", "下 载"}, TextRow{"ProgressEmpty", "Text1", ""},
                      TextRow{"Panel", "Label14", "Label14"}, TextRow{"TargetLine", "lblChip", "从机状况："},
                      TextRow{"StatusLine", "lblMsg", "信息...."}, TextRow{"PreviewEmpty", "Text3", ""},
                      TextRow{"AttemptCounter", "Text2", "Text2"}, TextRow{"Heading", "Label6", "说明："},
                      TextRow{"Step1", "Label7", "1:程序加载"}, TextRow{"Step2", "Label8", "2:选则串口"},
                      TextRow{"Step3", "Label9", "3:联接从机"}, TextRow{"Step4", "Label10", "4:从机上电"},
                      TextRow{"Step5", "Label11", "5:联接成功"}, TextRow{"Step6", "Label12", "6:下载程序"},
                      TextRow{"Step7", "Label13", "7:释放从机"}, TextRow{"CompanionNow", "Command1", ""},
                      TextRow{"BrandChinese", "Label2", "Quoratel"},
                      TextRow{"BrandLatin", "Label1", "Quoratel"},
                      TextRow{"WebAddress", "Label3", "http://www.quoratel.com"},
                      TextRow{"Email", "Label4", "Email:support@quoratel.com"}),
    [](const auto& info) { return std::string(info.param.name); });

struct StateRow {
    const char* control;
    bool enabled;
};

class InitialEnabledTest : public MainWindowTest, public ::testing::WithParamInterface<StateRow> {};

TEST_P(InitialEnabledTest, OnlyTheFirstStepsRespondAtFirst) {
    EXPECT_EQ(Find(GetParam().control)->isEnabled(), GetParam().enabled);
}

INSTANTIATE_TEST_SUITE_P(Controls, InitialEnabledTest,
                         ::testing::Values(StateRow{"cmdFlashFile", true}, StateRow{"Combo1", true},
                                           StateRow{"cmdstar", false}, StateRow{"cmdWrite", false},
                                           StateRow{"cmdExit", false}, StateRow{"Command1", true},
                                           StateRow{"Check1", true}, StateRow{"VScroll1", false}),
                         [](const auto& info) { return std::string(info.param.control); });

struct GeometryRow {
    const char* control;
    QRect pixels;
};

class GeometryTest : public MainWindowTest, public ::testing::WithParamInterface<GeometryRow> {};

TEST_P(GeometryTest, TwipsBecomeWholePixels) {
    EXPECT_EQ(Find(GetParam().control)->geometry(), GetParam().pixels);
}

INSTANTIATE_TEST_SUITE_P(Controls, GeometryTest,
                         ::testing::Values(GeometryRow{"cmdFlashFile", QRect(416, 24, 73, 25)},
                                           GeometryRow{"Text3", QRect(16, 160, 369, 289)},
                                           GeometryRow{"Label5", QRect(8, 0, 489, 17)},
                                           // 6280 and 4660 twips lie between pixels: the nearest is taken.
                                           GeometryRow{"Picture1", QRect(419, 128, 52, 52)},
                                           GeometryRow{"Label3", QRect(296, 464, 161, 17)},
                                           GeometryRow{"Command1", QRect(400, 368, 89, 10)},
                                           GeometryRow{"Line1", QRect(296, 478, 160, 5)}),
                         [](const auto& info) { return std::string(info.param.control); });

struct FontRow {
    const char* control;
    double points;
    int weight;
    Face face;
};

class FontTest : public MainWindowTest, public ::testing::WithParamInterface<FontRow> {};

TEST_P(FontTest, ControlShowsItsDesignedFont) {
    const FontRow& row = GetParam();
    const QFont font = Find(row.control)->font();
    EXPECT_DOUBLE_EQ(font.pointSizeF(), row.points);
    EXPECT_EQ(font.weight(), row.weight);
    if (row.face != Face::System) {
        EXPECT_EQ(font.families(), FaceFamilies(row.face));
        // One of the fallbacks must really be there, or Chinese would show as boxes.
        EXPECT_TRUE(FaceFamilies(row.face).contains(QFontInfo(font).family()))
            << QFontInfo(font).family().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Controls, FontTest,
                         ::testing::Values(FontRow{"lblMsg", 10.5, QFont::Bold, Face::Song},
                                           FontRow{"cmdstar", 9.0, QFont::Normal, Face::Song},
                                           FontRow{"Check1", 7.5, QFont::Bold, Face::Song},
                                           FontRow{"Label2", 18.0, QFont::Bold, Face::Hei},
                                           FontRow{"Label1", 14.25, QFont::Black, Face::ArialBlack},
                                           FontRow{"Text2", 9.75, QFont::Bold, Face::System},
                                           // No font of its own: the window's 7.5 point Song face.
                                           FontRow{"Label14", 7.5, QFont::Normal, Face::Song}),
                         [](const auto& info) { return std::string(info.param.control); });

struct ColourRow {
    const char* name;
    const char* control;
    QPalette::ColorRole role;
    QColor colour;
};

class ColourTest : public MainWindowTest, public ::testing::WithParamInterface<ColourRow> {};

TEST_P(ColourTest, ControlPaintsItsDesignedColour) {
    const ColourRow& row = GetParam();
    EXPECT_EQ(Find(row.control)->palette().color(row.role), row.colour);
}

INSTANTIATE_TEST_SUITE_P(
    Controls, ColourTest,
    ::testing::Values(ColourRow{"StatusRed", "lblMsg", QPalette::WindowText, QColor(255, 0, 0)},
                      ColourRow{"StatusOnBlack", "lblMsg", QPalette::Window, QColor(0, 0, 0)},
                      ColourRow{"TargetBlue", "lblChip", QPalette::WindowText, QColor(0, 0, 255)},
                      ColourRow{"PanelBlack", "Label14", QPalette::Window, QColor(0, 0, 0)},
                      ColourRow{"ProgressCaptionBlue", "Text1", QPalette::Text, QColor(153, 180, 209)},
                      ColourRow{"ProgressLavender", "Text1", QPalette::Base, QColor(192, 192, 255)},
                      ColourRow{"PreviewOnFrameGrey", "Text3", QPalette::Base, QColor(100, 100, 100)},
                      ColourRow{"PreviewInEditBackground", "Text3", QPalette::Text,
                                QGuiApplication::palette().color(QPalette::Base)},
                      ColourRow{"CompanionHighlight", "Check1", QPalette::WindowText,
                                QGuiApplication::palette().color(QPalette::Highlight)},
                      ColourRow{"LineHighlight", "Line1", QPalette::Window,
                                QGuiApplication::palette().color(QPalette::Highlight)},
                      ColourRow{"WebMaroon", "Label3", QPalette::WindowText, QColor(128, 0, 0)},
                      ColourRow{"BrandNavy", "Label2", QPalette::WindowText, QColor(0, 0, 128)}),
    [](const auto& info) { return std::string(info.param.name); });

// Where the substitute fonts run wider than the design's, a caption grows to the right rather than being cut.
TEST_F(MainWindowTest, NoCaptionIsCutShort) {
    QList<QWidget*> captioned;
    for (QLabel* label : m_window->findChildren<QLabel*>()) captioned << label;
    captioned << Find("Check1");
    for (QWidget* widget : captioned) {
        EXPECT_GE(widget->width(), widget->sizeHint().width()) << widget->objectName().toStdString();
    }
    const QRect email = Find("Label4")->geometry();
    EXPECT_EQ(email.topLeft(), QPoint(311, 484));
    EXPECT_LE(email.right(), m_window->width());
}

TEST_F(MainWindowTest, DarkPanelLiesBehindBothLinesAndIsPaintedOpaque) {
    ShowActive();
    for (const char* name : {"Label14", "lblChip", "lblMsg", "Label5"}) {
        EXPECT_TRUE(Find(name)->autoFillBackground()) << name;
    }
    for (const char* name : {"lblChip", "lblMsg"}) {
        const QWidget* line = Find(name);
        EXPECT_EQ(m_window->childAt(line->geometry().center()), line) << name;
    }
    const QWidget* panel = Find("Label14");
    EXPECT_EQ(m_window->childAt(panel->geometry().topLeft() + QPoint(2, 2)), panel);
}

TEST_F(MainWindowTest, PortListHoldsSixNamesAndATypedPortIsKeptWithoutJoiningIt) {
    ShowActive();
    auto* combo = Find<QComboBox>("Combo1");
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
    EXPECT_EQ(items, (QStringList{"COM1", "COM2", "COM3", "COM4", "COM5", "COM6"}));

    combo->setFocus();
    combo->lineEdit()->selectAll();
    QTest::keyClicks(combo->lineEdit(), QStringLiteral("COM8"));
    QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(combo->currentText(), QStringLiteral("COM8"));
    EXPECT_EQ(m_window->PortText(), QStringLiteral("COM8"));
    EXPECT_EQ(combo->count(), 6);
}

TEST_F(MainWindowTest, StatusLineKeepsNothingOfALongerEarlierText) {
    m_window->ShowMessage(QStringLiteral("文件已读入！长度：15360"));
    m_window->ShowMessage(QStringLiteral("联接"));
    EXPECT_EQ(Find<QLabel>("lblMsg")->text(), QStringLiteral("联接"));
}

TEST_F(MainWindowTest, AttemptCounterIsWrittenButNeverShown) {
    m_window->SetAttemptCounter(QStringLiteral("6"));
    ShowActive();
    m_window->SetAttemptCounter(QStringLiteral("1"));
    auto* counter = Find<QLineEdit>("Text2");
    EXPECT_EQ(counter->text(), QStringLiteral("1"));
    EXPECT_FALSE(counter->isVisible());
    EXPECT_NE(m_window->childAt(Find("Label6")->geometry().center()), counter);
}

struct EnableRow {
    const char* name;
    Control control;
    const char* widget;
};

class SetEnabledTest : public MainWindowTest, public ::testing::WithParamInterface<EnableRow> {};

TEST_P(SetEnabledTest, ViewSwitchesExactlyTheNamedControl) {
    const EnableRow& row = GetParam();
    const QStringList others{"cmdFlashFile", "Combo1", "cmdstar", "cmdWrite", "cmdExit", "Command1"};
    QMap<QString, bool> before;
    for (const QString& name : others) before[name] = Find(name.toLatin1().constData())->isEnabled();

    for (bool enabled : {true, false, true}) {
        m_window->SetEnabled(row.control, enabled);
        EXPECT_EQ(Find(row.widget)->isEnabled(), enabled);
    }
    for (const QString& name : others) {
        if (name == QLatin1String(row.widget)) continue;
        EXPECT_EQ(Find(name.toLatin1().constData())->isEnabled(), before[name]) << name.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Controls, SetEnabledTest,
                         ::testing::Values(EnableRow{"Load", Control::cmdFlashFile, "cmdFlashFile"},
                                           EnableRow{"Port", Control::Combo1, "Combo1"},
                                           EnableRow{"Connect", Control::cmdstar, "cmdstar"},
                                           EnableRow{"Download", Control::cmdWrite, "cmdWrite"},
                                           EnableRow{"Release", Control::cmdExit, "cmdExit"},
                                           EnableRow{"CompanionNow", Control::Command1, "Command1"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainWindowTest, MessageBoxesCarryTheirIconAndTitle) {
    m_window->ShowError(QStringLiteral("端口打开失败"));
    m_window->ShowPrompt(QStringLiteral("请选择源文件路径！"));
    m_window->Beep();
    using Message = test::AnsweringDialogs::Message;
    EXPECT_EQ(m_dialogs.Messages(),
              (QList<Message>{
                  {QStringLiteral("端口打开失败"), MessageIcon::None, QStringLiteral("Corvat")},
                  {QStringLiteral("请选择源文件路径！"), MessageIcon::Information, QStringLiteral("提示")}}));
    EXPECT_EQ(m_dialogs.Beeps(), 1);
}

}  // namespace
}  // namespace corvat
