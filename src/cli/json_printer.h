#pragma once

#include <cstdio>
#include <vector>

#include "cli/flash_event.h"

namespace corvat::cli {

// One compact JSON object per line, flushed at once, so that a program reading the pipe sees each
// event when it happens. Keys are English and never change; the README lists them.
class JsonPrinter : public FlashSink {
  public:
    explicit JsonPrinter(std::FILE* out) : m_out(out) {}
    void Report(const FlashEvent& event) override;
    void Finish(const FlashSummary& summary) override;

  private:
    std::FILE* m_out;
};

// Hands every event to each of the sinks in turn.
class FanOut : public FlashSink {
  public:
    void Add(FlashSink* sink) { m_sinks.push_back(sink); }
    void Report(const FlashEvent& event) override {
        for (FlashSink* sink : m_sinks) sink->Report(event);
    }
    void Finish(const FlashSummary& summary) override {
        for (FlashSink* sink : m_sinks) sink->Finish(summary);
    }

  private:
    std::vector<FlashSink*> m_sinks;
};

}  // namespace corvat::cli
