#include "cli/options.h"

#include <functional>
#include <map>

namespace corvat::cli {

namespace {

constexpr long kMaxGreetingSeconds = 7L * 24 * 3600;
constexpr long kMaxReplyMs = 3600L * 1000;
constexpr long kMaxResends = 1000000;

std::optional<long> Number(const QString& text, long min, long max) {
    bool ok = false;
    const long value = text.toLong(&ok);
    if (!ok || value < min || value > max) return std::nullopt;
    return value;
}

QString UsageError(const QString& text) {
    return QStringLiteral("corvat-flash: %1\n用 corvat-flash --help 查看用法。\n").arg(text);
}

}  // namespace

std::chrono::milliseconds FlashOptions::GreetingLimit(int boardsSeen) const {
    if (loop && boardsSeen > 0 && !greetingTimeoutGiven) return std::chrono::milliseconds::zero();
    return greetingTimeout;
}

CommandLine ParseCommandLine(const QStringList& arguments) {
    FlashOptions options;
    QString error;
    QStringList images;
    auto number = [&](const QString& name, const QString& value, long min, long max) -> long {
        const auto parsed = Number(value, min, max);
        if (!parsed && error.isEmpty())
            error = QStringLiteral("%1 须为 %2 到 %3 之间的整数，而不是“%4”。")
                        .arg(name)
                        .arg(min)
                        .arg(max)
                        .arg(value);
        return parsed.value_or(min);
    };
    using Setter = std::function<void(const QString& name, const QString& value)>;
    const std::map<QString, Setter> withValue = {
        {QStringLiteral("--port"),
         [&](auto&, auto& v) {
             if (v.isEmpty())
                 error = QStringLiteral("--port 的串口名称为空。");
             else if (options.ports.contains(v))
                 error = QStringLiteral("串口 %1 给了两次。").arg(v);
             else
                 options.ports << v;
         }},
        {QStringLiteral("--greeting-timeout"),
         [&](auto& n, auto& v) {
             options.greetingTimeout = std::chrono::seconds(number(n, v, 0, kMaxGreetingSeconds));
             options.greetingTimeoutGiven = true;
         }},
        {QStringLiteral("--reply-timeout"),
         [&](auto& n, auto& v) {
             options.replyTimeout = std::chrono::milliseconds(number(n, v, 1, kMaxReplyMs));
         }},
        {QStringLiteral("--max-resends"),
         [&](auto& n, auto& v) { options.maxResends = static_cast<int>(number(n, v, 0, kMaxResends)); }},
        {QStringLiteral("--kind"),
         [&](auto&, auto& v) {
             if (v != QLatin1String("0") && v != QLatin1String("1"))
                 error = QStringLiteral("--kind 须为 0 或 1，而不是“%1”。").arg(v);
             else
                 options.kind = v.toInt();
         }},
        {QStringLiteral("--trace"),
         [&](auto&, auto& v) {
             // An empty name must not quietly mean no trace.
             if (v.isEmpty())
                 error = QStringLiteral("--trace 的文件名为空。");
             else
                 options.traceFile = v;
         }},
    };
    const std::map<QString, bool*> flags = {{QStringLiteral("--loop"), &options.loop},
                                            {QStringLiteral("--json"), &options.json},
                                            {QStringLiteral("--quiet"), &options.quiet}};

    bool optionsEnd = false;
    for (qsizetype i = 0; i < arguments.size() && error.isEmpty(); ++i) {
        QString arg = arguments[i];
        if (optionsEnd || !arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("-")) {
            images << arg;
            continue;
        }
        if (arg == QLatin1String("--")) {
            optionsEnd = true;
            continue;
        }
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h"))
            return {std::nullopt, HelpText(), 0};
        if (arg == QLatin1String("--version"))
            return {std::nullopt, QStringLiteral("corvat-flash " CORVAT_VERSION "\n"), 0};
        if (arg == QLatin1String("-q")) arg = QStringLiteral("--quiet");
        QString value;
        bool inlineValue = false;
        if (arg.startsWith(QLatin1String("-p"))) {
            if (arg.size() > 2) {
                value = arg.mid(2);
                inlineValue = true;
            }
            arg = QStringLiteral("--port");
        } else if (const qsizetype equals = arg.indexOf(QLatin1Char('=')); equals > 0) {
            value = arg.mid(equals + 1);
            arg = arg.left(equals);
            inlineValue = true;
        }
        if (const auto flag = flags.find(arg); flag != flags.end() && !inlineValue) {
            *flag->second = true;
        } else if (const auto setter = withValue.find(arg); setter != withValue.end()) {
            if (!inlineValue && i + 1 >= arguments.size())
                error = QStringLiteral("%1 缺少取值。").arg(arg);
            else
                setter->second(arg, inlineValue ? value : arguments[++i]);
        } else {
            error = QStringLiteral("未知选项“%1”。").arg(arguments[i]);
        }
    }
    if (error.isEmpty() && images.size() != 1)
        error = images.isEmpty() ? QStringLiteral("缺少映像文件（.bin 或 .hex）。")
                                 : QStringLiteral("只能给一个映像文件，却给了 %1 个。").arg(images.size());
    if (error.isEmpty() && options.ports.isEmpty()) error = QStringLiteral("至少要用 -p 指定一个串口。");
    if (!error.isEmpty()) return {std::nullopt, UsageError(error), kExitUsage};
    options.image = images.front();
    return {options, {}, 0};
}

}  // namespace corvat::cli
