#include "boot_loader.h"

#include <cstdio>

namespace corvat::vt {

namespace {

constexpr char kGreetingAnswer = '<';
constexpr char kDownloadCommand = 'W';
constexpr char kRelease = 'E';
constexpr char kAccepted = '!';
constexpr char kRejected = '@';
constexpr unsigned char kEndMarkerByte = 0xFF;
constexpr std::size_t kHeaderBytes = 2;

std::string Hex(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X", value & 0xFF);
    return text;
}

unsigned Byte(char c) {
    return static_cast<unsigned char>(c);
}

// Bytes of one read arrived together, unless the line is paced.
Clock::duration ByteTime(const Options& options) {
    return options.pace ? options.ByteTime() : Clock::duration::zero();
}

std::string Milliseconds(Clock::duration duration) {
    char text[16];
    std::snprintf(text, sizeof text, "%.1f", std::chrono::duration<double, std::milli>(duration).count());
    return text;
}

}  // namespace

BootLoader::BootLoader(const Options& options, Wire& wire, Stats& stats)
    : m_options(options),
      m_wire(wire),
      m_stats(stats),
      m_flash(options.EffectiveCapacity()),
      m_pageSize(options.EffectivePageSize()),
      m_byteTime(ByteTime(options)) {}

void BootLoader::PowerOn(Clock::time_point now) {
    m_phase = Phase::kGreeted;
    m_pending.clear();
    m_wire.Note("power on (" + std::to_string(m_flash.Capacity()) + " bytes of flash in " +
                std::to_string(m_pageSize) + "-byte pages)");
    if (!m_options.noise.empty()) m_wire.Send(m_options.noise, now);
    m_wire.Send(m_options.greeting, now + m_options.noiseGap);
}

void BootLoader::PowerOff() {
    if (m_phase == Phase::kDownloading) m_wire.Note("power off in the middle of a download");
    m_phase = Phase::kOff;
    m_pending.clear();
}

void BootLoader::Receive(std::string_view bytes, Clock::time_point lineDone) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        switch (m_phase) {
            case Phase::kOff:
                m_wire.Note("powered off: ignored");
                return;
            case Phase::kSilent:
            case Phase::kReleased:
                return;  // the byte is in the transcript; nothing listens any more
            case Phase::kGreeted:
                OnGreetedByte(bytes[i], lineDone);
                break;
            case Phase::kIdentified:
                OnIdentifiedByte(bytes[i], lineDone);
                break;
            case Phase::kDownloading:
                // On a paced line the bytes of one read follow each other on the wire.
                OnDownloadByte(bytes[i], lineDone - m_byteTime * static_cast<long>(bytes.size() - 1 - i));
                break;
        }
    }
}

void BootLoader::OnGreetedByte(char byte, Clock::time_point at) {
    if (byte != kGreetingAnswer) {
        m_wire.Note("unexpected " + Hex(Byte(byte)) + " while waiting for '<': ignored");
        return;
    }
    const std::string ident = m_options.IdentFor(m_powerOns++);
    const auto due = at + m_options.answerDelay;
    if (m_options.identSplit.count() >= 0 && ident.size() > 1) {
        m_wire.Send(ident.substr(0, 1), due);
        m_wire.Send(ident.substr(1), due + m_options.identSplit);
    } else {
        m_wire.Send(ident, due);
    }
    m_phase = Phase::kIdentified;
}

void BootLoader::OnIdentifiedByte(char byte, Clock::time_point at) {
    if (byte == kDownloadCommand) {
        StartDownload(at);
    } else if (byte == kRelease) {
        m_phase = Phase::kReleased;
        m_wire.Note("released: the target runs its program");
    } else {
        m_wire.Note("unexpected " + Hex(Byte(byte)) + " while waiting for 'W' or 'E': ignored");
    }
}

void BootLoader::StartDownload(Clock::time_point at) {
    // Like the boot loaders this one stands for, a download starts from erased flash.
    m_flash.Erase();
    m_rejectsLeft = m_options.rejects;
    m_accepted = 0;
    m_rejected = 0;
    m_pending.clear();
    m_phase = Phase::kDownloading;
    m_stats.DownloadStarted(Clock::now());
    m_wire.Note("download started, flash erased");
    Answer(kAccepted, at);
}

