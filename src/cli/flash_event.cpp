#include "cli/flash_event.h"

#include <QDateTime>
#include <cerrno>

namespace corvat::cli {

QString ReasonKey(FailReason reason) {
    switch (reason) {
        case FailReason::kGreetingTimeout:
            return QStringLiteral("greeting_timeout");
        case FailReason::kUnknownKind:
            return QStringLiteral("unknown_kind");
        case FailReason::kWrongKind:
            return QStringLiteral("wrong_kind");
        case FailReason::kImageTooBig:
            return QStringLiteral("image_too_big");
        case FailReason::kReplyTimeout:
            return QStringLiteral("reply_timeout");
        case FailReason::kTooManyResends:
            return QStringLiteral("too_many_resends");
        case FailReason::kPortLost:
            return QStringLiteral("port_lost");
        case FailReason::kUnexpectedReply:
            return QStringLiteral("unexpected_reply");
        case FailReason::kInterrupted:
            return QStringLiteral("interrupted");
        case FailReason::kUnconfirmed:
            return QStringLiteral("unconfirmed");
        case FailReason::kBoardReset:
            return QStringLiteral("board_reset");
    }
    return QStringLiteral("unknown");
}

QString ClockText(std::int64_t ms) {
    const std::int64_t seconds = ms / 1000;
    const QChar zero = QLatin1Char('0');
    if (seconds < 3600) return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, zero);
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, zero)
        .arg(seconds % 60, 2, 10, zero);
}

QString HexText(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

QString HexText(char byte) {
    return HexText(QByteArray(1, byte));
}

namespace {
std::function<void()> g_stdoutBroken;
}  // namespace

void OnStdoutBroken(std::function<void()> notice) {
    g_stdoutBroken = std::move(notice);
}

void WriteOut(std::FILE* out, const QByteArray& bytes) {
    const std::size_t size = static_cast<std::size_t>(bytes.size());
    const bool written = std::fwrite(bytes.constData(), 1, size, out) == size && std::fflush(out) == 0;
    if (!written && errno == EPIPE && out == stdout && g_stdoutBroken) {
        // Once is enough: the run stops, and later lines have nowhere to go anyway.
        const auto notice = std::exchange(g_stdoutBroken, nullptr);
        notice();
    }
}

QString UtcTimeText() {
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
}

}  // namespace corvat::cli
