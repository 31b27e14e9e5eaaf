#pragma once

#include <QByteArray>
#include <QString>

namespace corvat::cli {

struct LoadedImage {
    bool ok = false;
    QByteArray bytes;
    QString error;  // for the operator, naming the file
};

// A .bin is taken as it stands; a .hex (any letter case) goes through the converter's own parser in
// this process, with its refusals. Any other name, an empty image or an unreadable file is refused.
LoadedImage LoadImage(const QString& path);

}  // namespace corvat::cli
