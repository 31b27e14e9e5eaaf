// The command line: what is accepted, what is refused with status 2, and the loop's greeting limits.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "cli/options.h"
#include "cli/path_checks.h"

namespace corvat::cli {
namespace {

using std::chrono::milliseconds;

struct Case {
    const char* name;
    QStringList arguments;
    int exitStatus;         // 0 with options, or with help and version text
    const char* text = "";  // expected within the printed text
    milliseconds firstGreeting{60000};
    milliseconds nextGreeting{60000};
};

const Case kCases[] = {
    {"OneBoard", {"-p", "COM1", "a.bin"}, 0},
    {"PortsInEveryForm", {"-pCOM1", "--port=/dev/ttyUSB0", "--port", "COM2", "--", "-odd.hex"}, 0},
    {"GreetingForEver",
     {"-p", "COM1", "--greeting-timeout", "0", "a.bin"},
     0,
     "",
     milliseconds(0),
     milliseconds(0)},
    {"LoopWaitsForEveryBoardForEver",
     {"--loop", "-p", "COM1", "a.bin"},
     0,
     "",
     milliseconds(0),
     milliseconds(0)},
    {"LoopWithGivenLimit",
     {"--loop", "--greeting-timeout=5", "-p", "COM1", "a.bin"},
     0,
     "",
     milliseconds(5000),
     milliseconds(5000)},
    {"Help", {"--help", "-p"}, 0, "--max-resends"},
    {"Version", {"--version"}, 0, "corvat-flash " CORVAT_VERSION},
    {"NoImage", {"-p", "COM1"}, 2, "缺少映像文件"},
    {"TwoImages", {"-p", "COM1", "a.bin", "b.bin"}, 2, "只能给一个映像文件"},
    {"NoPort", {"a.bin"}, 2, "-p"},
    {"SamePortTwice", {"-p", "COM1", "-p", "COM1", "a.bin"}, 2, "COM1"},
    {"ValueMissing", {"a.bin", "-p"}, 2, "缺少取值"},
    {"NotANumber", {"-p", "COM1", "--reply-timeout", "2s", "a.bin"}, 2, "2s"},
    {"ZeroReplyTimeout", {"-p", "COM1", "--reply-timeout", "0", "a.bin"}, 2, "--reply-timeout"},
    {"NegativeResends", {"-p", "COM1", "--max-resends", "-1", "a.bin"}, 2, "--max-resends"},
    {"KindTwo", {"-p", "COM1", "--kind", "2", "a.bin"}, 2, "--kind"},
    {"UnknownOption", {"-p", "COM1", "--fast", "a.bin"}, 2, "--fast"},
    {"FlagWithValue", {"-p", "COM1", "--loop=1", "a.bin"}, 2, "--loop=1"},
    {"ComElevenIsAPort", {"-p", "COM11", "-p", "COM255", "a.bin"}, 0},
    {"DeviceNameWithoutPath", {"-p", "ttyUSB2", "a.bin"}, 2, "COM1 到 COM255"},
    {"PortZero", {"-p", "COM0", "a.bin"}, 2, "/dev/ttyUSB0"},
    {"PortBeyondAByte", {"-p", "COM256", "a.bin"}, 2, "COM1 到 COM255"},
    {"ComWithBlank", {"-p", "COM 1", "a.bin"}, 2, "COM1 到 COM255"},
    {"ReplyShorterThanAFrame", {"-p", "COM1", "--reply-timeout", "136", "a.bin"}, 2, "至少为 137 毫秒"},
    {"ReplyAsLongAsAFrame", {"-p", "COM1", "--reply-timeout", "137", "a.bin"}, 0},
    {"ListPorts", {"--list-ports", "--json"}, 0},
    {"ListPortsTakesNoImage", {"--list-ports", "a.bin"}, 2, "--list-ports"},
    {"EmptyTraceName", {"-p", "COM1", "--trace", "", "a.bin"}, 2, "--trace 的文件名为空"},
    {"EmptyTraceNameInline", {"-p", "COM1", "--trace=", "a.bin"}, 2, "--trace 的文件名为空"},
};

void PrintTo(const Case& value, std::ostream* out) {
    *out << value.name;
}

class OptionsTest : public ::testing::TestWithParam<Case> {};

TEST_P(OptionsTest, Parses) {
    const Case& c = GetParam();
    const CommandLine line = ParseCommandLine(c.arguments);
    EXPECT_EQ(line.exitStatus, c.exitStatus);
    EXPECT_TRUE(line.text.contains(QString::fromUtf8(c.text))) << line.text.toStdString();
    EXPECT_EQ(line.json, c.arguments.contains("--json"));
    if (!line.options) {
        EXPECT_FALSE(line.text.isEmpty());
        return;
    }
    EXPECT_EQ(line.options->ports.size(),
              c.arguments.filter("COM").size() + c.arguments.filter("/dev/").size());
    if (line.options->listPorts) return;
    EXPECT_EQ(line.options->GreetingLimit(0), c.firstGreeting);
    EXPECT_EQ(line.options->GreetingLimit(1), c.nextGreeting);
}

INSTANTIATE_TEST_SUITE_P(Cli, OptionsTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Files that an option writes, and ports that would share one device, in a folder whose ports/COM3 is a
// link to a device stand-in.
TEST(OutputFileTest, RefusesWhatWouldDestroyOrHang) {
    QTemporaryDir dir;
    const QString appDir = dir.path() + QLatin1Char('/');
    const QString device = appDir + QStringLiteral("tty-stand-in");
    const QString image = appDir + QStringLiteral("fw.bin");
    for (const QString& file : {device, image}) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(QDir(appDir).mkdir(QStringLiteral("ports")));
    ASSERT_TRUE(QFile::link(device, appDir + QStringLiteral("ports/COM3")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(appDir + QStringLiteral("fifo")).constData(), 0600), 0);

    const Result<QStringList> devices = PortDevices({"COM3", "COM1"}, appDir);
    ASSERT_TRUE(devices) << devices.message().toStdString();
    EXPECT_FALSE(PortDevices({"COM3", device}, appDir));
    EXPECT_FALSE(PortDevices({"COM1", "COM01"}, appDir));

    const struct {
        const char* name;
        QString path;
        const char* refusal;  // empty: accepted
    } rows[] = {
        {"Empty", "", "为空"},
        {"TheImage", appDir + "./fw.bin", "映像文件"},
        {"APortsDevice", device, "串口设备"},
        {"APortsLink", appDir + "ports/COM3", "串口设备"},
        {"AFifo", appDir + "fifo", "不是普通文件"},
        {"AFolder", appDir + "ports", "不是普通文件"},
        {"ANewFile", appDir + "records.jsonl", ""},
        {"AnExistingFile", image + ".old", ""},
    };
    for (const auto& row : rows) {
        const Result<> checked = CheckOutputFile("--record", row.path, image, *devices);
        EXPECT_EQ(checked.ok(), *row.refusal == '\0') << row.name;
        EXPECT_TRUE(checked.message().contains(QString::fromUtf8(row.refusal))) << row.name;
    }
}

}  // namespace
}  // namespace corvat::cli
