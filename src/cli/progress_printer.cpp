#include "cli/progress_printer.h"

namespace corvat::cli {

namespace {

constexpr int kBarCells = 24;
constexpr int kStateCells = 18;  // the longest state, so that the bars of all ports line up
constexpr int kRedrawMs = 100;
// Escape sequences of any ANSI terminal: move up and down, clear the line, clear below, line wrap off and on.
const char* const kClearLine = "\r\x1b[2K";
const char* const kClearBelow = "\x1b[J";
const char* const kWrapOff = "\x1b[?7l";
const char* const kWrapOn = "\x1b[?7h";

QString ShortReason(FailReason reason) {
    switch (reason) {
        case FailReason::kGreetingTimeout:
            return QStringLiteral("上电超时");
        case FailReason::kUnknownKind:
            return QStringLiteral("类型不明");
        case FailReason::kWrongKind:
            return QStringLiteral("类型不符");
        case FailReason::kImageTooBig:
            return QStringLiteral("映像过大");
        case FailReason::kReplyTimeout:
            return QStringLiteral("应答超时");
        case FailReason::kTooManyResends:
            return QStringLiteral("重发过多");
        case FailReason::kPortLost:
            return QStringLiteral("串口断开");
        case FailReason::kUnexpectedReply:
            return QStringLiteral("应答失步");
        case FailReason::kInterrupted:
            return QStringLiteral("已中断");
        case FailReason::kUnconfirmed:
            return QStringLiteral("未获确认");
        case FailReason::kBoardReset:
            return QStringLiteral("从机重启");
    }
    return {};
}

QString FailureText(const FlashEvent& event) {
    return QStringLiteral("%1：第 %2 块失败：%3").arg(event.port).arg(event.board).arg(event.message);
}

// What is left of a download, at the pace of its pages so far.
std::int64_t LeftMs(std::int64_t elapsedMs, std::int32_t pages, std::int32_t of) {
    return elapsedMs * (of - pages) / pages;
}

QString Up(qsizetype lines) {
    return QStringLiteral("\x1b[%1A").arg(lines);
}

QString Down(qsizetype lines) {
    return QStringLiteral("\x1b[%1B").arg(lines);
}

}  // namespace

ProgressPrinter::ProgressPrinter(Mode mode, std::FILE* out, const QStringList& ports, bool loop,
                                 SizeSource size)
    : m_mode(mode), m_out(out), m_loop(loop), m_size(std::move(size)) {
    if (!m_size) m_size = [out] { return TerminalSizeOf(out); };
    for (const QString& port : ports) {
        PortLine& line = m_lines.emplace_back();
        line.port = port;
        line.state = QStringLiteral("等待从机上电");
        m_portWidth = std::max(m_portWidth, static_cast<int>(port.size()));
    }
    if (m_mode == Mode::kTerminal) {
        connect(&m_redraw, &QTimer::timeout, this, &ProgressPrinter::Draw);
        m_redraw.start(kRedrawMs);
    }
}

ProgressPrinter::PortLine& ProgressPrinter::LineFor(const QString& port) {
    for (PortLine& line : m_lines)
        if (line.port == port) return line;
    PortLine& line = m_lines.emplace_back();
    line.port = port;
    return line;
}

void ProgressPrinter::Report(const FlashEvent& event) {
    PortLine& line = LineFor(event.port);
    line.board = std::max(line.board, event.board);
    switch (event.type) {
        case FlashEvent::Type::kOpened:
            break;
        case FlashEvent::Type::kGreeted:
            line.busy = true;
            line.lastFailed = false;
            line.state = QStringLiteral("联接中");
            line.pages = line.of = line.resends = 0;
            line.lastMs = 0;
            line.decile = 0;  // the first plain line comes at a tenth
            break;
        case FlashEvent::Type::kIdentified:
            line.state = QStringLiteral("已识别：%1 字节").arg(event.capacity);
            break;
        case FlashEvent::Type::kPageAccepted:
        case FlashEvent::Type::kPageRejected:
            if (!line.downloading) line.clock.start();
            line.downloading = true;
            line.state = QStringLiteral("下载中");
            line.of = event.of;
            if (event.type == FlashEvent::Type::kPageAccepted)
                line.pages = event.index + 1;
            else
                ++line.resends;
            break;
        case FlashEvent::Type::kDone:
            ++line.done;
            line.busy = line.downloading = false;
            line.pages = line.of = event.of;
            line.lastMs = event.elapsedMs;
            line.state = m_loop ? QStringLiteral("完成，等待下一块") : QStringLiteral("完成");
            break;
        case FlashEvent::Type::kFailed:
            ++line.failed;
            line.busy = line.downloading = false;
            line.lastFailed = true;
            line.state = QStringLiteral("失败：") + ShortReason(event.reason);
            break;
        case FlashEvent::Type::kWaitingPort:
            line.downloading = false;
            line.state = QStringLiteral("串口断开，等待重新接上");
            break;
        case FlashEvent::Type::kPortBack:
            line.state = QStringLiteral("等待从机上电");
            break;
    }
    if (m_mode == Mode::kTerminal) {
        if (event.type == FlashEvent::Type::kDone && m_loop)
            Log(QStringLiteral("%1：第 %2 块完成（%3 页，重发 %4 次，用时 %5）")
                    .arg(event.port)
                    .arg(event.board)
                    .arg(event.of)
                    .arg(event.resends)
                    .arg(ClockText(event.elapsedMs)));
        if (event.type == FlashEvent::Type::kFailed) Log(FailureText(event));
    } else {
        ReportPlain(line, event);
    }
}

void ProgressPrinter::ReportPlain(PortLine& line, const FlashEvent& event) {
    const QString& port = event.port;
    if (m_mode == Mode::kQuiet) {
        if (event.type == FlashEvent::Type::kFailed) Write(FailureText(event) + QLatin1Char('\n'));
        return;
    }
    switch (event.type) {
        case FlashEvent::Type::kOpened:
            Write(QStringLiteral("%1：已打开 %2，等待从机上电\n").arg(port, event.device));
            return;
        case FlashEvent::Type::kGreeted:
            Write(QStringLiteral("%1：第 %2 块从机已上电\n").arg(port).arg(event.board));
            return;
        case FlashEvent::Type::kIdentified:
            Write(QStringLiteral("%1：从机类型 %2，容量 %3 字节，每页 %4 字节，版本 %5\n")
                      .arg(port)
                      .arg(event.kind)
                      .arg(event.capacity)
                      .arg(event.pageSize)
                      .arg(event.version));
            return;
        case FlashEvent::Type::kPageAccepted: {
            const int decile = line.of > 0 ? line.pages * 10 / line.of : 0;
            if (decile <= line.decile) return;
            line.decile = decile;
            const std::int64_t elapsed = line.clock.elapsed();
            Write(QStringLiteral("%1：%2%（%3/%4 页，重发 %5 次，用时 %6，剩余 %7）\n")
                      .arg(port)
                      .arg(decile * 10)
                      .arg(line.pages)
                      .arg(line.of)
                      .arg(line.resends)
                      .arg(ClockText(elapsed), ClockText(LeftMs(elapsed, line.pages, line.of))));
            return;
        }
        case FlashEvent::Type::kPageRejected:
            return;
        case FlashEvent::Type::kDone:
            Write(QStringLiteral("%1：第 %2 块完成，已释放从机（%3 页，重发 %4 次，用时 %5）\n")
                      .arg(port)
                      .arg(event.board)
                      .arg(event.of)
                      .arg(event.resends)
                      .arg(ClockText(event.elapsedMs)));
            return;
        case FlashEvent::Type::kFailed:
            Write(FailureText(event) + QLatin1Char('\n'));
            return;
        case FlashEvent::Type::kWaitingPort:
            Write(QStringLiteral("%1：串口断开（%2），等待重新接上\n").arg(port, event.message));
            return;
        case FlashEvent::Type::kPortBack:
            Write(QStringLiteral("%1：已重新打开 %2，等待从机上电\n").arg(port, event.device));
            return;
    }
}

QString ProgressPrinter::CountsText(const PortLine& line) const {
    const int filled = line.of > 0 ? line.pages * kBarCells / line.of : 0;
    QString text = QStringLiteral("[%1%2]  ")
                       .arg(QString(filled, QChar(0x2588)), QString(kBarCells - filled, QChar(0x2591)));
    const std::int64_t elapsed = line.downloading ? line.clock.elapsed() : 0;
    QString left = QStringLiteral("--:--");
    if (line.downloading && line.pages > 0) left = ClockText(LeftMs(elapsed, line.pages, line.of));
    text += QStringLiteral("%1/%2 页  重发 %3").arg(line.pages, 3).arg(line.of).arg(line.resends);
    if (line.downloading)
        text += QStringLiteral("  用时 %1  剩余 %2").arg(ClockText(elapsed), left);
    else if (line.lastMs > 0)
        text += QStringLiteral("  用时 %1").arg(ClockText(line.lastMs));
    return text;
}

QString ProgressPrinter::LineText(const PortLine& line) const {
    // The state comes first: on a narrow terminal the end of the line is what is cut off.
    QString text = line.port.leftJustified(m_portWidth) + QStringLiteral("  ") +
                   PadWidth(line.state, kStateCells) + QStringLiteral("  ") + CountsText(line);
    if (m_loop)
        text +=
            QStringLiteral("  第 %1 块（成功 %2，失败 %3）").arg(line.board).arg(line.done).arg(line.failed);
    return text;
}

QString ProgressPrinter::CompactSummary() const {
    int busy = 0;
    int failed = 0;
    int done = 0;
    for (const PortLine& line : m_lines) {
        busy += line.busy;
        failed += line.lastFailed;
        done += line.done;
    }
    const int waiting = static_cast<int>(m_lines.size()) - busy - failed;
    return QStringLiteral("%1 个串口：%2 个进行中，%3 个等待，%4 个失败；已完成 %5 块")
        .arg(m_lines.size())
        .arg(busy)
        .arg(waiting)
        .arg(failed)
        .arg(done);
}

QStringList ProgressPrinter::BlockLines(const TerminalSize& size) const {
    // One row stays free for the cursor below the block: a block as high as the terminal would scroll.
    const qsizetype rows = std::max(1, size.rows - 1);
    QStringList lines;
    if (static_cast<qsizetype>(m_lines.size()) <= rows) {
        for (const PortLine& line : m_lines) lines << LineText(line);
    } else {
        lines << CompactSummary();
        qsizetype left = 0;
        for (const PortLine& line : m_lines) {
            if (!line.busy && !line.lastFailed) continue;
            if (lines.size() < rows)
                lines << LineText(line);
            else
                ++left;
        }
        if (left > 0) lines.back() = QStringLiteral("……另有 %1 个串口进行中或失败").arg(left + 1);
    }
    for (QString& line : lines) line = FitWidth(line, size.columns);
    return lines;
}

void ProgressPrinter::Log(const QString& text) {
    if (!m_shown.isEmpty()) Write(Up(m_shown.size()) + QLatin1String(kClearBelow));
    m_shown.clear();
    Write(text + QLatin1Char('\n'));
    Draw();
}

void ProgressPrinter::Notice(const QString& text) {
    if (m_mode == Mode::kTerminal)
        Log(text);
    else
        Write(text + QLatin1Char('\n'));
}

void ProgressPrinter::Draw() {
    const TerminalSize size = m_size();
    const QStringList lines = BlockLines(size);
    const bool whole = size != m_shownSize || lines.size() != m_shown.size();
    if (!whole && lines == m_shown) return;
    QString block = QLatin1String(kWrapOff);
    if (whole) {
        if (!m_shown.isEmpty()) block += Up(m_shown.size());
        for (const QString& line : lines) block += QLatin1String(kClearLine) + line + QLatin1Char('\n');
        block += QLatin1String(kClearBelow);
    } else {
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (lines[i] == m_shown[i]) continue;
            const qsizetype up = lines.size() - i;
            block += Up(up) + QLatin1String(kClearLine) + lines[i] + QLatin1Char('\r') + Down(up);
        }
    }
    Write(block + QLatin1String(kWrapOn));
    m_shown = lines;
    m_shownSize = size;
}

void ProgressPrinter::Finish(const FlashSummary& summary) {
    if (m_mode == Mode::kTerminal) {
        m_redraw.stop();
        Draw();
    }
    if (m_mode == Mode::kQuiet) return;
    Write(QStringLiteral("汇总：成功 %1 块，失败 %2 块，用时 %3%4\n")
              .arg(summary.done)
              .arg(summary.failed)
              .arg(ClockText(summary.elapsedMs))
              .arg(!summary.interrupted       ? QString()
                   : summary.signal.isEmpty() ? QStringLiteral("（已中断）")
                                              : QStringLiteral("（因 %1 中断）").arg(summary.signal)));
}

void ProgressPrinter::Write(const QString& text) {
    WriteOut(m_out, text.toUtf8());
}

}  // namespace corvat::cli
