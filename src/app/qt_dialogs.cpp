#include "app/qt_dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace corvat {

namespace {

// Beyond this many letters the spellings would run into the thousands; lower and upper case then suffice.
constexpr int kMostCaseLetters = 8;
const QString kOpenDialogTitle = QStringLiteral("程序加载");

QString QtFilterEntry(const QString& description, const QString& patterns) {
    QStringList spellings;
    for (const QString& pattern : patterns.split(u';', Qt::SkipEmptyParts)) {
        spellings += CaseVariants(pattern.trimmed());
    }
    spellings.removeDuplicates();
    return description + QStringLiteral(" (") + spellings.join(u' ') + u')';
}

}  // namespace

QStringList CaseVariants(const QString& pattern) {
    QList<qsizetype> letters;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        if (pattern[i].toLower() != pattern[i].toUpper()) letters.append(i);
    }
    if (letters.size() > kMostCaseLetters) {
        QStringList few{pattern, pattern.toLower(), pattern.toUpper()};
        few.removeDuplicates();
        return few;
    }
    QStringList variants{pattern};
    for (quint32 mask = 0; mask < (1u << letters.size()); ++mask) {
        QString spelling = pattern;
        for (qsizetype bit = 0; bit < letters.size(); ++bit) {
            const QChar c = pattern[letters[bit]];
            spelling[letters[bit]] = (mask & (1u << bit)) != 0 ? c.toUpper() : c.toLower();
        }
        variants.append(spelling);
    }
    variants.removeDuplicates();
    return variants;
}

QString ToQtFilter(const QString& loaderFilter) {
    const QStringList parts = loaderFilter.split(u'|');
    QStringList entries;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        const QString& description = parts[i];
        // A description without its pattern list is taken as the patterns themselves.
        const QString& patterns = i + 1 < parts.size() ? parts[i + 1] : parts[i];
        if (patterns.trimmed().isEmpty()) continue;
        entries.append(QtFilterEntry(description, patterns));
    }
    return entries.join(QStringLiteral(";;"));
}

std::unique_ptr<QFileDialog> MakeOpenFileDialog(const QString& loaderFilter, const QString& startName,
                                                QWidget* parent) {
    auto dialog = std::make_unique<QFileDialog>(parent, kOpenDialogTitle);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    // The description already names the patterns; the case spellings would only clutter it.
    dialog->setOption(QFileDialog::HideNameFilterDetails);
    dialog->setNameFilter(ToQtFilter(loaderFilter));
    if (!startName.isEmpty()) {
        const QFileInfo start(startName);
        dialog->setDirectory(start.absolutePath());
        dialog->selectFile(start.fileName());
    }
    return dialog;
}

std::unique_ptr<QMessageBox> MakeMessageBox(const QString& text, MessageIcon icon, const QString& title,
                                            QWidget* parent) {
    const QMessageBox::Icon shown =
        icon == MessageIcon::Information ? QMessageBox::Information : QMessageBox::NoIcon;
    auto box = std::make_unique<QMessageBox>(shown, title, QString(), QMessageBox::Ok, parent);
    // File names and typed port texts go into these boxes; Qt would take "<b>" in one for markup.
    box->setTextFormat(Qt::PlainText);
    box->setText(text);
    return box;
}

void QtDialogs::MessageBox(const QString& text, MessageIcon icon, const QString& title) {
    MakeMessageBox(text, icon, title, QApplication::activeWindow())->exec();
}

QString QtDialogs::GetOpenFileName(const QString& filter, const QString& startName) {
    const auto dialog = MakeOpenFileDialog(filter, startName, QApplication::activeWindow());
    if (dialog->exec() != QDialog::Accepted) return QString();
    const QStringList chosen = dialog->selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.front();
}

void QtDialogs::Beep() {
    QApplication::beep();
}

}  // namespace corvat
