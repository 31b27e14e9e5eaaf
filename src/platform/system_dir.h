#pragma once

#include <QFile>
#include <QString>

namespace corvat {

// The converter's private folder and its three files, one spelling each.
inline constexpr char kConverterFileName[] = "HEX2BIN.EXE";   // the converter's copy
inline constexpr char kConverterInputName[] = "Hexbin.hex";   // the HEX image handed to it
inline constexpr char kConverterOutputName[] = "HexBIN.bin";  // the flat image it writes

struct SystemDir {
    QString path;   // usable folder; empty when refused
    QString error;  // why the folder was refused; empty when usable
    bool ok() const { return error.isEmpty(); }
};

// Where the folder belongs: $XDG_RUNTIME_DIR/corvat, or <temp>/corvat-<uid> when that variable is unset.
QString DefaultSystemDirPath();

// Makes the folder ready for use: created with mode 0700 when missing, narrowed to 0700 when it is ours
// but open to others, refused when it is a symbolic link, not a folder, or owned by another user, since
// another user could then swap the converter we are about to run.
SystemDir PrepareSystemDir(const QString& path);

// The platform's folder, prepared.
SystemDir PlatformSystemDir();

// Opens the file read-only, provided it is a regular file. Opening a FIFO blocks until someone writes to
// it, and opening a serial device can switch its lines, so anything else is refused by its name before any
// open, and again on the open descriptor in case the name was swapped in between. Returns why it failed,
// or an empty text; the file is open only when the text is empty.
QString OpenRegularFile(QFile& file);

// Removes the three files of the conversion, then what an interrupted write of ours can leave there: the
// copies' temporaries and the converter's hidden one, each known by its exact name pattern. Reports nothing.
void RemoveConverterFiles(const QString& folder);

// Copies source over target, keeping the source's permissions (the converter must stay executable).
// The copy is made beside the target and renamed into place, so the target is never half written.
// Returns why it failed, or an empty text.
QString CopyReplacing(const QString& source, const QString& target);

}  // namespace corvat
