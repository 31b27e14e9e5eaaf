// corvat-flash run as a program against virtual targets, one scenario per row: the exit status, the
// flash each target received, and the JSON events each port reported.
#include <gtest/gtest.h>
#include <signal.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <functional>
#include <memory>

#include "hex/intel_hex.h"
#include "json_lines.h"
#include "support/virtual_target.h"

namespace corvat::test {
namespace {

using namespace std::chrono_literals;

enum class Image { kBin, kHex, kTooBig, kMalformedHex };

struct Board {
    QStringList options;  // the virtual target's
    QString outcome;      // per board on the port: "<capacity> done", or the failure's reason key
    bool flashed = false;
    int rejected = 0;  // page_rejected events expected
};

struct FlashRun;

struct Scenario {
    const char* name;
    Image image;
    std::vector<Board> boards;
    QStringList arguments;
    int exitStatus;
    std::function<void(FlashRun&)> during;  // drives the targets while corvat-flash runs
};

QByteArray Program(int length) {
    QByteArray bytes(length, '\0');
    for (int k = 0; k < length; ++k) bytes[k] = static_cast<char>((k * 7 + 3) & 0xFF);
    return bytes;
}

struct FlashRun {
    QProcess process;
    std::vector<std::unique_ptr<VirtualTarget>> targets;
    QByteArray out;

    QList<QJsonObject> Events() {
        out += process.readAllStandardOutput();
        return JsonLines(out);
    }
    int Count(const QString& event) {
        int count = 0;
        for (const QJsonObject& e : Events()) count += e.value(QStringLiteral("event")).toString() == event;
        return count;
    }
};

// The bytes the trace file shows for one port and direction: "<seconds> <port> tx|rx <hex bytes>".
QByteArray Traced(const QString& path, const QString& port, const char* direction) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QByteArray bytes;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() > 3 && fields[1] == port.toUtf8() && fields[2] == direction)
            for (const QByteArray& hex : fields.mid(3)) bytes += QByteArray::fromHex(hex);
    }
    return bytes;
}

void Loop(FlashRun& run) {
    ASSERT_TRUE(WaitFor([&] { return run.Count(QStringLiteral("done")) == 1; }, 60s));
    run.targets[0]->PowerCycle();
    ASSERT_TRUE(WaitFor([&] { return run.Count(QStringLiteral("done")) == 2; }, 60s));
    ::kill(static_cast<pid_t>(run.process.processId()), SIGINT);
}

const QStringList kQuickReply{QStringLiteral("--reply-timeout"), QStringLiteral("1500")};

const Scenario kScenarios[] = {
    {"GoodBoardFromHex", Image::kHex, {{{}, "7168 done", true}}, {}, 0, {}},
    {"RejectedPagesAreResent",
     Image::kBin,
     {{{"--kind", "1", "--reject", "1x2", "--reject", "2"}, "15360 done", true, 3}},
     {},
     0,
     {}},
    {"BoardNeverGreets",
     Image::kBin,
     {{{"--manual"}, "greeting_timeout"}},
     {"--greeting-timeout", "1"},
     1,
     {}},
    {"BoardStopsAnswering",
     Image::kBin,
     {{{"--stop-after-pages", "2"}, "7168 reply_timeout"}},
     kQuickReply,
     1,
     {}},
    {"PageRejectedForEver",
     Image::kBin,
     {{{"--reject", "3x1000"}, "7168 too_many_resends", false, 4}},
     {"--max-resends", "3"},
     1,
     {}},
    {"AdapterUnplugged", Image::kBin, {{{"--hangup-after-pages", "2"}, "7168 port_lost"}}, {}, 1, {}},
    {"ImageTooBigForBoard", Image::kTooBig, {{{}, "7168 image_too_big"}}, {}, 1, {}},
    {"WrongKindRefused", Image::kBin, {{{"--kind", "1"}, "15360 wrong_kind"}}, {"--kind", "0"}, 1, {}},
    {"MalformedHex", Image::kMalformedHex, {{{}, ""}}, {}, 2, {}},
    {"ThreePortsOneFails",
     Image::kBin,
     {{{}, "7168 done", true},
      {{"--stop-after-pages", "1"}, "7168 reply_timeout"},
      {{"--kind", "1"}, "15360 done", true}},
     {"--reply-timeout", "4000"},
     1,
     {}},
    {"LoopTwoBoards", Image::kBin, {{{}, "7168 done 7168 done", true}}, {"--loop"}, 0, Loop},
};

void PrintTo(const Scenario& value, std::ostream* out) {
    *out << value.name;
}

class FlashTest : public ::testing::TestWithParam<Scenario> {};

