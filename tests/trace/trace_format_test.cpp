// The trace's lines: what is written reads back the same, and a damaged line is refused with its number.
// The writer's files and failed writes are tested through corvat-flash's own runs.
#include <gtest/gtest.h>

#include "trace/trace_format.h"

namespace corvat::trace {
namespace {

TEST(TraceFormatTest, WhatIsWrittenReadsBack) {
    Header header;
    header.program = "corvat-flash";
    header.programVersion = "1.0";
    header.image = "my fw%1.bin";
    header.imageSize = 300;
    header.imageSha256 = "ab12";
    header.ports = {"COM1", "/dev/odd,name"};
    const std::string text =
        HeaderLine(header) + BytesLine(12, "COM1", Direction::kRx, ">") +
        BytesLine(40, "/dev/odd,name", Direction::kTx, std::string("\x00\xFF", 2)) +
        NoteLine(50, "COM1", "failed", {{"reason", "reply_timeout"}, {"message", "应答 超时"}});
    EXPECT_NE(text.find("image=my%20fw%251.bin"), std::string::npos) << text;
    EXPECT_NE(text.find("40 /dev/odd%2Cname tx 00 FF\n"), std::string::npos) << text;

    const ParseOutcome parsed = ParseTrace(text);
    ASSERT_TRUE(parsed.trace) << parsed.error;
    EXPECT_EQ(parsed.trace->header.image, "my fw%1.bin");
    EXPECT_EQ(parsed.trace->header.imageSize, 300);
    EXPECT_EQ(parsed.trace->header.ports, (std::vector<std::string>{"COM1", "/dev/odd,name"}));
    ASSERT_EQ(parsed.trace->entries.size(), 3u);
    EXPECT_EQ(parsed.trace->entries[1].bytes, std::string("\x00\xFF", 2));
    EXPECT_EQ(parsed.trace->entries[1].port, "/dev/odd,name");
    ASSERT_NE(parsed.trace->entries[2].Field("message"), nullptr);
    EXPECT_EQ(*parsed.trace->entries[2].Field("message"), "应答 超时");
}

struct Bad {
    const char* name;
    const char* text;
    int line;
    const char* error;
};

const Bad kBad[] = {
    {"Empty", "", 1, "empty"},
    {"NotATrace", "hello\n", 1, "corvat-trace"},
    {"LaterVersion", "corvat-trace 2 program=x\n", 1, "version"},
    {"OddHex", "corvat-trace 1\n\n5 COM1 rx 3\n", 3, "hex"},
    {"NoTime", "corvat-trace 1\nCOM1 rx 3E\n", 2, "microseconds"},
    {"UnknownDirection", "corvat-trace 1\n5 COM1 up 3E\n", 2, "up"},
    {"BadEscape", "corvat-trace 1\n5 COM1 note open device=%G1\n", 2, "field"},
};

class BadTraceTest : public ::testing::TestWithParam<Bad> {};

TEST_P(BadTraceTest, IsRefusedAtItsLine) {
    const ParseOutcome parsed = ParseTrace(GetParam().text);
    EXPECT_FALSE(parsed.trace);
    EXPECT_EQ(parsed.line, GetParam().line);
    EXPECT_NE(parsed.error.find(GetParam().error), std::string::npos) << parsed.error;
}

INSTANTIATE_TEST_SUITE_P(Trace, BadTraceTest, ::testing::ValuesIn(kBad),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvat::trace
