#include "transcript.h"

#include <cerrno>
#include <cstring>

namespace corvat::vt {

bool Transcript::Open(const std::string& path, std::string* error) {
    if (path.empty()) return true;
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) {
        *error = "cannot write the transcript " + path + ": " + std::strerror(errno);
        return false;
    }
    m_file = file;
    m_own = true;
    return true;
}

Transcript::~Transcript() {
    if (m_own) std::fclose(m_file);
}

void Transcript::Bytes(std::string_view direction, std::string_view bytes, Clock::time_point when) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string body(direction);
    std::string printable;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        body += ' ';
        body += kHex[byte >> 4];
        body += kHex[byte & 0xF];
        printable += (byte >= 0x20 && byte < 0x7F && byte != '\'') ? c : '.';
    }
    Line(when, body + " '" + printable + "'");
}

void Transcript::Event(const std::string& text) {
    Line(Clock::now(), "-- " + text);
}

void Transcript::Line(Clock::time_point when, const std::string& body) {
    const double seconds = std::chrono::duration<double>(when - m_start).count();
    // Flushed at once: tests and a developer's terminal read it while the target runs.
    std::fprintf(m_file, "%.3f %s\n", seconds, body.c_str());
    std::fflush(m_file);
}

}  // namespace corvat::vt
