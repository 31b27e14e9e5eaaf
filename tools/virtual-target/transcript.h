// The target's log of every byte on the line and every event, one timestamped line each.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>

namespace corvat::vt {

using Clock = std::chrono::steady_clock;

class Transcript {
  public:
    // An empty path writes to standard output.
    bool Open(const std::string& path, std::string* error);
    ~Transcript();

    void Bytes(std::string_view direction, std::string_view bytes, Clock::time_point when);
    void Event(const std::string& text);

  private:
    void Line(Clock::time_point when, const std::string& body);

    std::FILE* m_file = stdout;
    bool m_own = false;
    Clock::time_point m_start = Clock::now();
};

}  // namespace corvat::vt
