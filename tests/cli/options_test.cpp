// The command line: what is accepted, what is refused with status 2, and the loop's greeting limits.
#include <gtest/gtest.h>

#include "cli/options.h"

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
    {"LoopWaitsForNextBoardForEver",
     {"--loop", "-p", "COM1", "a.bin"},
     0,
     "",
     milliseconds(60000),
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
    if (!line.options) {
        EXPECT_FALSE(line.text.isEmpty());
        return;
    }
    EXPECT_EQ(line.options->ports.size(),
              c.arguments.filter("COM").size() + c.arguments.filter("/dev/").size());
    EXPECT_EQ(line.options->GreetingLimit(0), c.firstGreeting);
    EXPECT_EQ(line.options->GreetingLimit(1), c.nextGreeting);
}

INSTANTIATE_TEST_SUITE_P(Cli, OptionsTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvat::cli
