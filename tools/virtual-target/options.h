// Command line of the virtual target: what it claims to be and which faults it injects.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace corvat::vt {

struct Options {
    std::string linkPath;             // where the pseudo-terminal appears; empty: <own folder>/ports/COM1
    char kind = '0';                  // '0': 7168 bytes in 64-byte pages, '1': 15360 in 128-byte pages
    std::vector<std::string> idents;  // one per power-on, the last one repeats; empty: kind + "xg"
    std::string greeting = ">";
    std::string noise;                      // written at power-on, before the greeting
    std::chrono::milliseconds noiseGap{0};  // between the noise and the greeting
    int pageSize = 0;                       // 0: from the kind
    int capacity = 0;                       // 0: from the kind
    std::chrono::milliseconds greetDelay{300};
    std::chrono::milliseconds answerDelay{0};
    std::chrono::milliseconds identSplit{
        -1};  // >= 0: the identification goes out in two writes this far apart
    std::chrono::milliseconds replugDelay{1000};
    // After a page header the target is busy this long (from the header's last byte on the line); a data
    // frame that starts sooner is lost and the page rejected. 0: never busy. Of the loader's 5 ms pause a
    // paced line leaves about 2.9 ms once the header itself is on the wire; 1 ms keeps a margin for a
    // target process that reads late.
    std::chrono::milliseconds headerBusy{1};
    std::map<int, int> rejects;  // page -> how many times to reject it, per download
    int stopAfterPages = -1;
    int hangupAfterPages = -1;
    bool pace = false;
    int baud = 9600;
    bool manual = false;  // power on only by a command on stdin
    bool once = false;
    bool stats = false;
    std::string flashFile;
    std::string expectFile;
    std::string transcriptFile;
    int ports = 1;           // several boards at once, one process each, linked at consecutive COM names
    std::string label;       // names the port in the transcript when several share it
    std::string replayFile;  // a trace whose target side is played instead of the simulated boot loader
    std::string replayPort;  // the port of the trace to play; empty: the first one it names

    int EffectivePageSize() const { return pageSize > 0 ? pageSize : (kind == '1' ? 128 : 64); }
    int EffectiveCapacity() const { return capacity > 0 ? capacity : (kind == '1' ? 15360 : 7168); }
    // One byte's time on a line at this baud rate: a start bit, 8 data bits and a stop bit.
    std::chrono::steady_clock::duration ByteTime() const;
    std::string IdentFor(int powerOn) const;
};

struct ParseResult {
    std::optional<Options> options;  // empty when the program should stop (help shown or an error)
    std::string message;             // help text, or the error
    bool error = false;
};

ParseResult ParseOptions(const std::vector<std::string>& args);
std::string HelpText();

// Text arguments may carry any byte as \xNN; \\ is a backslash.
std::optional<std::string> Unescape(const std::string& text);

}  // namespace corvat::vt
