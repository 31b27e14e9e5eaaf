#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <cstdio>

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
};
QString ReasonKey(FailReason reason);

// One thing that happened on one port. Only the fields of its type are meaningful.
struct FlashEvent {
    enum class Type { kOpened, kGreeted, kIdentified, kPageAccepted, kPageRejected, kDone, kFailed };
    Type type = Type::kOpened;
    QString port;    // as given on the command line
    QString device;  // kOpened: the device opened for it
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
    // kFailed
    FailReason reason = FailReason::kInterrupted;
    QString message;
};

struct FlashSummary {
    int done = 0;
    int failed = 0;
    bool interrupted = false;
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

// Writes the bytes and flushes at once: a reader at the other end of a pipe sees each line when it happens.
void WriteOut(std::FILE* out, const QByteArray& bytes);

}  // namespace corvat::cli
