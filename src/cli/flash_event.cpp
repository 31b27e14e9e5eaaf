#include "cli/flash_event.h"

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

void WriteOut(std::FILE* out, const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), out);
    std::fflush(out);
}

}  // namespace corvat::cli
