#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <vector>

#include "cli/flash_event.h"
#include "cli/terminal_text.h"

namespace corvat::cli {

// Progress for people, in Chinese. On a terminal: one line per port, redrawn in place, with finished
// boards and failures logged above them; only lines that changed are written, none wider than the
// terminal, and when the ports outnumber its rows a summary line and the busy or failed ports stand in
// for them, so the block never scrolls. Elsewhere: plain lines without escape codes, at most one per port
// per tenth of a board. Quiet: only the failures.
class ProgressPrinter : public QObject, public FlashSink {
    Q_OBJECT
  public:
    enum class Mode { kTerminal, kPlain, kQuiet };
    using SizeSource = std::function<TerminalSize()>;
    // size: the terminal's size, asked at every redraw; by default that of out's terminal.
    ProgressPrinter(Mode mode, std::FILE* out, const QStringList& ports, bool loop, SizeSource size = {});

    void Report(const FlashEvent& event) override;
    void Finish(const FlashSummary& summary) override;
    // Brings the terminal's block up to date; writes nothing when nothing on it changed.
    void Draw();
    // A failure of the run itself (not of a board), in every mode; on a terminal above the block.
    void Notice(const QString& text);

  private:
    struct PortLine {
        QString port;
        QString state;
        int board = 0;
        int done = 0;
        int failed = 0;
        std::int32_t pages = 0;
        std::int32_t of = 0;
        std::int32_t resends = 0;
        int decile = 0;  // tenths of the board already reported in plain lines
        bool downloading = false;
        bool busy = false;        // a board is greeted and not finished
        bool lastFailed = false;  // its last board failed
        std::int64_t lastMs = 0;  // the finished board's download time
        QElapsedTimer clock;      // since the download command
    };

    PortLine& LineFor(const QString& port);
    void ReportPlain(PortLine& line, const FlashEvent& event);
    QString LineText(const PortLine& line) const;
    QString CountsText(const PortLine& line) const;
    QStringList BlockLines(const TerminalSize& size) const;
    QString CompactSummary() const;
    void Log(const QString& text);
    void Write(const QString& text);

    Mode m_mode;
    std::FILE* m_out;
    bool m_loop;
    int m_portWidth = 0;
    SizeSource m_size;
    std::vector<PortLine> m_lines;
    QStringList m_shown;  // the block on screen now, the cursor on the line below it
    TerminalSize m_shownSize;
    QTimer m_redraw;
};

}  // namespace corvat::cli
