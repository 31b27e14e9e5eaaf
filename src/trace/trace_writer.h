#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "trace/trace_format.h"

namespace corvat::trace {

// A trace file that is safe to name on a command line: created if missing, never followed through a
// symbolic link, never waited on (a FIFO without a reader fails at once instead of hanging), and refused
// unless it is a regular file. Only then is it emptied. The descriptor is blocking, or -1 with *error, a
// reason in the operators' language.
int OpenTraceFile(const std::string& path, std::string* error);

// Writes a trace, one line per write(2), so that a crash leaves whole lines. Until a file is attached it
// writes nothing: a program that opens its trace late still wires its links up early. The first failed
// write is kept and ends all writing; the program reports it, since a lost trace must never pass unnoticed.
class TraceWriter {
  public:
    TraceWriter() = default;
    TraceWriter(const TraceWriter&) = delete;
    TraceWriter& operator=(const TraceWriter&) = delete;
    ~TraceWriter();

    // Takes the descriptor; the clock of the trace starts now.
    void Attach(int fd);
    bool Attached() const { return m_fd >= 0; }

    void WriteHeader(const Header& header);
    void Bytes(std::string_view port, Direction direction, std::string_view bytes);
    void Note(std::string_view port, std::string_view note, const Fields& fields = {});

    bool Failed() const { return !m_error.empty(); }
    const std::string& Error() const { return m_error; }

  private:
    std::int64_t Micros() const;
    void Write(const std::string& line);

    int m_fd = -1;
    std::chrono::steady_clock::time_point m_start{};
    std::string m_error;
};

}  // namespace corvat::trace
