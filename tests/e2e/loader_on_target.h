// The real loader and the real serial link, talking to the virtual target over a pseudo-terminal.
#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QStringList>

#include "protocol/loader.h"
#include "protocol/loader_state.h"
#include "serial/qserial_link.h"
#include "support/recording_view.h"
#include "support/virtual_target.h"

namespace corvat::test {

inline const QString kIdentified = QStringLiteral("联接成功，可下载....");

struct LoaderOnTarget {
    // A short power-on delay keeps the tests quick; the target still greets only once the port is open.
    explicit LoaderOnTarget(const QStringList& options)
        : target(options + QStringList{QStringLiteral("--greet-delay"), QStringLiteral("20")}) {
        state.AppDir = target.Folder();  // COM1 of this program folder is the target's line
    }

    // Starts the target, connects and waits for the identification's outcome to show.
    void ConnectAndWaitFor(const QString& message) {
        QString error;
        ASSERT_TRUE(target.Start(&error)) << error.toStdString();
        loader.Connect();
        ASSERT_TRUE(view.errors.isEmpty()) << view.errors.join(' ').toStdString();
        ASSERT_TRUE(WaitFor([&] { return view.message == message; }))
            << "status line: " << view.message.toStdString() << "\n"
            << target.Transcript().join('\n').toStdString();
    }

    // Closes the port and waits until the target has seen it, so that everything the loader wrote is in
    // the target's transcript.
    void CloseAndSettle() {
        loader.ClosePort();
        ASSERT_TRUE(target.WaitForEvent(QStringLiteral("loader closed the port")));
    }

    void ReleaseAndSettle() {
        loader.Release();
        ASSERT_TRUE(target.WaitForEvent(QStringLiteral("released: the target runs its program")));
        ASSERT_TRUE(target.WaitForEvent(QStringLiteral("loader closed the port")));
    }

    VirtualTarget target;
    LoaderState state;
    QSerialLink link;
    RecordingView view;
    Loader loader{state, link, view};
};

}  // namespace corvat::test
