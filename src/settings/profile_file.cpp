#include "settings/profile_file.h"

#include <unistd.h>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "platform/system_dir.h"

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
    // Searches stay inside the line: one running to the file's end makes reading quadratic in its size.
    const QByteArrayView inLine = trimmed.In(content);
    if (content[trimmed.begin] == '[') {
        const qsizetype closeInLine = inLine.lastIndexOf(']');
        const qsizetype close = closeInLine < 0 ? -1 : trimmed.begin + closeInLine;
        if (close > trimmed.begin) {
            line.kind = LineKind::Section;
            line.name = Trim(content, {trimmed.begin + 1, close});
            return line;
        }
    }
    line.kind = LineKind::Key;
    const qsizetype equalsInLine = inLine.indexOf('=');
    if (equalsInLine < 0) {
        line.name = trimmed;
        line.value = {trimmed.end, trimmed.end};
        return line;
    }
    const qsizetype equals = trimmed.begin + equalsInLine;
    line.equals = equals;
    line.name = Trim(content, {trimmed.begin, equals});
    line.value = Trim(content, {equals + 1, trimmed.end});
    return line;
}

qsizetype FirstLineStart(const QByteArray& content) {
    return content.startsWith(kByteOrderMark) ? kByteOrderMark.size() : 0;
}

// The line that begins at `begin`, which lies inside the contents.
Line LineAt(const QByteArray& content, qsizetype begin) {
    const qsizetype newline = content.indexOf('\n', begin);
    const qsizetype next = newline < 0 ? content.size() : newline + 1;
    qsizetype end = newline < 0 ? content.size() : newline;
    if (end > begin && content[end - 1] == '\r') --end;
    return ParseLine(content, {begin, end}, next);
}

// Where section/key stands. Lines are looked at one at a time and forgotten, in one pass that stops at
// the key: a file of megabytes costs no more than reading it.
struct KeySearch {
    bool sectionFound = false;
    std::optional<Line> key;  // the first line of the key in the first matching section
    Line lastInSection;       // that section's header or its last line that is not blank
};

KeySearch FindKey(const QByteArray& content, QByteArrayView section, QByteArrayView key) {
    KeySearch search;
    for (qsizetype begin = FirstLineStart(content); begin < content.size();) {
        const Line line = LineAt(content, begin);
        begin = line.next;
        if (!search.sectionFound) {
            search.sectionFound = line.kind == LineKind::Section && SameName(line.name.In(content), section);
            if (search.sectionFound) search.lastInSection = line;
            continue;
        }
        if (line.kind == LineKind::Section) break;
        if (line.kind == LineKind::Blank) continue;
        search.lastInSection = line;
        if (SameName(line.name.In(content), key)) {
            search.key = line;
            break;
        }
    }
    return search;
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

// After the section's last written line, so blank lines that separate it from the next stay there.
QByteArray AddKeyToSection(const QByteArray& content, const Line& anchor, const QByteArray& entry) {
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
    const KeySearch search = FindKey(content, section, key);
    if (!search.key) return std::nullopt;
    return search.key->value.In(content).toByteArray();
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
    const KeySearch search = FindKey(content, section, key);
    if (!search.sectionFound) return AddSection(content, section, entry);
    if (search.key) return RewriteKeyLine(content, *search.key, value);
    return AddKeyToSection(content, search.lastInSection, entry);
}

Result<> CheckProfileEntry(const QByteArray& section, const QByteArray& key, const QByteArray& value) {
    const auto breaksLines = [](const QByteArray& text) {
        return text.contains('\n') || text.contains('\r') || text.contains('\0');
    };
    if (breaksLines(section) || breaksLines(key) || breaksLines(value))
        return Fail(FailureCode::kInvalid, QStringLiteral("设置项不能含有换行或空字符"));
    if (section.trimmed().isEmpty() || section.contains(']'))
        return Fail(FailureCode::kInvalid, QStringLiteral("节名无效：%1").arg(section));
    if (key.trimmed().isEmpty() || key.contains('='))
        return Fail(FailureCode::kInvalid, QStringLiteral("键名无效：%1").arg(key));
    return {};
}

ProfileRead GetProfileString(const QString& fileName, const QString& section, const QString& key,
                             int bufferSize) {
    // A FIFO, device or folder under the settings name counts as no file: opening one could block
    // start-up for ever or disturb a device.
    QFile file(fileName);
    if (!OpenRegularFile(file)) return {};
    const QByteArray bytes =
        ReadProfileValue(file.readAll(), section.toLocal8Bit(), key.toLocal8Bit(), bufferSize);
    return {static_cast<int>(bytes.size()), QString::fromLocal8Bit(bytes), bytes};
}

Result<> WriteProfileString(const QString& fileName, const QString& section, const QString& key,
                            const QString& value) {
    return WriteProfileBytes(fileName, section, key, value.toLocal8Bit());
}

Result<> WriteProfileBytes(const QString& fileName, const QString& section, const QString& key,
                           const QByteArray& valueBytes) {
    const QByteArray sectionBytes = section.toLocal8Bit();
    const QByteArray keyBytes = key.toLocal8Bit();
    if (Result<> entry = CheckProfileEntry(sectionBytes, keyBytes, valueBytes); !entry) return entry;

    // Only a regular file is read and replaced; anything else under the name is left as it is.
    QByteArray content;
    QFile existing(fileName);
    if (QFileInfo(fileName).exists()) {
        if (const Result<> opened = OpenRegularFile(existing); !opened)
            return Fail(opened.code(),
                        QStringLiteral("无法读取设置文件 %1：%2").arg(fileName, opened.message()));
        content = existing.readAll();
        existing.close();
    }

    // The whole file goes to a temporary name beside it and is renamed over it only once complete.
    // Unbuffered, because a short write found only by the final flush inside commit() still gets renamed
    // into place; written straight through, it is caught here and the copy is dropped.
    QSaveFile file(fileName);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return Fail(FailureCode::kIo,
                    QStringLiteral("无法写入设置文件 %1：%2").arg(fileName, file.errorString()));
    const QByteArray updated = SetProfileValue(content, sectionBytes, keyBytes, valueBytes);
    // commit() syncs the copy to disk before renaming it, so a power cut leaves one file or the other.
    if (file.write(updated) != updated.size() || !file.commit()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return Fail(FailureCode::kIo, QStringLiteral("无法写入设置文件 %1：%2").arg(fileName, reason));
    }
    // The rename is on disk only once the folder is.
    return SyncFolder(QFileInfo(fileName).absolutePath());
}

}  // namespace corvat
