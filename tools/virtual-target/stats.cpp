#include "stats.h"

#include <algorithm>
#include <cstdio>

namespace corvat::vt {

namespace {

constexpr double kBitsPerByte = 10.0;  // start bit, 8 data bits, stop bit
constexpr double kHeaderToDataPauseMs = 5.0;

std::string Format(const char* format, double a, double b = 0, double c = 0, double d = 0) {
    char text[200];
    std::snprintf(text, sizeof text, format, a, b, c, d);
    return text;
}

double Percentile(std::vector<double> values, double share) {
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(share * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

}  // namespace

void Stats::DownloadStarted(Clock::time_point commandRead) {
    *this = Stats(m_baud);
    m_active = true;
    m_start = commandRead;
    m_lineBytes = 1;  // the command itself
}

void Stats::AnswerWritten(Clock::time_point when, std::size_t bytes) {
    if (!m_active) return;
    m_lineBytes += bytes;
    m_answerAt = when;
    m_awaitingReaction = true;
}

void Stats::BytesRead(Clock::time_point when, std::size_t bytes) {
    if (!m_active) return;
    m_lineBytes += bytes;
    if (!m_awaitingReaction) return;
    m_awaitingReaction = false;
    m_reactionsUs.push_back(std::chrono::duration<double, std::micro>(when - m_answerAt).count());
}

void Stats::DownloadEnded(Clock::time_point markerDone) {
    m_end = markerDone;
    m_active = false;
}

std::vector<std::string> Stats::Report() const {
    std::vector<std::string> lines;
    if (!m_reactionsUs.empty()) {
        const double meanUs = [&] {
            double sum = 0;
            for (double v : m_reactionsUs) sum += v;
            return sum / static_cast<double>(m_reactionsUs.size());
        }();
        lines.push_back(Format("stats reaction_us median %.1f p99 %.1f max %.1f mean %.1f",
                               Percentile(m_reactionsUs, 0.5), Percentile(m_reactionsUs, 0.99),
                               *std::max_element(m_reactionsUs.begin(), m_reactionsUs.end()), meanUs) +
                        " samples " + std::to_string(m_reactionsUs.size()));
    }
    const double totalMs = std::chrono::duration<double, std::milli>(m_end - m_start).count();
    const double byteMs = 1000.0 * kBitsPerByte / m_baud;
    // Everything the line must carry, one byte after another, plus the loader's pause in every
    // page; the command's own byte time is included because timing starts when it was read.
    const double floorMs = static_cast<double>(m_lineBytes) * byteMs + m_frames * kHeaderToDataPauseMs;
    lines.push_back(Format("stats download_ms %.1f floor_ms %.1f ratio %.4f", totalMs, floorMs,
                           floorMs > 0 ? totalMs / floorMs : 0.0) +
                    " frames " + std::to_string(m_frames) + " line_bytes " + std::to_string(m_lineBytes) +
                    Format(" pages_per_s %.1f", totalMs > 0 ? m_frames * 1000.0 / totalMs : 0.0));
    return lines;
}

}  // namespace corvat::vt
