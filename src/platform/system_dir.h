#pragma once

#include <QFile>
#include <QString>

#include "platform/result.h"

namespace corvat {

// The converter's private folder and its three files, one spelling each.
inline constexpr char kConverterFileName[] = "HEX2BIN.EXE";   // the converter's copy
inline constexpr char kConverterInputName[] = "Hexbin.hex";   // the HEX image handed to it
inline constexpr char kConverterOutputName[] = "HexBIN.bin";  // the flat image it writes

// Where the folder belongs: $XDG_RUNTIME_DIR/corvat, or <temp>/corvat-<uid> when that variable is unset or
// names a folder that is not this user's own and closed to others (root run with sudo keeps the user's).
QString DefaultSystemDirPath();

// Makes the folder ready for use: created with mode 0700 when missing, narrowed to 0700 when it is ours
// but open to others, refused when it is a symbolic link, not a folder, or owned by another user, since
// another user could then swap the converter we are about to run.
Result<QString> PrepareSystemDir(const QString& path);

// The platform's folder, prepared.
Result<QString> PlatformSystemDir();

// Whether the existing folder (through links) belongs to this user and no one else may write into it.
Result<> CheckOwnPrivateFolder(const QString& path);

// Opens the file read-only, provided it is a regular file. Opening a FIFO blocks until someone writes to
// it, and opening a serial device can switch its lines, so anything else is refused by its name before any
// open, and again on the open descriptor in case the name was swapped in between. The file is open only
// on success.
Result<> OpenRegularFile(QFile& file);

// Makes a rename in the folder survive a power cut: the folder's entry is on disk only once it is synced.
Result<> SyncFolder(const QString& folder);

// Removes the three files of the conversion, then what an interrupted write of ours can leave there: the
// copies' temporaries and the converter's hidden one, each known by its exact name pattern. Reports nothing.
void RemoveConverterFiles(const QString& folder);

// Copies source over target, keeping the source's permissions (the converter must stay executable).
// The copy is made beside the target and renamed into place, so the target is never half written.
Result<> CopyReplacing(const QString& source, const QString& target);

}  // namespace corvat
