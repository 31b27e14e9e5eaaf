// Where the program keeps what it writes. A program folder the user may write to (the build's bin/, a
// copied folder) keeps everything beside the executable, as a portable folder always did. An installed,
// read-only one sends the settings, and the COM links the user makes, to a per-user folder instead.
// Plain C++, so that the virtual target links its default COM1 where the loader looks for it.
#pragma once

#include <string>
#include <system_error>
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
// where writes then fail unreported, as the settings file's writes always may; CurrentPlaces gives a
// system program folder no settings file at all instead.
ProgramPlaces PlacesFor(const std::string& programDir, bool programDirWritable,
                        const std::string& userFolder);

// For this process: the real environment, and whether this user may write to programDir. A program
// folder under /usr belongs to the package and is never written, not even by root; root keeps its
// settings under its own home, whatever HOME and XDG_CONFIG_HOME sudo kept from the user.
ProgramPlaces CurrentPlaces(const std::string& programDir);
bool IsWritableFolder(const std::string& folder);
bool IsSystemProgramFolder(const std::string& programDir);

// Makes the folder and every missing folder above it, each private to the user (0700): folders Corvat
// and its tools make for the operator hold settings and COM links that are nobody else's business.
std::error_code MakePrivateFolders(const std::string& folder);

}  // namespace corvat
