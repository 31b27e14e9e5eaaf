#include "platform/shell_quote.h"

#include <QRegularExpression>

namespace corvat {

QString ShellQuoted(const QString& text) {
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./:@%+,=-]+$"));
    if (plain.match(text).hasMatch()) return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

}  // namespace corvat
