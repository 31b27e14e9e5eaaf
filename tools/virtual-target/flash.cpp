#include "flash.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

namespace corvat::vt {

namespace {

std::string Hex(std::uint8_t byte) {
    char text[3];
    std::snprintf(text, sizeof text, "%02X", byte);
    return text;
}

}  // namespace

bool Flash::Fits(int page, int pageSize) const {
    return page >= 0 && (static_cast<long>(page) + 1) * pageSize <= static_cast<long>(m_bytes.size());
}

void Flash::Store(int page, std::string_view data) {
    const auto base = static_cast<std::size_t>(page) * data.size();
    for (std::size_t i = 0; i < data.size(); ++i) m_bytes[base + i] = static_cast<std::uint8_t>(data[i]);
}

bool Flash::WriteTo(const std::string& path, std::string* error) const {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(m_bytes.data()), static_cast<std::streamsize>(m_bytes.size()));
    out.close();
    if (!out) {
        *error = "cannot write the flash to " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

std::string Flash::CompareWith(const std::string& path) const {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "cannot read " + path + " to compare the flash with: " + std::strerror(errno);
    const std::vector<char> expected{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    for (std::size_t offset = 0; offset < m_bytes.size(); ++offset) {
        const auto want = offset < expected.size() ? static_cast<std::uint8_t>(expected[offset]) : kErased;
        if (m_bytes[offset] != want)
            return "flash differs at offset " + std::to_string(offset) + " (flash " + Hex(m_bytes[offset]) +
                   ", expected " + Hex(want) + ")";
    }
    if (expected.size() > m_bytes.size())
        return "flash differs at offset " + std::to_string(m_bytes.size()) + " (the expected image is " +
               std::to_string(expected.size()) + " bytes, the flash holds " + std::to_string(m_bytes.size()) +
               ")";
    return "flash matches " + path;
}

}  // namespace corvat::vt
