#include "options.h"

#include <cctype>
#include <charconv>
#include <functional>

namespace corvat::vt {

namespace {

std::optional<long> ParseNumber(const std::string& text, long min, long max) {
    long value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || value < min || value > max) return std::nullopt;
    return value;
}

std::optional<std::pair<int, int>> ParseReject(const std::string& text) {
    const auto x = text.find('x');
    const auto page = ParseNumber(text.substr(0, x), 0, 0x7FFF);
    const auto count =
        x == std::string::npos ? std::optional<long>(1) : ParseNumber(text.substr(x + 1), 1, 1000000);
    if (!page || !count) return std::nullopt;
    return std::pair<int, int>(static_cast<int>(*page), static_cast<int>(*count));
}

}  // namespace

std::string Options::IdentFor(int powerOn) const {
    if (idents.empty()) return std::string{kind} + "xg";
    return idents[std::min<std::size_t>(static_cast<std::size_t>(powerOn), idents.size() - 1)];
}

std::optional<std::string> Unescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == '\\') {
            out += '\\';
            ++i;
        } else if (i + 3 < text.size() && text[i + 1] == 'x' &&
                   std::isxdigit(static_cast<unsigned char>(text[i + 2])) &&
                   std::isxdigit(static_cast<unsigned char>(text[i + 3]))) {
            const auto value = std::stoi(text.substr(i + 2, 2), nullptr, 16);
            out += static_cast<char>(value);
            i += 3;
        } else {
            return std::nullopt;
        }
    }
    return out;
}

ParseResult ParseOptions(const std::vector<std::string>& args) {
    Options options;
    std::string error;
    auto number = [&](const std::string& name, const std::string& value, long min, long max) -> long {
        const auto parsed = ParseNumber(value, min, max);
        if (!parsed && error.empty())
            error = name + ": expected a number from " + std::to_string(min) + " to " + std::to_string(max) +
                    ", got \"" + value + "\"";
        return parsed.value_or(min);
    };
    auto text = [&](const std::string& name, const std::string& value) -> std::string {
        const auto parsed = Unescape(value);
        if (!parsed && error.empty()) error = name + ": bad escape in \"" + value + "\" (use \\xNN or \\\\)";
        return parsed.value_or(std::string{});
    };
    auto ms = [&](const std::string& name, const std::string& value) {
        return std::chrono::milliseconds(number(name, value, 0, 3600000));
    };

    using Setter = std::function<void(const std::string&, const std::string&)>;
    const std::map<std::string, Setter> withValue = {
        {"--link", [&](auto&, auto& v) { options.linkPath = v; }},
        {"--kind",
         [&](auto& n, auto& v) {
             if (v != "0" && v != "1")
                 error = n + ": 0 or 1";
             else
                 options.kind = v[0];
         }},
        {"--ident", [&](auto& n, auto& v) { options.idents.push_back(text(n, v)); }},
        {"--greeting", [&](auto& n, auto& v) { options.greeting = text(n, v); }},
        {"--noise", [&](auto& n, auto& v) { options.noise = text(n, v); }},
        {"--noise-gap", [&](auto& n, auto& v) { options.noiseGap = ms(n, v); }},
        {"--page-size",
         [&](auto& n, auto& v) { options.pageSize = static_cast<int>(number(n, v, 1, 4096)); }},
        {"--capacity",
         [&](auto& n, auto& v) { options.capacity = static_cast<int>(number(n, v, 1, 1 << 22)); }},
        {"--greet-delay", [&](auto& n, auto& v) { options.greetDelay = ms(n, v); }},
        {"--answer-delay", [&](auto& n, auto& v) { options.answerDelay = ms(n, v); }},
        {"--ident-split-ms", [&](auto& n, auto& v) { options.identSplit = ms(n, v); }},
        {"--replug-delay", [&](auto& n, auto& v) { options.replugDelay = ms(n, v); }},
        {"--header-busy", [&](auto& n, auto& v) { options.headerBusy = ms(n, v); }},
        {"--reject",
         [&](auto& n, auto& v) {
             const auto reject = ParseReject(v);
             if (!reject)
                 error = n + ": expected PAGE or PAGExCOUNT, got \"" + v + "\"";
             else
                 options.rejects[reject->first] += reject->second;
         }},
        {"--stop-after-pages",
         [&](auto& n, auto& v) { options.stopAfterPages = static_cast<int>(number(n, v, 0, 0x7FFF)); }},
        {"--hangup-after-pages",
         [&](auto& n, auto& v) { options.hangupAfterPages = static_cast<int>(number(n, v, 0, 0x7FFF)); }},
        {"--ports", [&](auto& n, auto& v) { options.ports = static_cast<int>(number(n, v, 1, 64)); }},
        {"--baud", [&](auto& n, auto& v) { options.baud = static_cast<int>(number(n, v, 50, 4000000)); }},
        {"--flash", [&](auto&, auto& v) { options.flashFile = v; }},
        {"--expect", [&](auto&, auto& v) { options.expectFile = v; }},
        {"--transcript", [&](auto&, auto& v) { options.transcriptFile = v; }},
        {"--replay", [&](auto&, auto& v) { options.replayFile = v; }},
        {"--port", [&](auto&, auto& v) { options.replayPort = v; }},
    };
    const std::map<std::string, bool*> flags = {{"--pace", &options.pace},
                                                {"--manual", &options.manual},
                                                {"--once", &options.once},
                                                {"--stats", &options.stats}};

    for (std::size_t i = 0; i < args.size() && error.empty(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") return {std::nullopt, HelpText(), false};
        if (arg == "--version") return {std::nullopt, "corvat-virtual-target " CORVAT_VERSION "\n", false};
        if (const auto flag = flags.find(arg); flag != flags.end()) {
            *flag->second = true;
        } else if (const auto setter = withValue.find(arg); setter != withValue.end()) {
            if (i + 1 >= args.size())
                error = arg + ": a value is missing";
            else
                setter->second(arg, args[++i]);
        } else {
            error = "unknown option \"" + arg + "\" (see --help)";
        }
    }
    if (error.empty() && options.replayFile.empty() && !options.replayPort.empty())
        error = "--port names a port of the trace given with --replay";
    if (error.empty() && !options.replayFile.empty() && options.ports > 1)
        error = "--replay plays one recorded line; --ports cannot go with it";
    if (!error.empty()) return {std::nullopt, error, true};
    return {options, {}, false};
}

std::chrono::steady_clock::duration Options::ByteTime() const {
    constexpr double kBitsPerByte = 10.0;
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(kBitsPerByte / baud));
}

}  // namespace corvat::vt
