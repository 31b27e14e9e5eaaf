// The target's end of the line: the master side of a pseudo-terminal whose slave side is
// linked where the loader looks for its port.
#pragma once

#include <string>
#include <string_view>

namespace corvat::vt {

class PtyLine {
  public:
    PtyLine() = default;
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;
    ~PtyLine() { Close(); }

    bool Open(const std::string& linkPath, std::string* error);
    // Closes the master, so a loader holding the slave sees the adapter vanish, and removes the link.
    void Close();
    bool IsOpen() const { return m_master >= 0; }
    int Fd() const { return m_master; }
    const std::string& SlaveName() const { return m_slave; }

    // The master reports a hang-up for as long as nobody holds the slave open.
    bool LoaderPresent() const;
    // Every byte waiting; empty when none is.
    std::string Read();
    bool Write(std::string_view bytes);

  private:
    bool LinkSlave(const std::string& linkPath, std::string* error);

    int m_master = -1;
    std::string m_slave;
    std::string m_link;
};

}  // namespace corvat::vt
