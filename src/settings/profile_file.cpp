#include "settings/profile_file.h"

#include <unistd.h>
#include <QFile>
#include <QSaveFile>
#include <vector>

namespace corvat {
namespace {

// Some editors put a UTF-8 byte-order mark in front of the first section; it is no part of its name.
constexpr QByteArrayView kByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Only ASCII letters fold: bytes of multi-byte encodings such as GB2312 must match exactly.
bool SameName(QByteArrayView a, QByteArrayView b) {
    if (a.size() != b.size()) return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return true;
}

// Positions are offsets into the file contents, so a write can splice bytes without re-creating others.
struct Span {
    qsizetype begin = 0;
    qsizetype end = 0;
    QByteArrayView In(const QByteArray& content) const {
        return QByteArrayView(content).sliced(begin, end - begin);
    }
};

Span Trim(const QByteArray& content, Span span) {
    while (span.begin < span.end && IsBlank(content[span.begin])) ++span.begin;
    while (span.end > span.begin && IsBlank(content[span.end - 1])) --span.end;
    return span;
}

enum class LineKind { Blank, Section, Key };

struct Line {
    Span text;           // the line without its terminator
    qsizetype next = 0;  // where the following line begins (after the terminator)
    LineKind kind = LineKind::Blank;
    Span name;              // section name or key name
    qsizetype equals = -1;  // position of "=" in a key line, -1 when it has none
    Span value;             // a key's value, blanks around it excluded
};

Line ParseLine(const QByteArray& content, Span text, qsizetype next) {
    Line line;
    line.text = text;
    line.next = next;
    const Span trimmed = Trim(content, text);
    if (trimmed.begin == trimmed.end) return line;
    if (content[trimmed.begin] == '[') {
        const qsizetype close = content.lastIndexOf(']', trimmed.end - 1);
        if (close > trimmed.begin) {
            line.kind = LineKind::Section;
            line.name = Trim(content, {trimmed.begin + 1, close});
            return line;
        }
    }
    line.kind = LineKind::Key;
    const qsizetype equals = content.indexOf('=', trimmed.begin);
    if (equals < 0 || equals >= trimmed.end) {
        line.name = trimmed;
        line.value = {trimmed.end, trimmed.end};
        return line;
    }
    line.equals = equals;
    line.name = Trim(content, {trimmed.begin, equals});
    line.value = Trim(content, {equals + 1, trimmed.end});
    return line;
}

std::vector<Line> ParseLines(const QByteArray& content) {
    std::vector<Line> lines;
    qsizetype begin = content.startsWith(kByteOrderMark) ? kByteOrderMark.size() : 0;
    while (begin < content.size()) {
        qsizetype newline = content.indexOf('\n', begin);
        const qsizetype next = newline < 0 ? content.size() : newline + 1;
        qsizetype end = newline < 0 ? content.size() : newline;
        if (end > begin && content[end - 1] == '\r') --end;
        lines.push_back(ParseLine(content, {begin, end}, next));
        begin = next;
    }
    return lines;
}

// Index of the first section called `section`, or lines.size().
std::size_t FindSection(const QByteArray& content, const std::vector<Line>& lines, QByteArrayView section) {
    std::size_t i = 0;
    while (i < lines.size() &&
           !(lines[i].kind == LineKind::Section && SameName(lines[i].name.In(content), section)))
        ++i;
    return i;
}

// Index of the first line of `key` after the header at sectionIndex, or the index of the next header.
std::size_t FindKey(const QByteArray& content, const std::vector<Line>& lines, std::size_t sectionIndex,
                    QByteArrayView key) {
    std::size_t i = sectionIndex + 1;
    while (i < lines.size() && lines[i].kind != LineKind::Section) {
        if (lines[i].kind == LineKind::Key && SameName(lines[i].name.In(content), key)) return i;
        ++i;
    }
    return i;
}

// New lines take the file's own line end, so a file edited on either kind of system stays consistent.
QByteArray LineEnd(const QByteArray& content) {
    const qsizetype newline = content.indexOf('\n');
    return (newline > 0 && content[newline - 1] == '\r') ? QByteArray("\r\n") : QByteArray("\n");
}

QByteArray RewriteKeyLine(const QByteArray& content, const Line& line, const QByteArray& value) {
    QByteArray updated = content;
    if (line.equals >= 0) {
        // Keep the key's own spelling and the blanks the author put after "=".
        qsizetype valueStart = line.equals + 1;
        while (valueStart < line.text.end && (content[valueStart] == ' ' || content[valueStart] == '\t'))
            ++valueStart;
        return updated.replace(valueStart, line.text.end - valueStart, value);
    }
    return updated.replace(line.name.end, line.text.end - line.name.end, "=" + value);
}

QByteArray AddKeyToSection(const QByteArray& content, const std::vector<Line>& lines,
                           std::size_t sectionIndex, std::size_t sectionEnd, const QByteArray& entry) {
    // After the section's last written line, so blank lines that separate it from the next stay there.
    std::size_t last = sectionIndex;
    for (std::size_t i = sectionIndex + 1; i < sectionEnd; ++i) {
        if (lines[i].kind != LineKind::Blank) last = i;
    }
    const Line& anchor = lines[last];
    QByteArray insertion = entry + LineEnd(content);
    if (content[anchor.next - 1] != '\n') insertion.prepend(LineEnd(content));  // last line had no line end
    return QByteArray(content).insert(anchor.next, insertion);
}

QByteArray AddSection(const QByteArray& content, const QByteArray& section, const QByteArray& entry) {
    const QByteArray end = LineEnd(content);
    QByteArray updated = content;
    if (!updated.isEmpty() && !updated.endsWith('\n')) updated += end;
    return updated + "[" + section + "]" + end + entry + end;
}

}  // namespace

std::optional<QByteArray> FindProfileValue(const QByteArray& content, const QByteArray& section,
                                           const QByteArray& key) {
    const std::vector<Line> lines = ParseLines(content);
    const std::size_t sectionIndex = FindSection(content, lines, section);
    if (sectionIndex == lines.size()) return std::nullopt;
    const std::size_t keyIndex = FindKey(content, lines, sectionIndex, key);
    if (keyIndex == lines.size() || lines[keyIndex].kind != LineKind::Key) return std::nullopt;
    return lines[keyIndex].value.In(content).toByteArray();
}

QByteArray ReadProfileValue(const QByteArray& content, const QByteArray& section, const QByteArray& key,
                            int bufferSize) {
    if (bufferSize <= 0) return {};
    QByteArray value = FindProfileValue(content, section, key).value_or(QByteArray());
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.sliced(1, value.size() - 2);
    return value.left(bufferSize - 1);
}

QByteArray SetProfileValue(const QByteArray& content, const QByteArray& section, const QByteArray& key,
                           const QByteArray& value) {
    const QByteArray entry = key + "=" + value;
    const std::vector<Line> lines = ParseLines(content);
    const std::size_t sectionIndex = FindSection(content, lines, section);
    if (sectionIndex == lines.size()) return AddSection(content, section, entry);
    const std::size_t keyIndex = FindKey(content, lines, sectionIndex, key);
    if (keyIndex < lines.size() && lines[keyIndex].kind == LineKind::Key)
        return RewriteKeyLine(content, lines[keyIndex], value);
    return AddKeyToSection(content, lines, sectionIndex, keyIndex, entry);
}

QString ProfileEntryError(const QByteArray& section, const QByteArray& key, const QByteArray& value) {
    const auto breaksLines = [](const QByteArray& text) {
        return text.contains('\n') || text.contains('\r') || text.contains('\0');
    };
    if (breaksLines(section) || breaksLines(key) || breaksLines(value))
        return QStringLiteral("设置项不能含有换行或空字符");
    if (section.trimmed().isEmpty() || section.contains(']'))
        return QStringLiteral("节名无效：%1").arg(section);
    if (key.trimmed().isEmpty() || key.contains('=')) return QStringLiteral("键名无效：%1").arg(key);
    return {};
}

ProfileRead GetProfileString(const QString& fileName, const QString& section, const QString& key,
                             int bufferSize) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes =
        ReadProfileValue(file.readAll(), section.toLocal8Bit(), key.toLocal8Bit(), bufferSize);
    return {static_cast<int>(bytes.size()), QString::fromLocal8Bit(bytes), bytes};
}

