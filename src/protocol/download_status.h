#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>

namespace corvat {

// What the window shows while pages go out: the bar of glyphs in Text1 and the counts on the status line.

constexpr std::int32_t kFullBarGlyphs = 39;  // shown whole when the image has two pages or fewer
constexpr std::int32_t kBarScale = 38;

// Number of "■" glyphs after an accepted page: the pages done scaled to the bar, rounded half to even.
std::int32_t ProgressGlyphCount(std::int32_t pageIndex, std::int32_t lastPage);

QString ProgressBarText(std::int32_t glyphs);

// Whole seconds between the two moments as a wall clock showing seconds would count them; never negative,
// so a clock set back during a download shows zero rather than nonsense.
std::int64_t ElapsedSeconds(const QDateTime& start, const QDateTime& now);

// H:mm:ss. Hours keep counting past a day ("25:00:07") rather than turning into a date.
QString ElapsedText(std::int64_t seconds);

QString AcceptedPageStatus(std::int32_t pageIndex, std::int32_t errorCount, const QString& elapsed);
QString RejectedPageStatus(std::int32_t pageIndex, std::int32_t errorCount);

}  // namespace corvat
