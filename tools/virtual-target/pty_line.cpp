#include "pty_line.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/program_places.h"

namespace corvat::vt {

namespace {

constexpr int kFullLinePatienceMs = 2000;

std::string SystemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

}  // namespace

bool PtyLine::Open(const std::string& linkPath, std::string* error) {
    Close();
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master < 0) {
        *error = SystemError("cannot open a pseudo-terminal");
        return false;
    }
    const char* slave = nullptr;
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0 || (slave = ptsname(m_master)) == nullptr) {
        *error = SystemError("cannot prepare the pseudo-terminal");
        Close();
        return false;
    }
    m_slave = slave;
    // A slave that was never opened gives the master no hang-up; opened and closed once, it
    // does, until a loader opens it. That is how the loader's open is seen.
    const int once = open(slave, O_RDWR | O_NOCTTY);
    if (once >= 0) close(once);
    // Raw from the start: no echo of the loader's bytes back to it, no line editing, FF and
    // control bytes pass unchanged. A loader sets its own mode when it opens the port, too.
    termios mode{};
    tcgetattr(m_master, &mode);
    cfmakeraw(&mode);
    cfsetispeed(&mode, B9600);
    cfsetospeed(&mode, B9600);
    tcsetattr(m_master, TCSANOW, &mode);
    if (!LinkSlave(linkPath, error)) {
        Close();
        return false;
    }
    return true;
}

bool PtyLine::LinkSlave(const std::string& linkPath, std::string* error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path link(linkPath);
    // The link folder may be the operator's settings folder: made private, as the loader makes it.
    if (link.has_parent_path()) corvat::MakePrivateFolders(link.parent_path().string());
    // A link left behind by a target that was killed is replaced; anything else at that path
    // is somebody's file and stays.
    const auto status = fs::symlink_status(link, ec);
    if (fs::is_symlink(status)) {
        fs::remove(link, ec);
    } else if (fs::exists(status)) {
        *error = linkPath + " exists and is not a link; not replacing it";
        return false;
    }
    fs::create_symlink(m_slave, link, ec);
    if (ec) {
        *error = "cannot link " + linkPath + " to " + m_slave + ": " + ec.message();
        return false;
    }
    m_link = linkPath;
    return true;
}

void PtyLine::Close() {
    if (!m_link.empty()) {
        // Only our own link goes: another target may have linked the same name meanwhile.
        std::error_code ec;
        if (std::filesystem::read_symlink(m_link, ec) == m_slave) std::filesystem::remove(m_link, ec);
        m_link.clear();
    }
    if (m_master >= 0) close(m_master);
    m_master = -1;
}

bool PtyLine::LoaderPresent() const {
    if (m_master < 0) return false;
    pollfd fd{m_master, POLLIN, 0};
    if (poll(&fd, 1, 0) < 0) return false;
    return (fd.revents & POLLHUP) == 0;
}

std::string PtyLine::Read() {
    std::string bytes;
    char buffer[4096];
    for (;;) {
        const ssize_t count = read(m_master, buffer, sizeof buffer);
        if (count > 0) {
            bytes.append(buffer, static_cast<std::size_t>(count));
            continue;
        }
        if (count < 0 && errno == EINTR) continue;
        return bytes;  // EAGAIN: all read; EIO: the loader closed the port
    }
}

bool PtyLine::Write(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t count = write(m_master, bytes.data(), bytes.size());
        if (count < 0) {
            if (errno == EINTR) continue;
            if (errno != EAGAIN) return false;
            // A loader that has stopped reading fills the line; one that has gone never empties it.
            pollfd fd{m_master, POLLOUT, 0};
            if (poll(&fd, 1, kFullLinePatienceMs) <= 0 || (fd.revents & POLLHUP)) return false;
            continue;
        }
        bytes.remove_prefix(static_cast<std::size_t>(count));
    }
    return true;
}

}  // namespace corvat::vt
