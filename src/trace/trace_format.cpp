#include "trace/trace_format.h"

#include <algorithm>
#include <charconv>

namespace corvat::trace {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

std::optional<int> HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return std::nullopt;
}

bool NeedsEscape(unsigned char c) {
    return c <= ' ' || c == 0x7F || c == '%' || c == ',';
}

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t at = 0;
    while (at < line.size()) {
        const std::size_t end = std::min(line.find(' ', at), line.size());
        if (end > at) words.push_back(line.substr(at, end - at));
        at = end + 1;
    }
    return words;
}

template <typename Number>
std::optional<Number> ParseNumber(std::string_view text) {
    Number value{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<std::pair<std::string, std::string>> ParseField(std::string_view word) {
    const std::size_t equals = word.find('=');
    if (equals == std::string_view::npos || equals == 0) return std::nullopt;
    auto value = Unescape(word.substr(equals + 1));
    if (!value) return std::nullopt;
    return std::pair{std::string(word.substr(0, equals)), std::move(*value)};
}

std::string FieldsText(const Fields& fields) {
    std::string text;
    for (const auto& [key, value] : fields) text += ' ' + key + '=' + Escape(value);
    return text;
}

// The first line: on error, the text says what is wrong.
std::optional<Header> ParseHeader(std::string_view line, std::string* error) {
    const auto words = Words(line);
    if (words.size() < 2 || words[0] != kMagic) {
        *error = "not a trace: the first line must begin with \"corvat-trace\"";
        return std::nullopt;
    }
    Header header;
    const auto version = ParseNumber<int>(words[1]);
    if (!version || *version < 1 || *version > kFormatVersion) {
        *error = "trace format version \"" + std::string(words[1]) + "\" is not one this program reads";
        return std::nullopt;
    }
    header.version = *version;
    for (std::size_t i = 2; i < words.size(); ++i) {
        auto field = ParseField(words[i]);
        if (!field) {
            *error = "bad field \"" + std::string(words[i]) + "\"";
            return std::nullopt;
        }
        auto& [key, value] = *field;
        if (key == "program") header.program = value;
        if (key == "version") header.programVersion = value;
        if (key == "image") header.image = value;
        if (key == "size") header.imageSize = ParseNumber<std::int64_t>(value).value_or(-1);
        if (key == "sha256") header.imageSha256 = value;
        if (key == "ports") {
            // Escaped names cannot hold a comma, so the list splits on them.
            std::string_view list = words[i].substr(words[i].find('=') + 1);
            while (!list.empty()) {
                const std::size_t comma = std::min(list.find(','), list.size());
                header.ports.push_back(Unescape(list.substr(0, comma)).value_or(std::string{}));
                list.remove_prefix(std::min(comma + 1, list.size()));
            }
        }
    }
    return header;
}

std::optional<Entry> ParseEntry(std::string_view line, std::string* error) {
    const auto words = Words(line);
    Entry entry;
    const auto micros = words.size() >= 3 ? ParseNumber<std::int64_t>(words[0]) : std::nullopt;
    auto port = words.size() >= 3 ? Unescape(words[1]) : std::nullopt;
    if (!micros || *micros < 0 || !port) {
        *error = "expected \"<microseconds> <port> tx|rx|note ...\"";
        return std::nullopt;
    }
    entry.micros = *micros;
    entry.port = std::move(*port);
    if (words[2] == "note") {
        if (words.size() < 4) {
            *error = "a note without its kind";
            return std::nullopt;
        }
        entry.kind = Entry::Kind::kNote;
        entry.note = words[3];
        for (std::size_t i = 4; i < words.size(); ++i) {
            auto field = ParseField(words[i]);
            if (!field) {
                *error = "bad field \"" + std::string(words[i]) + "\"";
                return std::nullopt;
            }
            entry.fields.push_back(std::move(*field));
        }
        return entry;
    }
    if (words[2] != "tx" && words[2] != "rx") {
        *error = "expected tx, rx or note, not \"" + std::string(words[2]) + "\"";
        return std::nullopt;
    }
    entry.direction = words[2] == "tx" ? Direction::kTx : Direction::kRx;
    for (std::size_t i = 3; i < words.size(); ++i) {
        const auto high = words[i].size() == 2 ? HexValue(words[i][0]) : std::nullopt;
        const auto low = words[i].size() == 2 ? HexValue(words[i][1]) : std::nullopt;
        if (!high || !low) {
            *error = "\"" + std::string(words[i]) + "\" is not a byte in hex";
            return std::nullopt;
        }
        entry.bytes += static_cast<char>(*high * 16 + *low);
    }
    return entry;
}

}  // namespace

const std::string* Entry::Field(std::string_view key) const {
    for (const auto& [name, value] : fields)
        if (name == key) return &value;
    return nullptr;
}

std::string Escape(std::string_view value) {
    std::string text;
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (NeedsEscape(byte)) {
            text += '%';
            text += kHexDigits[byte >> 4];
            text += kHexDigits[byte & 0xF];
        } else {
            text += c;
        }
    }
    return text;
}

std::optional<std::string> Unescape(std::string_view value) {
    std::string text;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '%') {
            text += value[i];
            continue;
        }
        const auto high = i + 2 < value.size() ? HexValue(value[i + 1]) : std::nullopt;
        const auto low = i + 2 < value.size() ? HexValue(value[i + 2]) : std::nullopt;
        if (!high || !low) return std::nullopt;
        text += static_cast<char>(*high * 16 + *low);
        i += 2;
    }
    return text;
}

std::string HexBytes(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (!text.empty()) text += ' ';
        text += kHexDigits[byte >> 4];
        text += kHexDigits[byte & 0xF];
    }
    return text;
}

std::string HeaderLine(const Header& header) {
    Fields fields{{"program", header.program}, {"version", header.programVersion}};
    if (header.image) {
        fields.emplace_back("image", *header.image);
        fields.emplace_back("size", std::to_string(header.imageSize));
        fields.emplace_back("sha256", header.imageSha256);
    }
    std::string line = std::string(kMagic) + ' ' + std::to_string(header.version) + FieldsText(fields);
    if (!header.ports.empty()) {
        line += " ports=";
        for (std::size_t i = 0; i < header.ports.size(); ++i) {
            if (i > 0) line += ',';
            line += Escape(header.ports[i]);
        }
    }
    return line + '\n';
}

std::string BytesLine(std::int64_t micros, std::string_view port, Direction direction,
                      std::string_view bytes) {
    return std::to_string(micros) + ' ' + Escape(port) + (direction == Direction::kTx ? " tx " : " rx ") +
           HexBytes(bytes) + '\n';
}

std::string NoteLine(std::int64_t micros, std::string_view port, std::string_view note,
                     const Fields& fields) {
    return std::to_string(micros) + ' ' + Escape(port) + " note " + std::string(note) + FieldsText(fields) +
           '\n';
}

ParseOutcome ParseTrace(std::string_view text) {
    ParseOutcome outcome;
    Trace trace;
    int number = 0;
    bool headerSeen = false;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        ++number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) continue;
        std::string error;
        if (!headerSeen) {
            auto header = ParseHeader(line, &error);
            if (!header) return {std::nullopt, number, error};
            trace.header = std::move(*header);
            headerSeen = true;
            continue;
        }
        auto entry = ParseEntry(line, &error);
        if (!entry) return {std::nullopt, number, error};
        trace.entries.push_back(std::move(*entry));
    }
    if (!headerSeen) return {std::nullopt, 1, "not a trace: it is empty"};
    outcome.trace = std::move(trace);
    return outcome;
}

}  // namespace corvat::trace
