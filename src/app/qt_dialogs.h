#pragma once

#include <QString>
#include <QStringList>
#include <memory>

#include "app/dialogs.h"

class QFileDialog;
class QMessageBox;
class QWidget;

namespace corvat {

// The real dialogs and beep of the running program.
class QtDialogs : public Dialogs {
  public:
    void MessageBox(const QString& text, MessageIcon icon, const QString& title) override;
    QString GetOpenFileName(const QString& filter, const QString& startName) override;
    void Beep() override;
};

// The loader writes filters as "description|patterns" pairs with ";" between patterns. Qt wants
// "description (patterns)" entries joined by ";;". Every letter case of each pattern is listed, because
// file names on Linux keep their case and an image named x.Bin must still be offered.
QString ToQtFilter(const QString& loaderFilter);

// All spellings of a wildcard pattern in every letter case, the given one among them.
QStringList CaseVariants(const QString& pattern);

// The open-file dialog set up to start at startName (so it shows the name used last), not yet shown.
std::unique_ptr<QFileDialog> MakeOpenFileDialog(const QString& loaderFilter, const QString& startName,
                                                QWidget* parent);

// A message box with one OK button that shows its text literally, not yet shown.
std::unique_ptr<QMessageBox> MakeMessageBox(const QString& text, MessageIcon icon, const QString& title,
                                            QWidget* parent);

}  // namespace corvat