ProfileWrite WriteProfileString(const QString& fileName, const QString& section, const QString& key,
                                const QString& value) {
    return WriteProfileBytes(fileName, section, key, value.toLocal8Bit());
}

ProfileWrite WriteProfileBytes(const QString& fileName, const QString& section, const QString& key,
                               const QByteArray& valueBytes) {
    const QByteArray sectionBytes = section.toLocal8Bit();
    const QByteArray keyBytes = key.toLocal8Bit();
    if (const QString error = ProfileEntryError(sectionBytes, keyBytes, valueBytes); !error.isEmpty())
        return {false, error};

    QByteArray content;
    QFile existing(fileName);
    if (existing.exists()) {
        if (!existing.open(QIODevice::ReadOnly))
            return {false, QStringLiteral("无法读取设置文件 %1：%2").arg(fileName, existing.errorString())};
        content = existing.readAll();
        existing.close();
    }

    // The whole file goes to a temporary name beside it and is renamed over it only once complete.
    // Unbuffered, because a short write found only by the final flush inside commit() still gets renamed
    // into place; written straight through, it is caught here and the copy is dropped.
    QSaveFile file(fileName);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return {false, QStringLiteral("无法写入设置文件 %1：%2").arg(fileName, file.errorString())};
    const QByteArray updated = SetProfileValue(content, sectionBytes, keyBytes, valueBytes);
    // commit() syncs the copy to disk before renaming it, so a power cut leaves one file or the other.
    if (file.write(updated) != updated.size() || !file.commit()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return {false, QStringLiteral("无法写入设置文件 %1：%2").arg(fileName, reason)};
    }
    return {};
}

}  // namespace corvat
