#include "trace/trace_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace corvat::trace {

int OpenTraceFile(const std::string& path, std::string* error) {
    // Both front ends show these texts to their operators as they stand.
    const char* kSymlink = "它是符号链接，请给出文件本身的路径";
    const char* kNotRegular = "它不是普通文件（而是 FIFO、设备或文件夹等）";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
        // A FIFO without a reader refuses a non-blocking writer with ENXIO, a folder with EISDIR.
        *error = errno == ELOOP                      ? kSymlink
                 : errno == ENXIO || errno == EISDIR ? kNotRegular
                                                     : std::strerror(errno);
        return -1;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        *error = kNotRegular;
        ::close(fd);
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (::ftruncate(fd, 0) != 0 || flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        *error = std::strerror(errno);
        ::close(fd);
        return -1;
    }
    return fd;
}

TraceWriter::~TraceWriter() {
    if (m_fd >= 0) ::close(m_fd);
}

void TraceWriter::Attach(int fd) {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = fd;
    m_start = std::chrono::steady_clock::now();
}

std::int64_t TraceWriter::Micros() const {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - m_start)
        .count();
}

void TraceWriter::WriteHeader(const Header& header) {
    Write(HeaderLine(header));
}

void TraceWriter::Bytes(std::string_view port, Direction direction, std::string_view bytes) {
    if (!bytes.empty()) Write(BytesLine(Micros(), port, direction, bytes));
}

void TraceWriter::Note(std::string_view port, std::string_view note, const Fields& fields) {
    Write(NoteLine(Micros(), port, note, fields));
}

void TraceWriter::Write(const std::string& line) {
    if (m_fd < 0 || Failed()) return;
    std::size_t done = 0;
    while (done < line.size()) {
        const ssize_t written = ::write(m_fd, line.data() + done, line.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            m_error = written < 0 ? std::strerror(errno) : "nothing could be written";
            return;
        }
        done += static_cast<std::size_t>(written);
    }
}

}  // namespace corvat::trace
