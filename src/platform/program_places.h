// Where the program keeps what it writes. A program folder the user may write to (the build's bin/, a
// copied folder) keeps everything beside the executable, as a portable folder always did. An installed,
// read-only one sends the settings, and the COM links the user makes, to a per-user folder instead.
// Plain C++, so that the virtual target links its default COM1 where the loader looks for it.
#pragma once

#include <string>
#include <vector>

namespace corvat {

struct ProgramPlaces {
    std::string settingsFile;              // info.ini, read and written
    std::vector<std::string> portFolders;  // where ports/COMn links are looked up, in order; each ends in "/"
};

// $XDG_CONFIG_HOME/corvat/, or ~/.config/corvat/ where that is unset or not absolute (as the XDG rules
// say); empty when neither variable gives an absolute folder. Either argument may be null.
std::string UserConfigFolder(const char* xdgConfigHome, const char* home);

// programDir and userFolder end in "/". An empty userFolder keeps everything in the program folder,
// where writes then fail unreported, as the settings file's writes always may.
ProgramPlaces PlacesFor(const std::string& programDir, bool programDirWritable,
                        const std::string& userFolder);

// For this process: the real environment, and whether this user may write to programDir.
ProgramPlaces CurrentPlaces(const std::string& programDir);
bool IsWritableFolder(const std::string& folder);

// A per-user settings file starts, on first use, as a copy of the program folder's own if there is one
// (an administrator's defaults). Its folder, when made here, is private. Failures leave the file absent: the
// reader then sees a first run, and nothing is written into the program folder.
void PrepareSettingsFile(const ProgramPlaces& places, const std::string& programDir);

}  // namespace corvat