void BootLoader::OnDownloadByte(char byte, Clock::time_point done) {
    m_pending += byte;
    if (m_pending.size() < kHeaderBytes) return;
    if (m_pending.size() == kHeaderBytes) {
        if (Byte(m_pending[0]) == kEndMarkerByte && Byte(m_pending[1]) == kEndMarkerByte) {
            m_pending.clear();
            EndDownload(done);
            return;
        }
        // Like a real boot loader, it is busy with the header for a moment and misses what comes then.
        m_headerDone = done;
        m_dataTooSoon.reset();
        return;
    }
    if (m_pending.size() == kHeaderBytes + 1) {
        const auto gap = (done - m_byteTime) - m_headerDone;
        if (gap < m_options.headerBusy) m_dataTooSoon = gap;
    }
    const std::size_t frameBytes = kHeaderBytes + static_cast<std::size_t>(m_pageSize) + 1;
    if (m_pending.size() < frameBytes) return;
    const int page = static_cast<int>(Byte(m_pending[0]) * 256 + Byte(m_pending[1]));
    if (m_dataTooSoon) {
        LosePage(page, done);
    } else {
        CheckPage(page, m_pending, done);
    }
    m_pending.clear();
}

void BootLoader::LosePage(int page, Clock::time_point at) {
    m_stats.FrameReceived();
    ++m_rejected;
    m_wire.Note("page " + std::to_string(page) + " rejected: its data began " + Milliseconds(*m_dataTooSoon) +
                " ms after the header, while the target was busy (" +
                std::to_string(m_options.headerBusy.count()) + " ms)");
    Answer(kRejected, at);
}

void BootLoader::CheckPage(int page, std::string_view frame, Clock::time_point at) {
    m_stats.FrameReceived();
    unsigned sum = 0;
    for (std::size_t i = 0; i + 1 < frame.size(); ++i) sum = (sum + Byte(frame[i])) & 0xFF;
    const unsigned sent = Byte(frame.back());
    const std::string name = "page " + std::to_string(page);
    if (m_options.hangupAfterPages >= 0 && m_accepted >= m_options.hangupAfterPages) {
        m_wire.Note(name + " arrived: hanging up");
        m_wire.HangUp();
        m_phase = Phase::kOff;
        return;
    }
    if (m_options.stopAfterPages >= 0 && m_accepted >= m_options.stopAfterPages) {
        m_wire.Note(name + " arrived: no longer answering");
        m_phase = Phase::kSilent;
        return;
    }
    std::string reason;
    if (sum != sent) {
        reason = "checksum " + Hex(sent) + ", expected " + Hex(sum);
    } else if (!m_flash.Fits(page, m_pageSize)) {
        // Not stored, so not acknowledged: the loader learns the image does not fit.
        reason = "beyond the flash (" + std::to_string(m_flash.Capacity()) + " bytes)";
    } else if (auto left = m_rejectsLeft.find(page); left != m_rejectsLeft.end() && left->second > 0) {
        --left->second;
        reason = "injected, " + std::to_string(left->second) + " more to come";
    }
    if (!reason.empty()) {
        ++m_rejected;
        m_wire.Note(name + " rejected: " + reason);
        Answer(kRejected, at);
        return;
    }
    m_flash.Store(page, frame.substr(kHeaderBytes, static_cast<std::size_t>(m_pageSize)));
    ++m_accepted;
    m_wire.Note(name + " ok");
    Answer(kAccepted, at);
}

void BootLoader::EndDownload(Clock::time_point at) {
    m_phase = Phase::kIdentified;
    m_stats.DownloadEnded(at);
    m_wire.Note("end of download: " + std::to_string(m_accepted) + " pages written, " +
                std::to_string(m_rejected) + " rejected");
    if (!m_options.flashFile.empty()) {
        std::string error;
        m_wire.Note(m_flash.WriteTo(m_options.flashFile, &error) ? "flash written to " + m_options.flashFile
                                                                 : error);
    }
    if (!m_options.expectFile.empty()) m_wire.Note(m_flash.CompareWith(m_options.expectFile));
    if (m_options.stats)
        for (const auto& line : m_stats.Report()) m_wire.Note(line);
}

void BootLoader::Answer(char answer, Clock::time_point at) {
    m_wire.Send(std::string(1, answer), at + m_options.answerDelay);
}

}  // namespace corvat::vt
