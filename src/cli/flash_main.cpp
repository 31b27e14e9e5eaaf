#include "cli/flash_main.h"

#include <unistd.h>

#include <QCoreApplication>
#include <cstdio>

#include "cli/flash_run.h"
#include "cli/image_source.h"
#include "cli/json_printer.h"
#include "cli/progress_printer.h"
#include "protocol/identification.h"

namespace corvat::cli {

namespace {

void Print(std::FILE* out, const QString& text) {
    WriteOut(out, text.toUtf8());
}

ProgressPrinter::Mode ModeFor(const FlashOptions& options, std::FILE* out) {
    if (options.quiet) return ProgressPrinter::Mode::kQuiet;
    return ::isatty(::fileno(out)) ? ProgressPrinter::Mode::kTerminal : ProgressPrinter::Mode::kPlain;
}

}  // namespace

int FlashMain(const QStringList& arguments) {
    const CommandLine commandLine = ParseCommandLine(arguments);
    if (!commandLine.options) {
        Print(commandLine.exitStatus == 0 ? stdout : stderr, commandLine.text);
        return commandLine.exitStatus;
    }
    const FlashOptions& options = *commandLine.options;
    // No board can hold more than its kind's capacity: an image that fits none fails here, before any port.
    const qint64 capacity =
        options.kind ? TargetKindFor(static_cast<char>('0' + *options.kind))->capacity : kLargestCapacity;
    const Result<QByteArray> image = LoadImage(options.image, capacity);
    if (!image) {
        Print(stderr, QStringLiteral("corvat-flash: %1\n").arg(image.message()));
        return kExitUsage;
    }
    QString appDir = QCoreApplication::applicationDirPath();
    if (!appDir.endsWith(QLatin1Char('/'))) appDir += QLatin1Char('/');
    const bool tracing = !options.traceFile.isEmpty();
    if (tracing) {
        if (const Result<> usable = CheckTracePath(options.traceFile, options.image, options.ports, appDir);
            !usable) {
            Print(stderr, QStringLiteral("corvat-flash: %1\n").arg(usable.message()));
            return kExitUsage;
        }
    }
    TraceLog trace;
    TraceNotes notes(trace);

    // With --json, stdout carries nothing but the events; people read the progress on stderr.
    std::FILE* humanOut = options.json ? stderr : stdout;
    const ProgressPrinter::Mode mode = ModeFor(options, options.quiet ? stderr : humanOut);
    ProgressPrinter progress(mode, options.quiet ? stderr : humanOut, options.ports, options.loop);
    JsonPrinter json(stdout);
    FanOut sinks;
    if (tracing) sinks.Add(&notes);
    if (options.json) sinks.Add(&json);
    sinks.Add(&progress);

    FlashRun run(options, *image, sinks, tracing ? &trace : nullptr);
    QString error;
    if (!run.OpenPorts(appDir, &error)) {
        Print(stderr, QStringLiteral("corvat-flash: %1\n").arg(error));
        return kExitUsage;
    }
    // Only now: a run that cannot open its ports leaves an earlier trace as it was.
    if (tracing) {
        if (const Result<> started = StartTrace(trace, options.traceFile, options.image, options.ports);
            !started) {
            Print(stderr, QStringLiteral("corvat-flash: %1\n").arg(started.message()));
            return kExitUsage;
        }
    }
    StopSignals stop;
    QObject::connect(&stop, &StopSignals::Stop, &run, &FlashRun::Interrupt);
    QObject::connect(&run, &FlashRun::Finished, QCoreApplication::instance(), &QCoreApplication::quit,
                     Qt::QueuedConnection);
    run.Start();
    QCoreApplication::exec();
    if (trace.Failed())
        Print(stderr, QStringLiteral("corvat-flash: 写入跟踪文件 %1 失败（%2），跟踪不完整。\n")
                          .arg(options.traceFile, QString::fromStdString(trace.Error())));
    return run.ExitStatus();
}

}  // namespace corvat::cli
