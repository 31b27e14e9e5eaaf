// The window's loader records its session through a tracing link, and the virtual target replays that
// recording to the window's loader again: the same bytes, the same enabled states, the same progress.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <memory>

#include "loader_on_target.h"
#include "serial/tracing_link.h"

namespace corvat::test {
namespace {

struct WindowSession {
    WindowSession(const QString& appDir, std::unique_ptr<SerialLink> line) : link(std::move(line)) {
        state.AppDir = appDir;
    }

    // Connects, downloads 200 bytes with the window's own steps and releases the target.
    void Download() {
        state.ImageData = QByteArray(200, '\x5A');
        state.ImageLength = 200;
        loader.Connect();
        ASSERT_TRUE(WaitFor([&] { return view.message == kIdentified; })) << view.message.toStdString();
        loader.StartDownload();
        ASSERT_TRUE(WaitFor([&] { return view.IsEnabled(Control::cmdExit); })) << view.message.toStdString();
        loader.Release();
    }

    LoaderState state;
    RecordingView view;
    std::unique_ptr<SerialLink> link;
    Loader loader{state, *link, view};
};

TEST(WindowReplayTest, TheWindowsRecordingReplaysToTheWindow) {
    QTemporaryDir dir;
    const std::string tracePath = dir.filePath(QStringLiteral("window.trace")).toStdString();
    VirtualTarget live({"--reject", "1", "--greet-delay", "20"});
    QString error;
    ASSERT_TRUE(live.Start(&error)) << error.toStdString();
    trace::TraceWriter writer;
    std::string openError;
    writer.Attach(trace::OpenTraceFile(tracePath, &openError));
    ASSERT_TRUE(writer.Attached()) << openError;
    writer.WriteHeader({});
    WindowSession recorded(live.Folder(),
                           std::make_unique<TracingLink>(std::make_unique<QSerialLink>(), &writer));
    recorded.Download();
    ASSERT_TRUE(live.WaitForEvent(QStringLiteral("loader closed the port")));

    VirtualTarget replay({"--replay", QString::fromStdString(tracePath)});
    ASSERT_TRUE(replay.Start(&error)) << error.toStdString();
    WindowSession replayed(replay.Folder(), std::make_unique<QSerialLink>());
    replayed.Download();
    ASSERT_TRUE(WaitFor([&] { return !replay.Running(); })) << replay.Events().join('\n').toStdString();
    EXPECT_EQ(replay.ExitCode(), 0) << replay.Events().join('\n').toStdString();
    EXPECT_EQ(replay.Received(), live.Received());
    EXPECT_EQ(replayed.view.CallsStartingWith("SetEnabled"), recorded.view.CallsStartingWith("SetEnabled"));
    EXPECT_EQ(replayed.view.CallsStartingWith("SetProgressText"),
              recorded.view.CallsStartingWith("SetProgressText"));
}

}  // namespace
}  // namespace corvat::test
