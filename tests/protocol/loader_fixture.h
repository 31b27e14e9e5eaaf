#pragma once

#include <gtest/gtest.h>
#include <QTemporaryDir>

#include "protocol/loader.h"
#include "support/memory_link.h"
#include "support/recording_view.h"

namespace corvat::test {

// A loader wired to a link in memory and a recording view, with an empty program folder of its own.
class LoaderTest : public ::testing::Test {
  protected:
    LoaderTest() { state.AppDir = folder.path() + QLatin1Char('/'); }

    // Connected, greeted and identified as the given kind; the record starts empty afterwards.
    void Identify(const QByteArray& identification = "0xg") {
        loader.Connect();
        link.Receive(">");
        link.Receive(identification);
        ASSERT_EQ(view.attemptCounter, QStringLiteral("1")) << "the identification failed";
        view.ClearCalls();
        link.writes.clear();
        link.events.clear();
    }

    QStringList EnabledChanges() const { return view.CallsStartingWith(QStringLiteral("SetEnabled")); }

    QTemporaryDir folder;
    LoaderState state;
    MemoryLink link;
    RecordingView view;
    Loader loader{state, link, view};
};

}  // namespace corvat::test
