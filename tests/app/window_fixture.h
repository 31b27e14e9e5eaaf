#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <functional>
#include <memory>

#include "app/main_window.h"
#include "support/answering_dialogs.h"
#include "support/recording_starter.h"

namespace corvat {

// Polls with the event loop running until the condition holds or the limit passes.
inline bool WaitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        QTest::qWait(10);
    }
    return true;
}

inline QString TextOf(const QWidget* widget) {
    if (auto* label = qobject_cast<const QLabel*>(widget)) return label->text();
    if (auto* button = qobject_cast<const QAbstractButton*>(widget)) return button->text();
    if (auto* line = qobject_cast<const QLineEdit*>(widget)) return line->text();
    if (auto* combo = qobject_cast<const QComboBox*>(widget)) return combo->currentText();
    if (auto* plain = qobject_cast<const QPlainTextEdit*>(widget)) return plain->toPlainText();
    return QStringLiteral("<no text>");
}

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_programDir.isValid());
        ASSERT_TRUE(m_systemDir.isValid());
        WindowEnvironment environment;
        environment.dialogs = &m_dialogs;
        environment.starter = &m_starter;
        environment.programDir = m_programDir.path();
        environment.systemDir = m_systemDir.path();
        m_window = std::make_unique<MainWindow>(environment);
    }

    template <typename W = QWidget>
    W* Find(const char* name) const {
        W* widget = m_window->findChild<W*>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    // Shows the window as the start-up would and waits until it has the keyboard.
    void ShowActive() {
        m_window->show();
        m_window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
    }

    QString FocusName() const {
        QWidget* focus = QApplication::focusWidget();
        return focus == nullptr ? QStringLiteral("<none>") : focus->objectName();
    }

    QTemporaryDir m_programDir;
    QTemporaryDir m_systemDir;
    test::AnsweringDialogs m_dialogs;
    test::RecordingStarter m_starter;
    std::unique_ptr<MainWindow> m_window;
};

}  // namespace corvat
