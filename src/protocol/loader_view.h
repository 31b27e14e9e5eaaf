#pragma once

#include <QString>

namespace corvat {

// The workflow controls whose enabled state the protocol changes.
enum class Control { cmdFlashFile, Combo1, cmdstar, cmdWrite, cmdExit, Command1 };

// What the connection and download logic may do to the window, and nothing more. The window
// implements it with real widgets; tests implement it with a recorder to check the order of changes.
class LoaderView {
  public:
    virtual ~LoaderView() = default;

    virtual void ShowMessage(const QString& text) = 0;        // lblMsg, the status line
    virtual void SetChipText(const QString& text) = 0;        // lblChip, the target line
    virtual void SetProgressText(const QString& text) = 0;    // Text1, the bar of "■" glyphs
    virtual void SetAttemptCounter(const QString& text) = 0;  // Text2, hidden
    virtual void SetEnabled(Control control, bool enabled) = 0;
    virtual void Beep() = 0;
    virtual QString PortText() const = 0;  // Combo1's text

    // Modal message boxes with one OK button. ShowError: no icon, title "Corvat".
    // ShowPrompt: information icon, title "提示".
    virtual void ShowError(const QString& text) = 0;
    virtual void ShowPrompt(const QString& text) = 0;
};

}  // namespace corvat
