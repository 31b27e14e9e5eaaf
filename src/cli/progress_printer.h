#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <cstdio>
#include <vector>

#include "cli/flash_event.h"

namespace corvat::cli {

// Progress for people, in Chinese. On a terminal: one line per port, redrawn in place, with finished
// boards and failures logged above them. Elsewhere: plain lines, at most one per port per tenth of a
// board. Quiet: only the failures, on stderr.
class ProgressPrinter : public QObject, public FlashSink {
    Q_OBJECT
  public:
    enum class Mode { kTerminal, kPlain, kQuiet };
    ProgressPrinter(Mode mode, std::FILE* out, const QStringList& ports, bool loop);

    void Report(const FlashEvent& event) override;
    void Finish(const FlashSummary& summary) override;

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
        std::int64_t lastMs = 0;  // the finished board's download time
        QElapsedTimer clock;      // since the download command
    };

    PortLine& LineFor(const QString& port);
    void ReportPlain(PortLine& line, const FlashEvent& event);
    QString LineText(const PortLine& line) const;
    QString CountsText(const PortLine& line) const;
    void Log(const QString& text);
    void Draw();
    void Write(const QString& text);

    Mode m_mode;
    std::FILE* m_out;
    bool m_loop;
    int m_portWidth = 0;
    std::vector<PortLine> m_lines;
    int m_drawn = 0;  // lines of the block on screen now
    QTimer m_redraw;
};

}  // namespace corvat::cli
