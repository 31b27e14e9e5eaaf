#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <cstdint>

namespace corvat {

// The window's variables that several handlers share, zero or empty until set, kept for the window's life.
// Page arithmetic is held in 32 bits: the 16-bit originals overflow beyond 32768-byte images.
struct LoaderState {
    QByteArray ImageData;  // the flat image, offset k at index k
    std::int32_t ImageLength = 0;
    std::int16_t ReplyLength = 0;  // fewest waiting characters at which the receive gate reads
    std::int32_t PageIndex = 0;    // page last sent; -1 before the first
    std::int32_t ErrorCount = 0;   // "@" answers in this download
    std::int16_t PageSize = 0;     // 64 or 128, set by the identification
    std::int32_t LastPage = 0;     // page holding the image's last byte; -1 for an empty image
    QDateTime StartTime;           // local time at which the download began
    std::uint8_t PortNumber = 0;   // last character of the port text as a number
    QString AppDir;                // program folder, ending in "/"
};

}  // namespace corvat
