// The target's boot loader: greeting, identification, page reception with checksum, release.
// It decides what to answer and when; the runner owns the line and the clock.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "flash.h"
#include "options.h"
#include "stats.h"
#include "transcript.h"

namespace corvat::vt {

class Wire {
  public:
    virtual ~Wire() = default;
    virtual void Send(std::string bytes, Clock::time_point notBefore) = 0;
    virtual void HangUp() = 0;
    virtual void HangUpAt(Clock::time_point when) = 0;
    virtual void Note(const std::string& event) = 0;
};

// What answers on the line: the simulated boot loader, or a recorded session played back.
class Target {
  public:
    virtual ~Target() = default;
    virtual void PowerOn(Clock::time_point now) = 0;
    virtual void PowerOff() = 0;  // also: the loader closed the port
    // lineDone: when the last of these bytes has fully arrived (later than the read on a paced line).
    virtual void Receive(std::string_view bytes, Clock::time_point lineDone) = 0;
    virtual void LineClosed() {}  // the target's side hung up
    // The target has nothing more to do: the program ends with this status.
    virtual bool Over() const { return false; }
    virtual int Status() const { return 0; }
};

class BootLoader : public Target {
  public:
    BootLoader(const Options& options, Wire& wire, Stats& stats);

    void PowerOn(Clock::time_point now) override;
    void PowerOff() override;
    void Receive(std::string_view bytes, Clock::time_point lineDone) override;
    bool Released() const { return m_phase == Phase::kReleased; }
    bool Downloading() const { return m_phase == Phase::kDownloading; }

  private:
    enum class Phase { kOff, kGreeted, kIdentified, kDownloading, kSilent, kReleased };

    void OnGreetedByte(char byte, Clock::time_point at);
    void OnIdentifiedByte(char byte, Clock::time_point at);
    void StartDownload(Clock::time_point at);
    void OnDownloadByte(char byte, Clock::time_point done);
    void CheckPage(int page, std::string_view frame, Clock::time_point at);
    void LosePage(int page, Clock::time_point at);
    void EndDownload(Clock::time_point at);
    void Answer(char answer, Clock::time_point at);

    const Options& m_options;
    Wire& m_wire;
    Stats& m_stats;
    Flash m_flash;
    int m_pageSize;
    Phase m_phase = Phase::kOff;
    int m_powerOns = 0;
    Clock::duration m_byteTime;  // one byte on the line when paced; nothing otherwise
    std::string m_pending;       // bytes of a page not yet complete
    Clock::time_point m_headerDone{};
    std::optional<Clock::duration> m_dataTooSoon;  // how soon the data began after a header, if too soon
    std::map<int, int> m_rejectsLeft;
    int m_accepted = 0;
    int m_rejected = 0;
};

}  // namespace corvat::vt
