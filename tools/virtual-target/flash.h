// The target's program memory: erased to FF, written a page at a time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvat::vt {

class Flash {
  public:
    explicit Flash(int capacity) : m_bytes(static_cast<std::size_t>(capacity), kErased) {}

    void Erase() { m_bytes.assign(m_bytes.size(), kErased); }
    bool Fits(int page, int pageSize) const;
    void Store(int page, std::string_view data);
    int Capacity() const { return static_cast<int>(m_bytes.size()); }

    bool WriteTo(const std::string& path, std::string* error) const;
    // "flash matches FILE", or where and how it differs from FILE padded with FF.
    std::string CompareWith(const std::string& path) const;

  private:
    static constexpr std::uint8_t kErased = 0xFF;
    std::vector<std::uint8_t> m_bytes;
};

}  // namespace corvat::vt
