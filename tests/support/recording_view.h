#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <map>

#include "protocol/loader_view.h"

namespace corvat::test {

QString ControlName(Control control);

// A LoaderView that keeps every call, in order, as text ("SetEnabled(cmdWrite,false)",
// "ShowMessage(设备联接中.)", "SetProgressText(39)" with the bar's glyph count), and the state a window
// would show after them.
class RecordingView : public LoaderView {
  public:
    // The enabled states start as the window opens with an image loaded ("联 机" enabled).
    RecordingView();

    void ShowMessage(const QString& text) override;
    void SetChipText(const QString& text) override;
    void SetProgressText(const QString& text) override;
    void SetAttemptCounter(const QString& text) override;
    void SetEnabled(Control control, bool enabled) override;
    void Beep() override;
    QString PortText() const override { return portText; }
    void ShowError(const QString& text) override;
    void ShowPrompt(const QString& text) override;

    const QStringList& Calls() const { return m_calls; }
    // The calls whose text begins with prefix, in order: CallsStartingWith("SetEnabled").
    QStringList CallsStartingWith(const QString& prefix) const;
    void ClearCalls() { m_calls.clear(); }

    bool IsEnabled(Control control) const { return enabled.at(control); }

    // Current state, as the window would show it.
    QString portText = QStringLiteral("COM1");
    QString message = QStringLiteral("信息....");
    QString chipText = QStringLiteral("从机状况：");
    QString progressText;
    QString attemptCounter = QStringLiteral("Text2");
    std::map<Control, bool> enabled;
    int beepCount = 0;
    QStringList errors;   // texts of ShowError boxes, in order
    QStringList prompts;  // texts of ShowPrompt boxes, in order
    // Runs inside ShowError, where a real window would sit in its modal box.
    std::function<void(const QString&)> onError;

  private:
    QStringList m_calls;
};

}  // namespace corvat::test
