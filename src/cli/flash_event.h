#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <cstdio>
#include <functional>

namespace corvat::cli {

// Why a board failed. Each has a stable English key for programs and a Chinese text for people.
enum class FailReason {
    kGreetingTimeout,
    kUnknownKind,
    kWrongKind,
    kImageTooBig,
    kReplyTimeout,
    kTooManyResends,
    kPortLost,
    kUnexpectedReply,
    kInterrupted,
    kUnconfirmed,  // after the end marker the board said more than one more "!"
    kBoardReset,   // the board greeted again in the middle of its download
};
QString ReasonKey(FailReason reason);

// One thing that happened on one port. Only the fields of its type are meaningful.
struct FlashEvent {
    enum class Type {
        kOpened,
        kGreeted,
        kIdentified,
        kPageAccepted,
        kPageRejected,
        kDone,
        kFailed,
        kWaitingPort,  // in a loop, the port's device vanished; it is tried again until it is back
        kPortBack,
    };
    Type type = Type::kOpened;
    QString port;    // as given on the command line
    QString device;  // kOpened, kPortBack: the device opened for it
    int board = 0;   // 1 for the first board greeted on this port, counting on in a loop
    // kIdentified
    int kind = -1;
    std::int32_t capacity = 0;
    std::int32_t pageSize = 0;
    QString version;
    // kPageAccepted, kPageRejected (index -1: the download command itself), kDone (of: pages sent)
    std::int32_t index = -1;
    std::int32_t of = 0;
    std::int32_t resends = 0;  // of this page; for kDone, of the whole board
    std::int64_t elapsedMs = 0;
    // kFailed; kWaitingPort (message only: why the port went)
    FailReason reason = FailReason::kInterrupted;
    QString message;
};

struct FlashSummary {
    int done = 0;
    int failed = 0;
    bool interrupted = false;
    QString signal;  // the signal that interrupted the run ("SIGHUP"), if one did
    std::int64_t elapsedMs = 0;
    QString traceError;  // why the trace is incomplete; empty when it is whole or there is none
};

// Where the sessions report to: the terminal, plain lines, JSON lines, or several of them.
class FlashSink {
  public:
    virtual ~FlashSink() = default;
    virtual void Report(const FlashEvent& event) = 0;
    virtual void Finish(const FlashSummary& summary) = 0;
};

// "m:ss", or "h:mm:ss" from an hour on.
QString ClockText(std::int64_t ms);

// Bytes as people read them in a message: "3E", "FF FF".
QString HexText(const QByteArray& bytes);
QString HexText(char byte);

// Writes the bytes and flushes at once: a reader at the other end of a pipe sees each line when it happens.
// When stdout's reader has gone (EPIPE), the notice set with OnStdoutBroken runs, once.
void WriteOut(std::FILE* out, const QByteArray& bytes);
void OnStdoutBroken(std::function<void()> notice);

// The current time as ISO 8601 UTC with milliseconds: 2026-12-07T23:08:12.123Z.
QString UtcTimeText();

}  // namespace corvat::cli
