#pragma once

#include <QStringList>

namespace corvat::cli {

// The whole command: parses the arguments, loads the image, opens the ports, flashes, and returns the
// exit status. Runs the event loop of the QCoreApplication that must exist.
int FlashMain(const QStringList& arguments);

}  // namespace corvat::cli
