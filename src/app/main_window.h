#pragma once

#include <QByteArray>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>

#include "app/dialogs.h"
#include "platform/loader_folder.h"
#include "platform/program_starter.h"
#include "platform/result.h"
#include "protocol/loader.h"
#include "protocol/loader_state.h"
#include "protocol/loader_view.h"
#include "serial/serial_link.h"
#include "settings/module1.h"
#include "trace/trace_writer.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QScrollBar;

namespace corvat {

// Where the window finds its services and folders. Tests pass temporary folders and answering dialogs.
struct WindowEnvironment {
    Dialogs* dialogs = nullptr;         // required
    ProgramStarter* starter = nullptr;  // required
    QString programDir;                 // folder of the executable when empty
    QString systemDir;                  // the private folder; the platform's when empty
    QString settingsFile{};             // info.ini in programDir when empty
    Result<> settingsFolder{};  // refused: settings are neither read nor saved, and the window says why
    trace::TraceWriter* trace = nullptr;  // every byte on the line and every image load, when given
};

// The loader's only window. Controls carry their design names as member and object names, so tests
// find them with findChild<...>("cmdWrite").
class MainWindow : public QWidget, public LoaderView {
    Q_OBJECT
  public:
    explicit MainWindow(const WindowEnvironment& environment, QWidget* parent = nullptr);
    ~MainWindow() override;

    void Form_Load();    // start-up: settings, converter copy, show, companion program
    void Form_Unload();  // shut-down: temporary files removed, port saved

    // Waits the given milliseconds while the window keeps processing its events.
    void Delay(std::int32_t milliseconds);

    LoaderState& State() { return m_state; }
    // This window's own folder for the converter's files; empty when none could be had, or after shut-down.
    const QString& ConversionFolder() const { return m_conversionFolder.Path(); }
    SerialLink& Link() { return *m_link; }

    // LoaderView
    void ShowMessage(const QString& text) override;
    void SetChipText(const QString& text) override;
    void SetProgressText(const QString& text) override;
    void SetAttemptCounter(const QString& text) override;
    void SetEnabled(Control control, bool enabled) override;
    void Beep() override;
    QString PortText() const override;
    void ShowError(const QString& text) override;
    void ShowPrompt(const QString& text) override;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void CreateControls();
    void ConnectHandlers();

    // Handlers, named after their control and event.
    void cmdFlashFile_Click();
    void cmdstar_Click();
    void cmdWrite_Click();
    void cmdExit_Click();
    void Check1_Click();
    void Command1_Click();
    void Label3_Click();

    // Image loading steps.
    bool ConvertHexImage(const QString& chosenPath);
    void ReadImage(const QString& source);  // read, preview, report, offer to connect
    QString SettingsFile() const;           // the environment's file, or program folder + "info.ini"
    // A stored setting, and saving one; nothing is read or written when the settings folder was refused.
    IniValue ReadSetting(const QString& key) const;
    Result<> SaveSetting(const QString& key, const QByteArray& bytes);
    QString SystemDir();  // own conversion folder, claimed on first use; empty when refused

    // Start-up steps.
    QString ProgramDir() const;  // the environment's folder, or the executable's
    void PlaceConverterCopy();
    void StartCompanionAtStartUp();

    WindowEnvironment m_environment;
    LoaderState m_state;
    std::unique_ptr<SerialLink> m_link;
    std::unique_ptr<Loader> m_loader;
    QString m_dlgFileName;    // dlgFile keeps its file name between uses
    bool m_unloaded = false;  // shut-down has run; a conversion waiting in Delay must not go on
    LoaderFolder m_conversionFolder;
    QString m_conversionFolderError;  // why no folder could be had
    // The port as stored at start-up, bytes and text: put back byte for byte when left unchanged, since a
    // value in another encoding than the locale's would not survive decoding and encoding again.
    QByteArray m_storedPortBytes;
    QString m_storedPortText;

    // Controls, from the top of the window down.
    QLabel* Label5 = nullptr;
    QLineEdit* txtFile = nullptr;
    QPushButton* cmdFlashFile = nullptr;
    QComboBox* Combo1 = nullptr;
    QCheckBox* Check1 = nullptr;
    QPushButton* cmdstar = nullptr;
    QPushButton* cmdExit = nullptr;
    QPushButton* cmdWrite = nullptr;
    QLineEdit* Text1 = nullptr;
    QLabel* Label14 = nullptr;
    QLabel* lblChip = nullptr;
    QLabel* lblMsg = nullptr;
    QScrollBar* VScroll1 = nullptr;
    QWidget* Picture1 = nullptr;
    QPlainTextEdit* Text3 = nullptr;
    QLineEdit* Text2 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* Label10 = nullptr;
    QLabel* Label11 = nullptr;
    QLabel* Label12 = nullptr;
    QLabel* Label13 = nullptr;
    QPushButton* Command1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label3 = nullptr;
    QFrame* Line1 = nullptr;
    QLabel* Label4 = nullptr;
};

}  // namespace corvat
