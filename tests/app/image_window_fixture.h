#pragma once

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <memory>
#include <optional>

#include "app/main_window.h"
#include "support/answering_dialogs.h"

namespace corvat {

// The real window after its start-up, in temporary program and private folders, with the file dialog
// answered by the test and a real program starter for the converter.
class ImageWindowTest : public testing::Test {
  protected:
    using Message = test::AnsweringDialogs::Message;

    // systemFolder unset: a temporary private folder; empty: the platform's own folder.
    void OpenWindow(std::optional<QString> systemFolder = std::nullopt) {
        window = std::make_unique<MainWindow>(WindowEnvironment{&dialogs, &starter, programDir.path(),
                                                                systemFolder.value_or(systemDir.path())});
        window->Form_Load();
        // Start-up may have its own say (no converter in the program folder); only later messages count.
        messagesBefore = dialogs.Messages().size();
    }

    void Load(const QString& answer) {
        dialogs.AnswerOpenFile(answer);
        Control<QPushButton>("cmdFlashFile")->click();
    }

    template <typename W>
    W* Control(const char* name) {
        W* widget = window->findChild<W*>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    QList<Message> NewMessages() const { return dialogs.Messages().mid(messagesBefore); }
    QString Preview() { return Control<QPlainTextEdit>("Text3")->toPlainText(); }
    QString Status() { return Control<QLabel>("lblMsg")->text(); }
    QString Path() { return Control<QLineEdit>("txtFile")->text(); }
    bool Enabled(const char* name) { return Control<QPushButton>(name)->isEnabled(); }

    QTemporaryDir programDir;
    QTemporaryDir systemDir;
    QTemporaryDir files;
    test::AnsweringDialogs dialogs;
    DetachedProgramStarter starter;
    std::unique_ptr<MainWindow> window;
    qsizetype messagesBefore = 0;
};

}  // namespace corvat
