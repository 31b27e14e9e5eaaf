// corvat-flash --trace as a program: sessions recorded against the virtual target and replayed by it end
// as they ended, with the same bytes; traces that would destroy a file or hang the run are refused.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <functional>

#include "support/virtual_target.h"
#include "trace/trace_format.h"

namespace corvat::test {
namespace {

using namespace std::chrono_literals;

struct FlashOutcome {
    int exit = -1;
    QString outcome;  // "done", or the reason of the last failure
    QJsonObject summary;
    QString errors;
};

FlashOutcome RunFlash(const QStringList& arguments, const std::function<void()>& inChild = {}) {
    QProcess process;
    if (inChild) process.setChildProcessModifier(inChild);
    process.start(QStringLiteral(CORVAT_PROGRAM_DIR "/corvat-flash"),
                  QStringList{"--json", "-q"} + arguments);
    EXPECT_TRUE(process.waitForStarted());
    EXPECT_TRUE(WaitFor([&] { return process.state() == QProcess::NotRunning; }, 60s));
    FlashOutcome run;
    run.exit = process.exitCode();
    run.errors = QString::fromUtf8(process.readAllStandardError());
    for (const QByteArray& line : process.readAllStandardOutput().split('\n')) {
        const QJsonObject event = QJsonDocument::fromJson(line).object();
        const QString type = event[QStringLiteral("event")].toString();
        if (type == QLatin1String("done")) run.outcome = type;
        if (type == QLatin1String("failed")) run.outcome = event[QStringLiteral("reason")].toString();
        if (type == QLatin1String("summary")) run.summary = event;
    }
    return run;
}

QString WriteProgram(const QString& folder, char first = 3) {
    QByteArray bytes(300, '\0');
    for (int k = 0; k < bytes.size(); ++k) bytes[k] = static_cast<char>((k * 7 + 3) & 0xFF);
    bytes[0] = first;
    QFile file(folder + QStringLiteral("program.bin"));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    return file.fileName();
}

QByteArray LoaderBytesIn(const QString& tracePath) {
    QFile file(tracePath);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    const auto parsed = trace::ParseTrace(file.readAll().toStdString());
    EXPECT_TRUE(parsed.trace) << parsed.error;
    QByteArray bytes;
    if (!parsed.trace) return bytes;
    for (const trace::Entry& entry : parsed.trace->entries)
        if (entry.kind == trace::Entry::Kind::kBytes && entry.direction == trace::Direction::kTx)
            bytes += QByteArray::fromStdString(entry.bytes);
    return bytes;
}

struct Recording {
    const char* name;
    QStringList target;  // the live target's faults
    QStringList flash;
    const char* outcome;
    int exit;
};

const Recording kRecordings[] = {
    {"GoodWithResends", {"--reject", "1x2", "--reject", "3"}, {}, "done", 0},
    {"ReplyTimeout", {"--stop-after-pages", "2"}, {"--reply-timeout", "500"}, "reply_timeout", 1},
    {"AdapterUnplugged", {"--hangup-after-pages", "2"}, {}, "port_lost", 1},
};

void PrintTo(const Recording& value, std::ostream* out) {
    *out << value.name;
}

class RecordReplayTest : public ::testing::TestWithParam<Recording> {};

TEST_P(RecordReplayTest, ReplayEndsAsTheRecordingDid) {
    const Recording& row = GetParam();
    VirtualTarget live(row.target + QStringList{"--greet-delay", "50"});
    QString error;
    ASSERT_TRUE(live.Start(&error)) << error.toStdString();
    const QString image = WriteProgram(live.Folder());
    const QString tracePath = live.FilePath(QStringLiteral("session.trace"));
    const FlashOutcome recorded =
        RunFlash(QStringList{"-p", live.LinkPath(), "--trace", tracePath} + row.flash + QStringList{image});
    ASSERT_EQ(recorded.exit, row.exit) << recorded.errors.toStdString();
    ASSERT_EQ(recorded.outcome, QLatin1String(row.outcome));
    const QByteArray recordedBytes = LoaderBytesIn(tracePath);
    // The target writes its transcript a moment after the loader has gone.
    EXPECT_TRUE(WaitFor([&] { return live.Received() == recordedBytes; }, 5s));

    VirtualTarget replay({"--replay", tracePath, "--port", live.LinkPath()});
    ASSERT_TRUE(replay.Start(&error)) << error.toStdString();
    const FlashOutcome replayed =
        RunFlash(QStringList{"-p", replay.LinkPath()} + row.flash + QStringList{image});
    EXPECT_EQ(replayed.exit, row.exit) << replayed.errors.toStdString();
    EXPECT_EQ(replayed.outcome, QLatin1String(row.outcome));
    ASSERT_TRUE(WaitFor([&] { return !replay.Running(); }));
    EXPECT_EQ(replay.ExitCode(), 0) << replay.Events().join('\n').toStdString();
    EXPECT_EQ(replay.Received(), recordedBytes);
}

INSTANTIATE_TEST_SUITE_P(Cli, RecordReplayTest, ::testing::ValuesIn(kRecordings),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ReplayTest, AnotherImageStopsTheReplayAtItsFirstByte) {
    VirtualTarget replay({"--replay", QStringLiteral(CORVAT_TRACES_DIR "/good-with-resends.trace")});
    QString error;
    ASSERT_TRUE(replay.Start(&error)) << error.toStdString();
    const QString image = WriteProgram(replay.Folder(), 4);
    const FlashOutcome run = RunFlash({"-p", replay.LinkPath(), image});
    EXPECT_EQ(run.exit, 1);
    ASSERT_TRUE(WaitFor([&] { return !replay.Running(); }));
    EXPECT_EQ(replay.ExitCode(), 1);
    // "<", "W", the page number 00 00, then the first data byte.
    EXPECT_TRUE(
        replay.HasEvent("replay: the loader differs from the recording at offset 4: expected 03, got 04"))
        << replay.Events().join('\n').toStdString();
}

struct Refusal {
    const char* name;
    std::function<QString(const VirtualTarget&, const QString& image)> trace;
    const char* text;
};

const Refusal kRefusals[] = {
    {"TheImage", [](auto&, const QString& image) { return image; }, "映像文件"},
    {"ThePortAsGiven", [](const VirtualTarget& t, auto&) { return t.LinkPath(); }, "串口"},
    {"ThePortsDevice",
     [](const VirtualTarget& t, auto&) { return QFileInfo(t.LinkPath()).canonicalFilePath(); }, "串口"},
    {"AFifoWithoutReader",
     [](const VirtualTarget& t, auto&) {
         const QString fifo = t.FilePath(QStringLiteral("fifo"));
         ::mkfifo(QFile::encodeName(fifo).constData(), 0600);
         return fifo;
     },
     "不是普通文件"},
    {"AFolder", [](const VirtualTarget& t, auto&) { return t.Folder(); }, "不是普通文件"},
    {"ASymbolicLink",
     [](const VirtualTarget& t, auto&) {
         QFile::link(t.FilePath(QStringLiteral("real.trace")), t.FilePath(QStringLiteral("link.trace")));
         return t.FilePath(QStringLiteral("link.trace"));
     },
     "符号链接"},
};

void PrintTo(const Refusal& value, std::ostream* out) {
    *out << value.name;
}

class TraceRefusalTest : public ::testing::TestWithParam<Refusal> {};

TEST_P(TraceRefusalTest, NothingIsSentAndNothingOverwritten) {
    VirtualTarget target;
    QString error;
    ASSERT_TRUE(target.Start(&error)) << error.toStdString();
    const QString image = WriteProgram(target.Folder());
    const QString trace = GetParam().trace(target, image);
    const FlashOutcome run = RunFlash({"-p", target.LinkPath(), "--trace", trace, image});
    EXPECT_EQ(run.exit, 2);
    EXPECT_TRUE(run.errors.contains(QString::fromUtf8(GetParam().text))) << run.errors.toStdString();
    EXPECT_TRUE(target.Received().isEmpty());
    EXPECT_EQ(QFileInfo(image).size(), 300);
}

INSTANTIATE_TEST_SUITE_P(Cli, TraceRefusalTest, ::testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TraceFileTest, APortThatCannotOpenLeavesAnEarlierTraceAlone) {
    QTemporaryDir dir;
    const QString image = WriteProgram(dir.path() + QLatin1Char('/'));
    const QString trace = dir.filePath(QStringLiteral("old.trace"));
    QFile old(trace);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("kept\n") == 5);
    old.close();
    const FlashOutcome run =
        RunFlash({"-p", dir.filePath(QStringLiteral("no-such-device")), "--trace", trace, image});
    EXPECT_EQ(run.exit, 2);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("kept\n"));
}

TEST(TraceFileTest, ATraceThatCannotBeWrittenFailsTheRun) {
    VirtualTarget target({"--greet-delay", "20"});
    QString error;
    ASSERT_TRUE(target.Start(&error)) << error.toStdString();
    const QString image = WriteProgram(target.Folder());
    // The disk "fills" at 100 bytes: the trace's first line already does not fit.
    const FlashOutcome run =
        RunFlash({"-p", target.LinkPath(), "--trace", target.FilePath(QStringLiteral("t.trace")), image}, [] {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{100, 100};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        });
    EXPECT_EQ(run.outcome, QLatin1String("done"));
    EXPECT_EQ(run.exit, 1);
    EXPECT_TRUE(run.errors.contains(QStringLiteral("跟踪不完整"))) << run.errors.toStdString();
    EXPECT_FALSE(run.summary[QStringLiteral("trace_error")].toString().isEmpty());
}

}  // namespace
}  // namespace corvat::test
