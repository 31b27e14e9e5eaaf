// One table of target answers, played to both front ends over the in-memory link: the window's Loader
// and corvat-flash's FlashSession drive the same page flow, so they put the same pages on the line and
// differ only where the command line must not call a doubtful board good.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "cli/flash_session.h"
#include "protocol/loader.h"
#include "session_support.h"
#include "support/recording_view.h"
#include "support/virtual_target.h"

namespace corvat::test {
namespace {

using namespace std::chrono_literals;

struct FlowRow {
    const char* name;
    QStringList answers;  // one read each, after what went before is on the line
    const char* window;   // words the window wrote from "W" on
    const char* cli;      // words corvat-flash wrote from "W" on
    const char* outcome;  // corvat-flash's
};

void PrintTo(const FlowRow& row, std::ostream* out) {
    *out << row.name;
}

const QByteArray kImage = [] {
    QByteArray image(130, '\0');
    for (int k = 0; k < image.size(); ++k) image[k] = static_cast<char>(k);
    return image;
}();

const FlowRow kRows[] = {
    {"EveryPageAccepted", {"!", "!", "!", "!"}, "W H0 F0 H1 F1 H2 F2 M", "W H0 F0 H1 F1 H2 F2 M E", "done 1"},
    {"CommandAnsweredWithAt",
     {"@", "!", "!", "!", "!"},
     "W H0 F0 H1 F1 H2 F2 M",
     "W H0 F0 H1 F1 H2 F2 M E",
     "done 1"},
    {"PageZeroRejected",
     {"!", "@", "!", "!", "!"},
     "W H0 F0 H0 F0 H1 F1 H2 F2 M",
     "W H0 F0 H0 F0 H1 F1 H2 F2 M E",
     "done 1"},
    {"LastPageRejected",
     {"!", "!", "!", "@", "!"},
     "W H0 F0 H1 F1 H2 F2 H2 F2 M",
     "W H0 F0 H1 F1 H2 F2 H2 F2 M E",
     "done 1"},
    {"EndMarkerAnswered",
     {"!", "!", "!", "!", "!"},
     "W H0 F0 H1 F1 H2 F2 M M",
     "W H0 F0 H1 F1 H2 F2 M E",
     "done 1"},
    {"AtAfterEndMarker",
     {"!", "!", "!", "!", "@"},
     "W H0 F0 H1 F1 H2 F2 M M",
     "W H0 F0 H1 F1 H2 F2 M",
     "failed 1 unconfirmed"},
    {"TwoAnswersAfterEndMarker",
     {"!", "!", "!", "!", "!", "!"},
     "W H0 F0 H1 F1 H2 F2 M M M",
     "W H0 F0 H1 F1 H2 F2 M",
     "failed 1 unconfirmed"},
};

class PageFlowTable : public ::testing::TestWithParam<FlowRow> {};

TEST_P(PageFlowTable, Window) {
    QTemporaryDir folder;
    LoaderState state;
    state.AppDir = folder.path() + QLatin1Char('/');
    state.ImageData = kImage;
    state.ImageLength = static_cast<std::int32_t>(kImage.size());
    MemoryLink link;
    RecordingView view;
    Loader loader(state, link, view);
    loader.Connect();
    link.Receive(">");
    link.Receive("0xg");
    link.writes.clear();
    loader.StartDownload();
    for (const QString& answer : GetParam().answers) link.Receive(answer.toLatin1());
    EXPECT_EQ(Words(link.writes, kImage, 64).join(' ').toStdString(), GetParam().window);
}

TEST_P(PageFlowTable, CommandLine) {
    MemoryLink link;
    ASSERT_TRUE(link.Open(PortRequest(QStringLiteral("/dev/null"))));
    RecordingSink sink;
    cli::SessionLimits limits;
    limits.reply = 2s;
    cli::FlashSession session(QStringLiteral("COM1"), PortRequest(QStringLiteral("/dev/null")), link, kImage,
                              limits, sink);
    session.Start();
    link.Receive(">");
    link.Receive("0xg");
    link.writes.removeFirst();  // "<"
    for (const QString& answer : GetParam().answers) {
        ASSERT_TRUE(WaitFor([&] { return !HeaderPending(link); }));
        link.Receive(answer.toLatin1());
    }
    ASSERT_TRUE(WaitFor([&] { return session.Finished(); }));
    EXPECT_EQ(Words(link.writes, kImage, 64).join(' ').toStdString(), GetParam().cli);
    EXPECT_EQ(sink.outcomes.join(' '), GetParam().outcome);
}

INSTANTIATE_TEST_SUITE_P(Answers, PageFlowTable, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvat::test
