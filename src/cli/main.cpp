// corvat-flash: flashes one or many boards from the command line (see --help).
#include <QCoreApplication>

#include "cli/flash_main.h"

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    return corvat::cli::FlashMain(QCoreApplication::arguments().mid(1));
}
