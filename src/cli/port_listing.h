#pragma once

#include <cstdio>

#include "cli/options.h"
#include "cli/record_sink.h"

namespace corvat::cli {

// --list-ports: the serial ports present, read from the system without opening any. With json, one
// "port" event a line; otherwise a line for people each. Returns the exit status.
int ListPorts(std::FILE* out, bool json);

// The identity of the adapter behind device, from the same listing.
AdapterIdentity AdapterIdentityOf(const QString& device);

}  // namespace corvat::cli
