// Start-up and shut-down of the window, the companion program and the web link.
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <cmath>
#include <cstdint>
#include <limits>

#include "app/main_window.h"
#include "app/maker.h"
#include "image/hex_conversion.h"
#include "platform/system_dir.h"
#include "settings/profile_file.h"

namespace corvat {
namespace {

const QString kConverterMissing = QStringLiteral("HEX2BIN.COM文件丢失!");
const QString kCompanionMissing = QStringLiteral("主程序文件Halvek丢失！");
const QString kCompanionNotStarted = QStringLiteral("主程序文件Halvek无法启动！");
const QString kCompanionName = QStringLiteral("Halvek.exe");
const QString kSettingsName = QStringLiteral("info.ini");
const QString kBrowserOpener = QStringLiteral("xdg-open");
const QString kSettingsNotSaved = QStringLiteral("设置没有保存：%1");

const QString kSection = QStringLiteral("System");
const QString kPortKey = QStringLiteral("Comm");
const QString kStyleKey = QStringLiteral("style");
const QString kTicked = QStringLiteral("1");
const QString kNotTicked = QStringLiteral("0");

// "style" as a 16-bit whole number, fractions rounded to even. What cannot be one (absent, empty, text,
// out of range) counts as 0, as on a first run without a settings file.
std::int16_t StyleValue(const QString& text) {
    bool isNumber = false;
    const double value = text.trimmed().toDouble(&isNumber);
    if (!isNumber || !std::isfinite(value)) return 0;
    const double rounded = std::nearbyint(value);
    if (rounded < std::numeric_limits<std::int16_t>::min() ||
        rounded > std::numeric_limits<std::int16_t>::max())
        return 0;
    return static_cast<std::int16_t>(rounded);
}

// Any text may stand in the port box; a name from the list also selects that row.
void SetPortText(QComboBox& combo, const QString& text) {
    const int row = combo.findText(text);
    if (row >= 0) combo.setCurrentIndex(row);
    combo.setEditText(text);
}

// The stored name must be exactly the converter's, even on a file system that ignores letter case.
bool HasConverter(const QString& folder) {
    const QString name = QString::fromLatin1(kConverterFileName);
    return QDir(folder).entryList(QStringList{name}, QDir::Files).contains(name);
}

}  // namespace

QString MainWindow::ProgramDir() const {
    return m_environment.programDir.isEmpty() ? QCoreApplication::applicationDirPath()
                                              : m_environment.programDir;
}

QString MainWindow::SettingsFile() const {
    if (!m_environment.settingsFile.isEmpty()) return m_environment.settingsFile;
    return ProgramDir() + QLatin1Char('/') + kSettingsName;
}

IniValue MainWindow::ReadSetting(const QString& key) const {
    if (!m_environment.settingsFolder) return {};
    return ReadIniEntry(kSection, key, QString(), SettingsFile());
}

Result<> MainWindow::SaveSetting(const QString& key, const QByteArray& bytes) {
    if (!m_environment.settingsFolder) return m_environment.settingsFolder;
    return WriteProfileBytes(SettingsFile(), kSection, key, bytes);
}

// The converter's files go into a folder of this window's own inside the private folder, so that a second
// loader of the same user cannot load, replace or delete them.
QString MainWindow::SystemDir() {
    if (!m_conversionFolder.Path().isEmpty() || m_unloaded) return m_conversionFolder.Path();
    QString privateFolder = m_environment.systemDir;
    m_conversionFolderError.clear();
    if (privateFolder.isEmpty()) {
        const Result<QString> platform = PlatformSystemDir();
        if (platform) privateFolder = *platform;
        m_conversionFolderError = platform ? QString() : platform.message();
    }
    if (m_conversionFolderError.isEmpty()) m_conversionFolderError = m_conversionFolder.Claim(privateFolder);
    return m_conversionFolder.Path();
}

void MainWindow::Form_Load() {
    if (!HasConverter(ProgramDir())) ShowError(kConverterMissing);
    if (!m_environment.settingsFolder) ShowError(m_environment.settingsFolder.message());
    const IniValue port = ReadSetting(kPortKey);
    m_storedPortBytes = port.bytes;
    m_storedPortText = port.text;
    SetPortText(*Combo1, port.text);
    m_state.AppDir = ProgramDir();
    if (!m_state.AppDir.endsWith(QLatin1Char('/'))) m_state.AppDir += QLatin1Char('/');
    PlaceConverterCopy();
    // Changing the tick raises Check1_Click, which records the value and sets Command1 to match.
    const std::int16_t style = StyleValue(ReadSetting(kStyleKey).text);
    Check1->setChecked(style == 1);
    // Any other number once stood for a third, greyed state; setting it raised the Click, whose
    // unticked branch recorded "0". The box cannot show that state, so only the Click's effect remains.
    if (style != 0 && style != 1) Check1_Click();
    show();
    // Let the window reach the screen before another program may take the focus.
    QCoreApplication::processEvents();
    if (Check1->isChecked()) {
        Command1->setEnabled(false);
        StartCompanionAtStartUp();
    }
}

// Without a converter, or without a usable system folder, HEX images fail when converted and say so then.
void MainWindow::PlaceConverterCopy() {
    const QString folder = SystemDir();
    if (folder.isEmpty()) return;
    const ConverterFiles files = ConverterFilesIn(m_state.AppDir, folder);
    if (!QFileInfo(files.source).isFile()) return;
    CopyConverter(files);
}

// By path and without a shell, so a program folder with blanks in its name starts the right file.
void MainWindow::StartCompanionAtStartUp() {
    const QString companion = m_state.AppDir + kCompanionName;
    if (!QFileInfo(companion).isFile()) {
        ShowError(kCompanionMissing);
    } else if (!m_environment.starter->Start(companion, {}, false)) {
        ShowError(kCompanionNotStarted);
    }
}

void MainWindow::Form_Unload() {
    if (m_unloaded) return;
    m_unloaded = true;  // a conversion waiting inside Delay stops at its next check
    // The folder holds nothing but this window's conversion: its three files and their leftovers.
    m_conversionFolder.Release();
    const QString port = Combo1->currentText();
    const Result<> saved =
        SaveSetting(kPortKey, port == m_storedPortText ? m_storedPortBytes : port.toLocal8Bit());
    // A refused folder was named at start-up; a save that fails now would otherwise go unnoticed.
    if (!saved && m_environment.settingsFolder) ShowError(kSettingsNotSaved.arg(saved.message()));
}

void MainWindow::Check1_Click() {
    if (Check1->isChecked()) {
        static_cast<void>(SaveSetting(kStyleKey, kTicked.toLocal8Bit()));
        Command1->setEnabled(false);
    } else {
        static_cast<void>(SaveSetting(kStyleKey, kNotTicked.toLocal8Bit()));
        Command1->setEnabled(true);
    }
}

// A companion that cannot be started leaves everything as it was, and says nothing.
void MainWindow::Command1_Click() {
    if (!m_environment.starter->Start(m_state.AppDir + kCompanionName, {}, false)) return;
    Command1->setEnabled(false);
    Check1->setChecked(true);
    static_cast<void>(SaveSetting(kStyleKey, kTicked.toLocal8Bit()));
}

void MainWindow::Label3_Click() {
    m_environment.starter->Start(kBrowserOpener, {kWebAddress}, false);
}

}  // namespace corvat
