#pragma once

#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>

#include "platform/result.h"

namespace corvat::cli {

struct FlashOptions {
    QString image;
    QStringList ports;  // port texts as the window takes them: COM3, /dev/ttyUSB0
    // Zero waits for ever. In a loop no wait for a board has a limit unless one is given.
    std::chrono::seconds greetingTimeout{60};
    bool greetingTimeoutGiven = false;
    std::chrono::milliseconds replyTimeout{2000};
    int maxResends = 10;
    std::optional<int> kind;  // 0 or 1: refuse a board of the other kind
    bool loop = false;
    bool json = false;
    bool quiet = false;
    QString traceFile;
    std::optional<QString> recordFile;  // given, even as an empty name, which is refused later
    bool listPorts = false;

    // The greeting time-out that applies to the board after `boardsSeen` boards on a port.
    std::chrono::milliseconds GreetingLimit(int boardsSeen) const;
};

// What the command line asked for: options to run with, or a text to print and a status to exit with.
struct CommandLine {
    std::optional<FlashOptions> options;
    QString text;  // help or version (stdout), or the usage error (stderr)
    int exitStatus = 0;
    QString error;      // the usage error alone, for the JSON error event
    bool json = false;  // --json was asked for, even on a command line that is otherwise refused
};

constexpr int kExitFlashed = 0;
constexpr int kExitBoardFailed = 1;
constexpr int kExitUsage = 2;

CommandLine ParseCommandLine(const QStringList& arguments);

// The shortest reply time-out that can be kept: the largest kind's page frame takes this long on the
// 9600-baud line before its answer can even begin.
std::chrono::milliseconds MinimumReplyTimeout();

// A -p text must be COM1 to COM255 or an absolute device path; the refusal shows both forms.
Result<> CheckPortForm(const QString& portText);
QString HelpText();

}  // namespace corvat::cli
