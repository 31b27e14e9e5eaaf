#include "cli/flash_main.h"

#include <unistd.h>

#include <QCoreApplication>
#include <cstdio>

#include "cli/flash_run.h"
#include "cli/image_source.h"
#include "cli/json_printer.h"
#include "cli/path_checks.h"
#include "cli/port_listing.h"
#include "cli/progress_printer.h"
#include "cli/record_sink.h"
#include "protocol/identification.h"

namespace corvat::cli {

namespace {

void Print(std::FILE* out, const QString& text) {
    WriteOut(out, text.toUtf8());
}

// stdout carries JSON or nothing: people read the progress and every failure on stderr.
ProgressPrinter::Mode ModeFor(const FlashOptions& options) {
    if (options.quiet) return ProgressPrinter::Mode::kQuiet;
    return ::isatty(STDERR_FILENO) ? ProgressPrinter::Mode::kTerminal : ProgressPrinter::Mode::kPlain;
}

QString AppDir() {
    QString appDir = QCoreApplication::applicationDirPath();
    if (!appDir.endsWith(QLatin1Char('/'))) appDir += QLatin1Char('/');
    return appDir;
}

// Everything refused before a board was reached ends here: the text on stderr, and with --json one
// error event and a summary, so that a program reading stdout always learns how the run ended.
class Refusal {
  public:
    Refusal(bool json, const QElapsedTimer& clock) : m_json(json), m_clock(clock) {}

    int operator()(const QString& reason, const QString& message, const QString& shown = {}) const {
        Print(stderr, shown.isEmpty() ? QStringLiteral("corvat-flash: %1\n").arg(message) : shown);
        if (m_json) {
            JsonPrinter json(stdout);
            json.Error(reason, message);
            FlashSummary summary;
            summary.elapsedMs = m_clock.elapsed();
            json.Finish(summary);
        }
        return kExitUsage;
    }

  private:
    bool m_json;
    const QElapsedTimer& m_clock;
};

qint64 CapacityFor(const FlashOptions& options) {
    return options.kind ? TargetKindFor(static_cast<char>('0' + *options.kind))->capacity : kLargestCapacity;
}

// The record file, refused where writing it would destroy the image or a trace, or write into a port.
Result<> OpenRecord(const FlashOptions& options, const QStringList& devices, RecordFile& file) {
    const QString& path = *options.recordFile;
    if (const Result<> usable = CheckOutputFile(QStringLiteral("--record"), path, options.image, devices);
        !usable)
        return usable;
    if (!options.traceFile.isEmpty() && SameFile(options.traceFile, path))
        return Fail(FailureCode::kUnsafe, QStringLiteral("--record 和 --trace 是同一个文件 %1。").arg(path));
    return file.Open(path);
}

}  // namespace

int FlashMain(const QStringList& arguments) {
    QElapsedTimer clock;
    clock.start();
    // From the first moment, so that no stop signal ends the program without its summary.
    StopSignals stop;
    const CommandLine commandLine = ParseCommandLine(arguments);
    const Refusal refuse(commandLine.json, clock);
    if (!commandLine.options) {
        if (commandLine.exitStatus == 0) {
            Print(stdout, commandLine.text);
            return 0;
        }
        return refuse(QStringLiteral("usage"), commandLine.error, commandLine.text);
    }
    const FlashOptions& options = *commandLine.options;
    if (options.listPorts) return ListPorts(stdout, options.json);

    // No board can hold more than its kind's capacity: an image that fits none fails here, before any port.
    const Result<QByteArray> image = LoadImage(options.image, CapacityFor(options));
    if (!image) return refuse(QStringLiteral("image_refused"), image.message());
    const Result<ImageFacts> facts = DescribeImage(options.image, *image);
    if (!facts) return refuse(QStringLiteral("image_refused"), facts.message());
    JsonPrinter json(stdout);
    if (options.json) json.Start(options, *facts);

    const QString appDir = AppDir();
    const Result<QStringList> devices = PortDevices(options.ports, appDir);
    if (!devices) return refuse(QStringLiteral("usage"), devices.message());
    RecordFile recordFile;
    if (options.recordFile)
        if (const Result<> opened = OpenRecord(options, *devices, recordFile); !opened)
            return refuse(QStringLiteral("record_refused"), opened.message());
    const bool tracing = !options.traceFile.isEmpty();
    if (tracing)
        if (const Result<> usable = CheckTracePath(options.traceFile, options.image, *devices); !usable)
            return refuse(QStringLiteral("trace_refused"), usable.message());
    TraceLog trace;
    TraceNotes notes(trace);

    ProgressPrinter progress(ModeFor(options), stderr, options.ports, options.loop);
    FanOut sinks;
    if (tracing) sinks.Add(&notes);
    if (options.json) sinks.Add(&json);
    sinks.Add(&progress);

    FlashRun run(options, *image, sinks, tracing ? &trace : nullptr);
    if (const Result<> opened = run.OpenPorts(appDir); !opened)
        return refuse(QStringLiteral("port_not_opened"), opened.message());
    // Only now: a run that cannot open its ports leaves an earlier trace as it was.
    if (tracing)
        if (const Result<> started = StartTrace(trace, options.traceFile, *facts, options.ports); !started)
            return refuse(QStringLiteral("trace_refused"), started.message());
    RecordSink record(recordFile, *facts, AdapterIdentityOf, [&](const Failure& failure) {
        progress.Notice(QStringLiteral("corvat-flash: %1").arg(failure.message));
        if (options.json) json.Error(QStringLiteral("record_failed"), failure.message);
    });
    if (options.recordFile) sinks.Add(&record);

    QObject::connect(&stop, &StopSignals::Stop, &run, &FlashRun::Interrupt);
    QObject::connect(&run, &FlashRun::Finished, QCoreApplication::instance(), &QCoreApplication::quit,
                     Qt::QueuedConnection);
    run.Start();
    QCoreApplication::exec();
    if (trace.Failed())
        Print(stderr, QStringLiteral("corvat-flash: 写入跟踪文件 %1 失败（%2），跟踪不完整。\n")
                          .arg(options.traceFile, QString::fromStdString(trace.Error())));
    // A board flashed but missing from the record is a failure of the run: the line must not trust it.
    return std::max(run.ExitStatus(), record.Failed() ? kExitBoardFailed : kExitFlashed);
}

}  // namespace corvat::cli
