// The terminal view of corvat-flash over a stream in memory and a terminal size the test chooses.
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <cstdio>

#include "cli/progress_printer.h"

namespace corvat::cli {
namespace {

// A stream whose text the test reads back, piece by piece.
class MemoryStream {
  public:
    MemoryStream() : m_file(::open_memstream(&m_buffer, &m_size)) {}
    ~MemoryStream() {
        std::fclose(m_file);
        std::free(m_buffer);
    }
    std::FILE* file() { return m_file; }
    // What was written since the last call.
    QString Take() {
        std::fflush(m_file);
        const QString text = QString::fromUtf8(m_buffer + m_taken, static_cast<qsizetype>(m_size - m_taken));
        m_taken = m_size;
        return text;
    }

  private:
    char* m_buffer = nullptr;
    std::size_t m_size = 0;
    std::size_t m_taken = 0;
    std::FILE* m_file;
};

// The lines a terminal shows from the text: escape codes and carriage returns removed.
QStringList Shown(QString text) {
    static const QRegularExpression escape(QStringLiteral("\x1b\\[[0-9;?]*[A-Za-z]"));
    text.remove(escape);
    QStringList lines;
    for (const QString& line : text.split(QRegularExpression(QStringLiteral("[\r\n]"))))
        if (!line.isEmpty()) lines << line;
    return lines;
}

FlashEvent Event(FlashEvent::Type type, int port, std::int32_t index = -1) {
    FlashEvent event;
    event.type = type;
    event.port = QStringLiteral("COM%1").arg(port);
    event.board = 1;
    event.index = index;
    event.of = 112;
    event.capacity = 7168;
    event.reason = FailReason::kReplyTimeout;
    event.message = QStringLiteral("应答超时");
    return event;
}

QStringList Ports(int count) {
    QStringList ports;
    for (int i = 1; i <= count; ++i) ports << QStringLiteral("COM%1").arg(i);
    return ports;
}

struct ViewRow {
    const char* name;
    TerminalSize size;
    int ports;
    bool loop;
};

class ProgressView : public ::testing::TestWithParam<ViewRow> {};

TEST_P(ProgressView, FitsTheTerminalAndWritesOnlyChanges) {
    const ViewRow& row = GetParam();
    MemoryStream out;
    ProgressPrinter view(ProgressPrinter::Mode::kTerminal, out.file(), Ports(row.ports), row.loop,
                         [&] { return row.size; });
    view.Report(Event(FlashEvent::Type::kGreeted, 2));
    view.Report(Event(FlashEvent::Type::kIdentified, 2));
    view.Draw();
    const QStringList first = Shown(out.Take());
    EXPECT_LT(first.size(), row.size.rows);  // the block and the cursor's line below it never scroll
    for (const QString& line : first) EXPECT_LE(CellWidth(line), row.size.columns) << line.toStdString();
    // The busy port stays in sight, however many ports there are.
    EXPECT_TRUE(first.filter(QStringLiteral("COM2 ")).size() == 1) << first.join('\n').toStdString();

    for (int i = 0; i < 10; ++i) view.Draw();
    EXPECT_EQ(out.Take(), QString());  // idle: not a byte

    view.Report(Event(FlashEvent::Type::kPageAccepted, 2, 0));
    view.Draw();
    const QStringList changed = Shown(out.Take());
    ASSERT_EQ(changed.size(), 1);
    EXPECT_TRUE(changed[0].startsWith(QStringLiteral("COM2 "))) << changed[0].toStdString();
}

INSTANTIATE_TEST_SUITE_P(Cli, ProgressView,
                         ::testing::Values(ViewRow{"Wide", {200, 50}, 3, false},
                                           ViewRow{"EightyColumns", {80, 24}, 8, true},
                                           ViewRow{"Narrow", {30, 24}, 2, false},
                                           ViewRow{"MorePortsThanRows", {100, 6}, 12, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ProgressViewTest, CompactViewNamesTheFailedAndSumsUp) {
    MemoryStream out;
    ProgressPrinter view(ProgressPrinter::Mode::kTerminal, out.file(), Ports(12), false, [] {
        return TerminalSize{100, 6};
    });
    view.Report(Event(FlashEvent::Type::kGreeted, 7));
    view.Report(Event(FlashEvent::Type::kFailed, 7));
    view.Draw();
    const QStringList shown = Shown(out.Take());
    EXPECT_EQ(shown.filter(QStringLiteral("COM7 ")).size(), 1);  // in the block, beside the logged failure
    EXPECT_EQ(shown.filter(QStringLiteral("12 个串口：0 个进行中，11 个等待，1 个失败")).size(), 1);
}

TEST(ProgressViewTest, PlainLinesCarryNoEscapeCodes) {
    MemoryStream out;
    ProgressPrinter view(ProgressPrinter::Mode::kPlain, out.file(), Ports(2), false);
    view.Report(Event(FlashEvent::Type::kGreeted, 1));
    view.Report(Event(FlashEvent::Type::kFailed, 1));
    view.Finish({});
    const QString text = out.Take();
    EXPECT_TRUE(text.contains(QStringLiteral("汇总")));
    EXPECT_FALSE(text.contains(QLatin1Char('\x1b')));
}

}  // namespace
}  // namespace corvat::cli
