// corvat-virtual-target: a simulated target boot loader on a pseudo-terminal (see --help).
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "options.h"
#include "platform/program_places.h"
#include "runner.h"
#include "trace/replay.h"
#include "transcript.h"

namespace {

int g_stopWrite = -1;

void OnStopSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto ignored = write(g_stopWrite, &byte, 1);
}

// Signals only wake the loop through a pipe, so the link is removed by the normal way out.
int InstallStopSignals() {
    int fds[2];
    if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) return -1;
    g_stopWrite = fds[1];
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (const int stop : {SIGINT, SIGTERM, SIGHUP}) sigaction(stop, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    return fds[0];
}

// COM1 where the loader looks first: beside the program, or in the user's folder when it is installed.
std::string DefaultLinkPath() {
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    const auto folder = ec ? std::filesystem::current_path() : self.parent_path();
    return corvat::CurrentPlaces(folder.string() + "/").portFolders.front() + "COM1";
}

// ".../ports/COM1" counted on by offset: ".../ports/COM3" for 2. A name without a number gets one.
std::string NthLink(const std::string& first, int offset) {
    const std::filesystem::path path(first);
    std::string name = path.filename().string();
    std::size_t digits = name.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(name[digits - 1]))) --digits;
    const int start = digits < name.size() ? std::stoi(name.substr(digits)) : 1;
    name = name.substr(0, digits) + std::to_string(start + offset);
    return (path.parent_path() / name).string();
}

// "flash.bin" with "-COM2": "flash-COM2.bin".
std::string WithSuffix(const std::string& file, const std::string& suffix) {
    if (file.empty()) return file;
    std::filesystem::path path(file);
    const std::string extension = path.extension().string();
    return (path.parent_path() / (path.stem().string() + suffix + extension)).string();
}

constexpr int kMaxPorts = 64;
pid_t g_children[kMaxPorts];
int g_childCount = 0;

void ForwardStop(int signal) {
    for (int i = 0; i < g_childCount; ++i) kill(g_children[i], signal);
}

int RunOne(const corvat::vt::Options& options, std::vector<corvat::trace::ReplaySession> replay = {});
std::vector<corvat::trace::ReplaySession> LoadReplay(const corvat::vt::Options& options, std::string* error);

// One child process per port: each is the single target it would be alone, so a fault on one
// line (a hang-up, a stop) is exactly what a separate board would do.
int RunSeveral(const corvat::vt::Options& options) {
    for (int i = 0; i < options.ports && i < kMaxPorts; ++i) {
        corvat::vt::Options child = options;
        child.ports = 1;
        child.linkPath = NthLink(options.linkPath, i);
        child.label = std::filesystem::path(child.linkPath).filename().string();
        child.flashFile = WithSuffix(options.flashFile, "-" + child.label);
        child.transcriptFile = WithSuffix(options.transcriptFile, "-" + child.label);
        std::fflush(nullptr);
        const pid_t pid = fork();
        if (pid < 0) {
            std::perror("corvat-virtual-target: fork");
            ForwardStop(SIGTERM);
            break;
        }
        if (pid == 0) {
            // Commands on standard input would go to whichever child read them first.
            const int none = open("/dev/null", O_RDONLY);
            if (none >= 0) dup2(none, STDIN_FILENO);
            _exit(RunOne(child));
        }
        g_children[g_childCount++] = pid;
    }
    struct sigaction action {};
    action.sa_handler = ForwardStop;
    sigemptyset(&action.sa_mask);
    for (const int stop : {SIGINT, SIGTERM, SIGHUP}) sigaction(stop, &action, nullptr);
    int worst = 0;
    for (int i = 0; i < g_childCount; ++i) {
        int status = 0;
        while (waitpid(g_children[i], &status, 0) < 0 && errno == EINTR) {
        }
        worst = std::max(worst, WIFEXITED(status) ? WEXITSTATUS(status) : 1);
    }
    return worst;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace corvat::vt;
    const auto parsed = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.options) {
        std::fprintf(parsed.error ? stderr : stdout, "%s%s", parsed.error ? "corvat-virtual-target: " : "",
                     parsed.message.c_str());
        if (parsed.error) std::fprintf(stderr, "\n");
        return parsed.error ? 2 : 0;
    }
    Options options = *parsed.options;
    if (options.linkPath.empty()) options.linkPath = DefaultLinkPath();
    if (!options.replayFile.empty()) {
        std::string error;
        auto sessions = LoadReplay(options, &error);
        if (sessions.empty()) {
            std::fprintf(stderr, "corvat-virtual-target: %s\n", error.c_str());
            return 2;
        }
        // The recording holds the wait before the greeting; no power-on delay is added to it.
        options.greetDelay = std::chrono::milliseconds::zero();
        return RunOne(options, std::move(sessions));
    }
    return options.ports > 1 ? RunSeveral(options) : RunOne(options);
}

namespace {

std::vector<corvat::trace::ReplaySession> LoadReplay(const corvat::vt::Options& options, std::string* error) {
    std::ifstream file(options.replayFile, std::ios::binary);
    if (!file) {
        *error = "cannot read the trace " + options.replayFile + ": " + std::strerror(errno);
        return {};
    }
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const corvat::trace::ParseOutcome parsed = corvat::trace::ParseTrace(text);
    if (!parsed.trace) {
        *error = options.replayFile + ", line " + std::to_string(parsed.line) + ": " + parsed.error;
        return {};
    }
    auto sessions = corvat::trace::SessionsOf(*parsed.trace, options.replayPort, error);
    if (!sessions.empty() || !error->empty()) return sessions;
    *error = options.replayFile + " records no session";
    return {};
}

int RunOne(const corvat::vt::Options& options, std::vector<corvat::trace::ReplaySession> replay) {
    using namespace corvat::vt;
    Transcript transcript;
    std::string error;
    if (!transcript.Open(options.transcriptFile, &error)) {
        std::fprintf(stderr, "corvat-virtual-target: %s\n", error.c_str());
        return 1;
    }
    const int stopFd = InstallStopSignals();
    if (stopFd < 0) {
        std::perror("corvat-virtual-target: signals");
        return 1;
    }
    Runner runner(options, transcript, stopFd, std::move(replay));
    return runner.Run();
}

}  // namespace
