#include "hex2bin/convert_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <string_view>
#include <vector>

namespace corvat::hex2bin {
namespace {

constexpr mode_t kNewFileMode = 0666;  // narrowed by the umask, as for any file a program creates

struct ReadResult {
    std::vector<std::uint8_t> bytes;
    std::optional<std::string> error;
};

// Built by appending: GCC 12 at -O3 warns falsely (-Wrestrict) on chains of std::string operator+.
std::string Join(std::initializer_list<std::string_view> parts) {
    std::string text;
    for (std::string_view part : parts) text.append(part);
    return text;
}

std::string SystemError(std::string_view what, const std::string& path) {
    return Join({what, " ", path, "：", std::strerror(errno)});
}

// Reads in chunks rather than trusting the size, so pipes and growing files are read correctly too.
ReadResult ReadWholeFile(const std::string& path) {
    ReadResult result;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        result.error = SystemError("无法打开输入文件", path);
        return result;
    }
    constexpr std::size_t kChunk = 1 << 20;
    std::size_t used = 0;
    for (;;) {
        if (result.bytes.size() < used + kChunk) result.bytes.resize(used + kChunk);
        const ssize_t got = ::read(fd, result.bytes.data() + used, kChunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            result.error = SystemError("无法读取输入文件", path);
            break;
        }
        if (got == 0) break;
        used += static_cast<std::size_t>(got);
        if (used > kMaxInputSize) {
            result.error = Join({"输入文件 ", path, " 过大：最多 ", std::to_string(kMaxInputSize), " 字节"});
            break;
        }
    }
    ::close(fd);
    result.bytes.resize(used);
    return result;
}

bool WriteAll(int fd, const std::vector<std::uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        done += static_cast<std::size_t>(put);
    }
    return true;
}

mode_t CurrentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

std::optional<std::string> WriteAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    const std::filesystem::path target(path);
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    // Hidden and in the same folder, so the rename cannot cross file systems and no reader polling
    // for the output's name ever sees a partial file.
    std::string temp = (folder / Join({".", target.filename().string(), ".XXXXXX"})).string();
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return SystemError("无法在输出文件夹中建立文件", folder.string());
    const bool written = WriteAll(fd, bytes) && ::fchmod(fd, kNewFileMode & ~CurrentUmask()) == 0;
    std::optional<std::string> error;
    if (!written) error = SystemError("无法写入输出文件", path);
    if (::close(fd) != 0 && !error) error = SystemError("无法写入输出文件", path);
    if (!error && ::rename(temp.c_str(), path.c_str()) != 0) error = SystemError("无法建立输出文件", path);
    if (error) ::unlink(temp.c_str());
    return error;
}

}  // namespace

std::optional<std::string> ConvertFile(const std::string& inputPath, const std::string& outputPath,
                                       const Limits& limits) {
    const ReadResult input = ReadWholeFile(inputPath);
    if (input.error) return input.error;
    const ParseResult parsed = ParseIntelHex(input.bytes, limits);
    if (parsed.error) {
        return Join({inputPath, " 第 ", std::to_string(parsed.error->line), " 行：", parsed.error->message});
    }
    return WriteAtomically(outputPath, parsed.image);
}

}  // namespace corvat::hex2bin
