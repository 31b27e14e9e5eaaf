#pragma once

#include <string>

#include "platform/program_places.h"
#include "platform/result.h"

namespace corvat {

// Makes the per-user settings file ready. Its folder is made private when missing and used only when it
// is the user's own and no one else may write into it: another user could otherwise plant the port name
// the window then opens, or a link that the first write follows. On first use the file starts as a copy
// of the program folder's own, if there is one (an administrator's defaults), created exclusively and
// never through a link. A program folder the user may write to keeps its own file and needs nothing.
// On failure the settings are neither read nor saved, and the text says why.
Result<> PrepareSettingsFolder(const ProgramPlaces& places, const std::string& programDir);

}  // namespace corvat
