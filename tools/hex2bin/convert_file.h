#pragma once
// The converter's file side: read the HEX file whole, parse it in memory, and let the image appear
// at the output path only when complete, under a temporary name first and renamed into place, since
// the loader takes the output as soon as it is non-empty. A refused file leaves nothing behind; a
// file already at the output path is left untouched then (it may be the user's own, named by mistake).

#include <optional>
#include <string>

#include "hex/intel_hex.h"

namespace corvat::hex2bin {

// A HEX file this large is far beyond the largest image allowed; reading it would only waste memory.
constexpr std::size_t kMaxInputSize = std::size_t{256} * 1024 * 1024;

// Returns nothing on success, else a one-line message naming the file, the line and the fault.
std::optional<std::string> ConvertFile(const std::string& inputPath, const std::string& outputPath,
                                       const Limits& limits = {});

}  // namespace corvat::hex2bin
