#pragma once

#include <cstdio>
#include <vector>

#include "cli/flash_event.h"
#include "cli/image_source.h"
#include "cli/options.h"

namespace corvat::cli {

// Bumped when a key changes meaning or goes away; new keys may come without it.
constexpr int kJsonSchemaVersion = 1;

// One compact JSON object per line, flushed at once, so that a program reading the pipe sees each
// event when it happens. Every event has its "time". Keys are English and never change; the README
// lists them.
class JsonPrinter : public FlashSink {
  public:
    explicit JsonPrinter(std::FILE* out) : m_out(out) {}
    // The first event of a run that got as far as its image.
    void Start(const FlashOptions& options, const ImageFacts& image);
    void Report(const FlashEvent& event) override;
    void Finish(const FlashSummary& summary) override;
    // A refusal before any board (exit status 2): reason is an English key, message the Chinese text.
    void Error(const QString& reason, const QString& message);

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
