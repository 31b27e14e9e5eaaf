#pragma once

#include <QString>

namespace corvat {

enum class MessageIcon { None, Information };

// Modal dialogs and the beep: the parts of the window a test cannot click through, so tests answer them.
class Dialogs {
  public:
    virtual ~Dialogs() = default;
    // One OK button; returns when the operator has closed the box.
    virtual void MessageBox(const QString& text, MessageIcon icon, const QString& title) = 0;
    // The open-file dialog, given the loader's filter ("description|patterns"). Returns the chosen path,
    // or an empty text when the operator cancelled.
    virtual QString GetOpenFileName(const QString& filter, const QString& startName) = 0;
    virtual void Beep() = 0;
};

}  // namespace corvat
