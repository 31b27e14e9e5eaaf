#include "platform/program_places.h"

#include <pwd.h>
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

bool IsSystemProgramFolder(const std::string& programDir) {
    return programDir.rfind("/usr/", 0) == 0;
}

namespace {
std::string RootConfigFolder() {
    const passwd* root = getpwuid(0);
    return UserConfigFolder(nullptr, root != nullptr ? root->pw_dir : nullptr);
}
}  // namespace

ProgramPlaces CurrentPlaces(const std::string& programDir) {
    const bool system = IsSystemProgramFolder(programDir);
    const std::string userFolder =
        geteuid() == 0 ? RootConfigFolder()
                       : UserConfigFolder(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
    if (system && userFolder.empty()) return {{}, {programDir + kPortsName}};
    return PlacesFor(programDir, !system && IsWritableFolder(programDir), userFolder);
}

std::error_code MakePrivateFolders(const std::string& folder) {
    namespace fs = std::filesystem;
    const fs::path path = fs::path(folder).lexically_normal();
    fs::path made;
    for (const fs::path& part : path) {
        made /= part;
        if (part.empty() || part == "/") continue;
        if (mkdir(made.c_str(), 0700) != 0 && errno != EEXIST) return {errno, std::generic_category()};
    }
    return {};
}

}  // namespace corvat
