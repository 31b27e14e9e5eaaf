// make_app_icons FOLDER NAME: writes the window's picture as FOLDER/<n>x<n>/apps/NAME.png for the desktop's
// usual hicolor sizes, so that the menu shows what the window shows.
#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <cstdio>

#include "app/icon/app_picture.h"

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::fputs("usage: make_app_icons FOLDER NAME\n", stderr);
        return 2;
    }
    // A build step: no display is needed to draw.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString root = QFile::decodeName(argv[1]);
    const QString name = QFile::decodeName(argv[2]);
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(root).arg(size);
        const QString file = folder + QLatin1Char('/') + name + QStringLiteral(".png");
        if (!QDir().mkpath(folder) || !corvat::IconPixmap(size).save(file, "PNG")) {
            std::fprintf(stderr, "make_app_icons: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
