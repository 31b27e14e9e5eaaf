#pragma once

#include <QString>
#include <cstdio>

namespace corvat::cli {

// A terminal's size in character cells.
struct TerminalSize {
    int columns = 80;
    int rows = 24;
    bool operator==(const TerminalSize&) const = default;
};

// The size of the terminal behind the stream, asked of the system each time (it changes when the window
// does); 80 by 24 when the system cannot tell.
TerminalSize TerminalSizeOf(std::FILE* stream);

// Cells the text takes on a terminal: Chinese characters and full-width forms take two.
int CellWidth(const QString& text);

// The longest start of text that fits in columns cells.
QString FitWidth(const QString& text, int columns);

// text with blanks after it up to columns cells.
QString PadWidth(const QString& text, int columns);

}  // namespace corvat::cli
