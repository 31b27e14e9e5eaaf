#include "support/recording_view.h"

namespace corvat::test {

QString ControlName(Control control) {
    switch (control) {
        case Control::cmdFlashFile:
            return QStringLiteral("cmdFlashFile");
        case Control::Combo1:
            return QStringLiteral("Combo1");
        case Control::cmdstar:
            return QStringLiteral("cmdstar");
        case Control::cmdWrite:
            return QStringLiteral("cmdWrite");
        case Control::cmdExit:
            return QStringLiteral("cmdExit");
        case Control::Command1:
            return QStringLiteral("Command1");
    }
    return QStringLiteral("?");
}

RecordingView::RecordingView()
    : enabled{{Control::cmdFlashFile, true}, {Control::Combo1, true},   {Control::cmdstar, true},
              {Control::cmdWrite, false},    {Control::cmdExit, false}, {Control::Command1, true}} {}

void RecordingView::ShowMessage(const QString& text) {
    m_calls << QStringLiteral("ShowMessage(%1)").arg(text);
    message = text;
}

void RecordingView::SetChipText(const QString& text) {
    m_calls << QStringLiteral("SetChipText(%1)").arg(text);
    chipText = text;
}

void RecordingView::SetProgressText(const QString& text) {
    // The bar is recorded by its length: a row of glyphs says nothing a count does not.
    m_calls << QStringLiteral("SetProgressText(%1)").arg(text.size());
    progressText = text;
}

void RecordingView::SetAttemptCounter(const QString& text) {
    m_calls << QStringLiteral("SetAttemptCounter(%1)").arg(text);
    attemptCounter = text;
}

void RecordingView::SetEnabled(Control control, bool on) {
    m_calls << QStringLiteral("SetEnabled(%1,%2)").arg(ControlName(control), on ? u"true" : u"false");
    enabled[control] = on;
}

void RecordingView::Beep() {
    m_calls << QStringLiteral("Beep()");
    ++beepCount;
}

void RecordingView::ShowError(const QString& text) {
    m_calls << QStringLiteral("ShowError(%1)").arg(text);
    errors << text;
    if (onError) onError(text);
}

void RecordingView::ShowPrompt(const QString& text) {
    m_calls << QStringLiteral("ShowPrompt(%1)").arg(text);
    prompts << text;
}

QStringList RecordingView::CallsStartingWith(const QString& prefix) const {
    QStringList matching;
    for (const QString& call : m_calls)
        if (call.startsWith(prefix)) matching << call;
    return matching;
}

}  // namespace corvat::test
