#include <QApplication>
#include <QFile>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "app/main_window.h"
#include "app/qt_dialogs.h"
#include "platform/program_places.h"
#include "platform/program_starter.h"
#include "platform/settings_folder.h"
#include "trace/trace_writer.h"

namespace {

// Answered before any window exists, so that they work without a display.
bool AnswerInfoOption(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::fputs("corvat " CORVAT_VERSION "\n", stdout);
            return true;
        }
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(
                "用法：corvat [--trace 文件] [--version | --help]\n"
                "打开 Corvat 程序加载器的窗口：把程序映像（.bin 或 .hex）经串口下载到目标板。\n"
                "  --trace 文件  把本次运行中串口上的每个字节和每次加载的映像记入跟踪文件\n"
                "                （格式见 docs/trace-format.md，可用 corvat-virtual-target --replay 重放）\n",
                stdout);
            return true;
        }
    }
    return false;
}

constexpr int kExitUsage = 2;

// --trace FILE or --trace=FILE: the file, or nothing. An option without its file, or with an empty one, is
// refused rather than quietly leaving the run unrecorded.
std::optional<std::string> TraceOption(int argc, char* argv[], std::string* error) {
    std::optional<std::string> path;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--trace") {
            if (i + 1 >= argc) *error = "--trace 缺少文件名。";
            path = i + 1 < argc ? argv[++i] : "";
        } else if (arg.rfind("--trace=", 0) == 0) {
            path = arg.substr(std::strlen("--trace="));
        }
    }
    if (path && path->empty() && error->empty()) *error = "--trace 的文件名为空。";
    return path;
}

// Opened before the window, so that a trace that cannot be written stops the start with a word on the
// terminal.
bool StartTrace(const std::string& path, corvat::trace::TraceWriter& trace) {
    std::string error;
    const int fd = corvat::trace::OpenTraceFile(path, &error);
    if (fd < 0) {
        std::fprintf(stderr, "corvat: 无法写入跟踪文件 %s：%s\n", path.c_str(), error.c_str());
        return false;
    }
    trace.Attach(fd);
    corvat::trace::Header header;
    header.program = "corvat";
    header.programVersion = CORVAT_VERSION;
    trace.WriteHeader(header);
    return true;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (AnswerInfoOption(argc, argv)) return 0;
    std::string traceError;
    const std::optional<std::string> tracePath = TraceOption(argc, argv, &traceError);
    if (!traceError.empty()) {
        std::fprintf(stderr, "corvat: %s\n", traceError.c_str());
        return kExitUsage;
    }
    corvat::trace::TraceWriter trace;
    if (tracePath && !StartTrace(*tracePath, trace)) return kExitUsage;
    QApplication app(argc, argv);
    const std::string programDir =
        QFile::encodeName(QCoreApplication::applicationDirPath() + QLatin1Char('/')).toStdString();
    const corvat::ProgramPlaces places = corvat::CurrentPlaces(programDir);
    corvat::DetachedProgramStarter starter;
    corvat::QtDialogs dialogs;
    corvat::WindowEnvironment environment;
    environment.dialogs = &dialogs;
    environment.starter = &starter;
    environment.settingsFile = QFile::decodeName(QByteArray::fromStdString(places.settingsFile));
    environment.settingsFolder = corvat::PrepareSettingsFolder(places, programDir);
    if (tracePath) environment.trace = &trace;
    corvat::MainWindow window(environment);
    window.Form_Load();  // shows the window
    const int status = app.exec();
    if (trace.Failed())
        std::fprintf(stderr, "corvat: 写入跟踪文件失败（%s），跟踪不完整。\n", trace.Error().c_str());
    return status;
}
