#include "cli/options.h"

#include <QRegularExpression>
#include <functional>
#include <map>

#include "protocol/identification.h"
#include "protocol/page_frame.h"
#include "serial/port_names.h"

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

constexpr long kLineBaud = 9600;
constexpr long kBitsPerByte = 10;  // start, 8 data, stop

QString UsageError(const QString& text) {
    return QStringLiteral("corvat-flash: %1\n用 corvat-flash --help 查看用法。\n").arg(text);
}

}  // namespace

std::chrono::milliseconds MinimumReplyTimeout() {
    std::int32_t largestPage = 0;
    for (const char kind : {'0', '1'})
        largestPage = std::max<std::int32_t>(largestPage, TargetKindFor(kind)->pageSize);
    const long frameBits = (kHeaderLength + largestPage + 1) * kBitsPerByte;
    return std::chrono::milliseconds((frameBits * 1000 + kLineBaud - 1) / kLineBaud);
}

Result<> CheckPortForm(const QString& portText) {
    if (portText.startsWith(QLatin1Char('/'))) return {};
    static const QRegularExpression comForm(QStringLiteral("^COM([0-9]{1,3})$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = comForm.match(portText);
    if (match.hasMatch()) {
        const uint number = match.captured(1).toUInt();
        if (number >= 1 && number <= kLargestPortNumber) return {};
    }
    return Fail(FailureCode::kInvalid,
                QStringLiteral("串口“%1”的写法不对：须为 COM1 到 COM%2（如 COM3），或以 / 开头的设备路径（如 "
                               "/dev/ttyUSB0）。")
                    .arg(portText)
                    .arg(kLargestPortNumber));
}

std::chrono::milliseconds FlashOptions::GreetingLimit(int /*boardsSeen: every wait of a loop alike*/) const {
    if (loop && !greetingTimeoutGiven) return std::chrono::milliseconds::zero();
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
             else if (const Result<> form = CheckPortForm(v); !form)
                 error = form.message();
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
             if (error.isEmpty() && options.replyTimeout < MinimumReplyTimeout())
                 error = QStringLiteral(
                             "--reply-timeout 至少为 %1 毫秒：最大一页的帧在 9600 波特的线路上就要这么久，"
                             "而不是“%2”。")
                             .arg(MinimumReplyTimeout().count())
                             .arg(v);
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
        {QStringLiteral("--record"), [&](auto&, auto& v) { options.recordFile = v; }},
    };
    const std::map<QString, bool*> flags = {{QStringLiteral("--loop"), &options.loop},
                                            {QStringLiteral("--json"), &options.json},
                                            {QStringLiteral("--quiet"), &options.quiet},
                                            {QStringLiteral("--list-ports"), &options.listPorts}};

    const qsizetype end = arguments.indexOf(QStringLiteral("--"));
    const bool json = arguments.mid(0, end < 0 ? arguments.size() : end).contains(QStringLiteral("--json"));
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
            return {std::nullopt, HelpText(), 0, {}, json};
        if (arg == QLatin1String("--version"))
            return {std::nullopt, QStringLiteral("corvat-flash " CORVAT_VERSION "\n"), 0, {}, json};
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
    if (error.isEmpty() && options.listPorts) {
        if (!images.isEmpty() || !options.ports.isEmpty())
            error = QStringLiteral("--list-ports 只列出串口，不带映像文件和 -p。");
        else
            return {options, {}, 0, {}, json};
    }
    if (error.isEmpty() && images.size() != 1)
        error = images.isEmpty() ? QStringLiteral("缺少映像文件（.bin 或 .hex）。")
                                 : QStringLiteral("只能给一个映像文件，却给了 %1 个。").arg(images.size());
    if (error.isEmpty() && options.ports.isEmpty()) error = QStringLiteral("至少要用 -p 指定一个串口。");
    if (!error.isEmpty()) return {std::nullopt, UsageError(error), kExitUsage, error, json};
    options.image = images.front();
    return {options, {}, 0, {}, json};
}

}  // namespace corvat::cli
