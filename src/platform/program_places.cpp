#include "platform/program_places.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

namespace corvat {
namespace {

const std::string kSettingsName = "info.ini";
const std::string kPortsName = "ports/";

}  // namespace

std::string UserConfigFolder(const char* xdgConfigHome, const char* home) {
    if (xdgConfigHome != nullptr && xdgConfigHome[0] == '/') {
        std::string folder = xdgConfigHome;
        if (folder.back() != '/') folder += '/';
        return folder + "corvat/";
    }
    if (home != nullptr && home[0] == '/') {
        std::string folder = home;
        if (folder.back() != '/') folder += '/';
        return folder + ".config/corvat/";
    }
    return {};
}

ProgramPlaces PlacesFor(const std::string& programDir, bool programDirWritable,
                        const std::string& userFolder) {
    if (programDirWritable || userFolder.empty())
        return {programDir + kSettingsName, {programDir + kPortsName}};
    return {userFolder + kSettingsName, {userFolder + kPortsName, programDir + kPortsName}};
}

// access() asks the kernel the real question: a read-only mount or an ACL count too.
bool IsWritableFolder(const std::string& folder) {
    return access(folder.c_str(), W_OK | X_OK) == 0;
}

ProgramPlaces CurrentPlaces(const std::string& programDir) {
    return PlacesFor(programDir, IsWritableFolder(programDir),
                     UserConfigFolder(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME")));
}

void PrepareSettingsFile(const ProgramPlaces& places, const std::string& programDir) {
    namespace fs = std::filesystem;
    const fs::path settings(places.settingsFile);
    const fs::path own(programDir + kSettingsName);
    if (settings == own) return;
    std::error_code ec;
    fs::create_directories(settings.parent_path().parent_path(), ec);
    // Settings and COM links are the user's own business; a folder that already exists keeps its mode.
    if (mkdir(settings.parent_path().c_str(), 0700) != 0 && errno != EEXIST) return;
    if (fs::exists(fs::symlink_status(settings, ec)) || !fs::is_regular_file(own, ec)) return;
    // Copied under a temporary name and renamed, so that a half copy is never taken for the settings.
    const fs::path partial = settings.string() + ".part";
    if (!fs::copy_file(own, partial, fs::copy_options::overwrite_existing, ec)) {
        fs::remove(partial, ec);
        return;
    }
    fs::permissions(partial, fs::perms::owner_read | fs::perms::owner_write, ec);
    fs::rename(partial, settings, ec);
    if (ec) fs::remove(partial, ec);
}

}  // namespace corvat
