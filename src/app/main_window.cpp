#include "app/main_window.h"
#include "app/maker.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <algorithm>
#include <initializer_list>

#include "app/link_label.h"
#include "app/logo.h"
#include "app/window_look.h"
#include "serial/qserial_link.h"
#include "serial/tracing_link.h"

namespace corvat {

namespace {

const QString kWindowTitle = QStringLiteral("Corvat - Program Loader");
const QString kErrorTitle = QStringLiteral("Corvat");
const QString kPromptTitle = QStringLiteral("提示");
constexpr int kClientWidthTwips = 7605;
constexpr int kClientHeightTwips = 7620;
const QStringList kPortNames{"COM1", "COM2", "COM3", "COM4", "COM5", "COM6"};

// The step texts of the instruction labels Label7..Label13, spelled as the operator knows them.
const QStringList kStepTexts{"1:程序加载", "2:选则串口", "3:联接从机", "4:从机上电",
                             "5:联接成功", "6:下载程序", "7:释放从机"};

// Names the widget after its design name and dresses it as designed.
template <typename W>
W* Dress(W* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    ApplyLook(widget);
    return widget;
}

// Windows labels draw their caption from the top-left corner; Qt centres vertically unless told.
QLabel* MakeLabel(QWidget* parent, const QString& text, const char* name) {
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return Dress(label, name);
}

QPushButton* MakeButton(QWidget* parent, const QString& text, const char* name, bool enabled) {
    auto* button = new QPushButton(text, parent);
    // Enter presses the focused button, as a keyboard user expects, not only Space.
    button->setAutoDefault(true);
    button->setEnabled(enabled);
    return Dress(button, name);
}

QLineEdit* MakeReadOnlyLine(QWidget* parent, const QString& text, const char* name) {
    auto* line = new QLineEdit(text, parent);
    line->setReadOnly(true);
    return Dress(line, name);
}

// The substitute fonts and Qt's wider check indicator would cut these captions short; a caption cut
// short tells the operator less than the design did, so the control grows to the right instead.
void WidenToFit(QWidget* widget) {
    widget->resize(std::max(widget->width(), widget->sizeHint().width()), widget->height());
}

void ChainTabOrder(std::initializer_list<QWidget*> chain) {
    QWidget* previous = nullptr;
    for (QWidget* widget : chain) {
        if (previous != nullptr) QWidget::setTabOrder(previous, widget);
        previous = widget;
    }
}

}  // namespace

MainWindow::MainWindow(const WindowEnvironment& environment, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      m_environment(environment) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(kWindowTitle);
    setWindowIcon(QIcon(WindowIconPixmap()));
    setFont(MakeFont(WindowFontLook()));
    setFixedSize(TwipsToPixels(kClientWidthTwips), TwipsToPixels(kClientHeightTwips));
    CreateControls();
    m_link = std::make_unique<QSerialLink>();
    if (m_environment.trace) m_link = std::make_unique<TracingLink>(std::move(m_link), m_environment.trace);
    m_loader = std::make_unique<Loader>(m_state, *m_link, *this);
    ConnectHandlers();
}

MainWindow::~MainWindow() = default;

void MainWindow::CreateControls() {
    Label5 = MakeLabel(
        this, QStringLiteral("1001001101011010101010101010100101010011111010011010010111010101010101"),
        "Label5");
    txtFile = MakeReadOnlyLine(this, QString(), "txtFile");
    txtFile->setAccessibleDescription(QStringLiteral("程序文件路径"));
    cmdFlashFile = MakeButton(this, QStringLiteral("程序加载"), "cmdFlashFile", true);

    Combo1 = new QComboBox(this);
    Combo1->setEditable(true);
    // A typed port that is not in the list is used as it stands, but the list keeps its six names.
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    // The text is the operator's, letter for letter: no completion that turns "COM" into "COM1" or "com1"
    // into "COM1" behind their back.
    Combo1->setCompleter(nullptr);
    Combo1->addItems(kPortNames);
    Combo1->setEditText(kPortNames.front());
    Combo1->setAccessibleDescription(QStringLiteral("串口"));
    Dress(Combo1, "Combo1");

    Check1 = Dress(new QCheckBox(QStringLiteral("Halvek"), this), "Check1");
    cmdstar = MakeButton(this, QStringLiteral("联 机"), "cmdstar", false);
    cmdExit = MakeButton(this, QStringLiteral("释 放"), "cmdExit", false);
    cmdWrite = MakeButton(this, QStringLiteral("下 载"), "cmdWrite", false);
    Text1 = MakeReadOnlyLine(this, QString(), "Text1");
    Text1->setAccessibleDescription(QStringLiteral("下载进度"));

    Label14 = MakeLabel(this, QStringLiteral("Label14"), "Label14");
    lblChip = MakeLabel(this, QStringLiteral("从机状况："), "lblChip");
    lblMsg = MakeLabel(this, QStringLiteral("信息...."), "lblMsg");
    // The dark panel lies behind the two lines that stand on it.
    Label14->lower();

    VScroll1 = Dress(new QScrollBar(Qt::Vertical, this), "VScroll1");
    VScroll1->setEnabled(false);
    VScroll1->setFocusPolicy(Qt::TabFocus);
    Picture1 = Dress(new LogoBox(this), "Picture1");
    Picture1->setAccessibleDescription(QStringLiteral("Quoratel 标志"));

    Text3 = Dress(new QPlainTextEdit(this), "Text3");
    Text3->setReadOnly(true);
    Text3->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    Text3->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text3->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text3->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // Nothing can be typed here, so Tab is free to move on.
    Text3->setTabChangesFocus(true);
    Text3->setAccessibleDescription(QStringLiteral("程序内容预览（十六进制）"));

    Text2 = Dress(new QLineEdit(QStringLiteral("Text2"), this), "Text2");
    Text2->hide();

    Label6 = MakeLabel(this, QStringLiteral("说明："), "Label6");
    QLabel** steps[] = {&Label7, &Label8, &Label9, &Label10, &Label11, &Label12, &Label13};
    for (qsizetype i = 0; i < kStepTexts.size(); ++i) {
        const QByteArray name = QByteArrayLiteral("Label") + QByteArray::number(7 + i);
        *steps[i] = MakeLabel(this, kStepTexts[i], name.constData());
    }
    Command1 = MakeButton(this, QString(), "Command1", true);
    Command1->setAccessibleDescription(QStringLiteral("立即启动 Halvek 程序"));
    Label2 = MakeLabel(this, QStringLiteral("Quoratel"), "Label2");
    Label1 = MakeLabel(this, QStringLiteral("Quoratel"), "Label1");
    auto* link = new LinkLabel(kWebAddress, this);
    link->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label3 = Dress<QLabel>(link, "Label3");
    Line1 = Dress(new QFrame(this), "Line1");
    Line1->setFrameShape(QFrame::NoFrame);
    Label4 = MakeLabel(this, QStringLiteral("Email:") + kEmailAddress, "Label4");
    WidenToFit(Check1);
    WidenToFit(Label4);

    // The design's tab indexes; labels take no focus, except that the web link is appended last.
    ChainTabOrder({cmdFlashFile, Combo1, cmdstar, cmdWrite, cmdExit, Text1, Text3, txtFile, Picture1,
                   Command1, Check1, VScroll1, Text2, Label3});
    // Focus goes here when the window first becomes active.
    cmdFlashFile->setFocus(Qt::OtherFocusReason);
}

void MainWindow::ConnectHandlers() {
    connect(cmdFlashFile, &QPushButton::clicked, this, &MainWindow::cmdFlashFile_Click);
    connect(cmdstar, &QPushButton::clicked, this, &MainWindow::cmdstar_Click);
    connect(cmdWrite, &QPushButton::clicked, this, &MainWindow::cmdWrite_Click);
    connect(cmdExit, &QPushButton::clicked, this, &MainWindow::cmdExit_Click);
    connect(Command1, &QPushButton::clicked, this, &MainWindow::Command1_Click);
    // toggled, not clicked: a value set by the program must run the handler as the operator's click does.
    connect(Check1, &QCheckBox::toggled, this, &MainWindow::Check1_Click);
    connect(static_cast<LinkLabel*>(Label3), &LinkLabel::Clicked, this, &MainWindow::Label3_Click);
}

void MainWindow::ShowMessage(const QString& text) {
    lblMsg->setText(text);
}

void MainWindow::SetChipText(const QString& text) {
    lblChip->setText(text);
}

void MainWindow::SetProgressText(const QString& text) {
    Text1->setText(text);
}

void MainWindow::SetAttemptCounter(const QString& text) {
    Text2->setText(text);
}

void MainWindow::SetEnabled(Control control, bool enabled) {
    QWidget* widget = nullptr;
    switch (control) {
        case Control::cmdFlashFile:
            widget = cmdFlashFile;
            break;
        case Control::Combo1:
            widget = Combo1;
            break;
        case Control::cmdstar:
            widget = cmdstar;
            break;
        case Control::cmdWrite:
            widget = cmdWrite;
            break;
        case Control::cmdExit:
            widget = cmdExit;
            break;
        case Control::Command1:
            widget = Command1;
            break;
    }
    if (widget != nullptr) widget->setEnabled(enabled);
}

void MainWindow::Beep() {
    m_environment.dialogs->Beep();
}

QString MainWindow::PortText() const {
    return Combo1->currentText();
}

void MainWindow::ShowError(const QString& text) {
    m_environment.dialogs->MessageBox(text, MessageIcon::None, kErrorTitle);
}

void MainWindow::ShowPrompt(const QString& text) {
    m_environment.dialogs->MessageBox(text, MessageIcon::Information, kPromptTitle);
}

void MainWindow::cmdstar_Click() {
    m_loader->Connect();
}

void MainWindow::cmdWrite_Click() {
    m_loader->StartDownload();
}

void MainWindow::cmdExit_Click() {
    m_loader->Release();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Shut-down runs once, however often the platform asks the window to close.
    if (!m_unloaded) Form_Unload();
    event->accept();
}

}  // namespace corvat
