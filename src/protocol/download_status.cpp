#include "protocol/download_status.h"

#include <cmath>

namespace corvat {

namespace {
constexpr QChar kBarGlyph{0x25A0};  // "■"
}  // namespace

std::int32_t ProgressGlyphCount(std::int32_t pageIndex, std::int32_t lastPage) {
    if (lastPage < 2) return kFullBarGlyphs;
    // The product is taken in 64 bits so that long images do not wrap into a negative bar.
    const double scaled = static_cast<double>(std::int64_t{pageIndex} * kBarScale) / lastPage - 1.0;
    // nearbyint rounds halves to even under the default rounding mode, as the bar always did.
    const auto rounded = static_cast<std::int64_t>(std::nearbyint(scaled));
    return rounded >= 0 ? static_cast<std::int32_t>(rounded + 1) : 0;
}

QString ProgressBarText(std::int32_t glyphs) {
    return glyphs > 0 ? QString(glyphs, kBarGlyph) : QString();
}

std::int64_t ElapsedSeconds(const QDateTime& start, const QDateTime& now) {
    const std::int64_t seconds = now.toSecsSinceEpoch() - start.toSecsSinceEpoch();
    return seconds > 0 ? seconds : 0;
}

QString ElapsedText(std::int64_t seconds) {
    const std::int64_t hours = seconds / 3600;
    const std::int64_t minutes = seconds / 60 % 60;
    const std::int64_t secs = seconds % 60;
    return QStringLiteral("%1:%2:%3")
        .arg(hours)
        .arg(minutes, 2, 10, QLatin1Char('0'))
        .arg(secs, 2, 10, QLatin1Char('0'));
}

QString AcceptedPageStatus(std::int32_t pageIndex, std::int32_t errorCount, const QString& elapsed) {
    return RejectedPageStatus(pageIndex, errorCount) + QStringLiteral("，时间") + elapsed;
}

QString RejectedPageStatus(std::int32_t pageIndex, std::int32_t errorCount) {
    return QStringLiteral("成功写到") + QString::number(pageIndex) + QStringLiteral("页，错误次数") +
           QString::number(errorCount);
}

}  // namespace corvat
