#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>

#include "protocol/page_flow.h"

namespace corvat {

// The window's variables that several handlers share, zero or empty until set, kept for the window's life.
// The image and the download's position are the page flow's part of them.
struct LoaderState : DownloadState {
    std::int16_t ReplyLength = 0;  // fewest waiting characters at which the receive gate reads
    QDateTime StartTime;           // local time at which the download began
    std::uint8_t PortNumber = 0;   // last character of the port text as a number
    QString AppDir;                // program folder, ending in "/"
};

}  // namespace corvat
