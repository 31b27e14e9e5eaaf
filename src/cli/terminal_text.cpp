#include "cli/terminal_text.h"

#include <sys/ioctl.h>

namespace corvat::cli {

namespace {

// East Asian wide and full-width ranges of the Basic Multilingual Plane; all our texts need.
bool IsWide(char32_t c) {
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) || (c >= 0x3041 && c <= 0x33FF) ||
           (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
           (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6);
}

int Cells(QChar c) {
    return IsWide(c.unicode()) ? 2 : 1;
}

}  // namespace

TerminalSize TerminalSizeOf(std::FILE* stream) {
    winsize size{};
    if (::ioctl(::fileno(stream), TIOCGWINSZ, &size) != 0 || size.ws_col == 0 || size.ws_row == 0) return {};
    return {size.ws_col, size.ws_row};
}

int CellWidth(const QString& text) {
    int width = 0;
    for (const QChar c : text) width += Cells(c);
    return width;
}

QString FitWidth(const QString& text, int columns) {
    int width = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        width += Cells(text[i]);
        if (width > columns) return text.left(i);
    }
    return text;
}

QString PadWidth(const QString& text, int columns) {
    return text + QString(std::max(0, columns - CellWidth(text)), QLatin1Char(' '));
}

}  // namespace corvat::cli