TEST_P(FlashTest, Scenario) {
    const Scenario& scenario = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray program = Program(scenario.image == Image::kTooBig ? 7169 : 300);
    QByteArray file = program;
    QString name = QStringLiteral("image.bin");
    if (scenario.image == Image::kHex || scenario.image == Image::kMalformedHex) {
        const auto span = std::span(reinterpret_cast<const std::uint8_t*>(program.constData()), 300);
        file = QByteArray::fromStdString(hex2bin::FormatIntelHex(span));
        if (scenario.image == Image::kMalformedHex) file[1] = 'G';  // a non-hex digit in the first record
        name = QStringLiteral("IMAGE.HEX");
    }
    QFile image(dir.filePath(name));
    ASSERT_TRUE(image.open(QIODevice::WriteOnly) && image.write(file) == file.size());
    image.close();

    FlashRun run;
    QStringList arguments{QStringLiteral("--json"), QStringLiteral("--reply-timeout"),
                          QStringLiteral("10000")};
    for (const Board& board : scenario.boards) {
        run.targets.push_back(std::make_unique<VirtualTarget>(board.options));
        QString error;
        ASSERT_TRUE(run.targets.back()->Start(&error)) << error.toStdString();
        arguments << QStringLiteral("-p") << run.targets.back()->LinkPath();
    }
    const QString tracePath = dir.filePath(QStringLiteral("trace.txt"));
    arguments << scenario.arguments << QStringLiteral("--trace") << tracePath << image.fileName();
    run.process.start(QStringLiteral(CORVAT_PROGRAM_DIR "/corvat-flash"), arguments);
    ASSERT_TRUE(run.process.waitForStarted());
    if (scenario.during) scenario.during(run);
    ASSERT_TRUE(WaitFor([&] { return run.process.state() == QProcess::NotRunning; }, 120s));
    const QString errors = QString::fromUtf8(run.process.readAllStandardError());
    EXPECT_EQ(run.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.process.exitCode(), scenario.exitStatus) << errors.toStdString();

    const QList<QJsonObject> events = run.Events();
    if (scenario.exitStatus == 2) {
        // A refusal still tells a program reading stdout why, and ends with the summary.
        ASSERT_EQ(events.size(), 2);
        EXPECT_EQ(events[0][QStringLiteral("event")].toString(), QStringLiteral("error"));
        EXPECT_EQ(events[0][QStringLiteral("reason")].toString(), QStringLiteral("image_refused"));
        EXPECT_EQ(events[1][QStringLiteral("event")].toString(), QStringLiteral("summary"));
        EXPECT_TRUE(errors.contains(QStringLiteral("第 1 行"))) << errors.toStdString();
        EXPECT_TRUE(run.targets[0]->Received().isEmpty());
        return;
    }
    int done = 0;
    int failed = 0;
    for (std::size_t i = 0; i < scenario.boards.size(); ++i) {
        const Board& board = scenario.boards[i];
        const VirtualTarget& target = *run.targets[i];
        QStringList outcome;
        int rejected = 0;
        for (const QJsonObject& e : events) {
            if (e[QStringLiteral("port")].toString() != target.LinkPath()) continue;
            const QString event = e[QStringLiteral("event")].toString();
            rejected += event == QLatin1String("page_rejected");
            if (event == QLatin1String("identified"))
                outcome << QString::number(e[QStringLiteral("capacity")].toInt());
            if (event == QLatin1String("done")) outcome << event, ++done;
            if (event == QLatin1String("failed")) outcome << e[QStringLiteral("reason")].toString(), ++failed;
        }
        SCOPED_TRACE(target.LinkPath().toStdString());
        EXPECT_EQ(Traced(tracePath, target.LinkPath(), "tx"), target.Received());
        EXPECT_EQ(Traced(tracePath, target.LinkPath(), "rx"), target.Sent());
        EXPECT_EQ(outcome.join(QLatin1Char(' ')), board.outcome) << errors.toStdString();
        EXPECT_EQ(rejected, board.rejected);
        const QByteArray flash = target.Flash();
        if (board.flashed) {
            ASSERT_GE(flash.size(), program.size());
            EXPECT_EQ(flash.left(program.size()), program);
            EXPECT_EQ(flash.mid(program.size()), QByteArray(flash.size() - program.size(), '\xFF'));
        } else {
            EXPECT_TRUE(flash.isEmpty());
            // Nothing is ever sent past the identification to a board that does not fit.
            if (scenario.image == Image::kTooBig) {
                EXPECT_EQ(target.Received(), QByteArray("<"));
            }
        }
    }
    ASSERT_FALSE(events.isEmpty());
    const QJsonObject summary = events.back();
    EXPECT_EQ(summary[QStringLiteral("event")].toString(), QStringLiteral("summary"));
    EXPECT_EQ(summary[QStringLiteral("done")].toInt(), done);
    EXPECT_EQ(summary[QStringLiteral("failed")].toInt(), failed);
}

INSTANTIATE_TEST_SUITE_P(Cli, FlashTest, ::testing::ValuesIn(kScenarios),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvat::test
