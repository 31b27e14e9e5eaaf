// corvat-virtual-target: a simulated target boot loader on a pseudo-terminal (see --help).
#include <fcntl.h>
#include <unistd.h>
#include <csignal>

#include <cstdio>
#include <filesystem>

#include "options.h"
#include "platform/program_places.h"
#include "runner.h"
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
    Runner runner(options, transcript, stopFd);
    return runner.Run();
}
