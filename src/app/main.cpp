#include <QApplication>
#include <QFile>
#include <cstdio>
#include <cstring>

#include "app/main_window.h"
#include "app/qt_dialogs.h"
#include "platform/program_places.h"
#include "platform/program_starter.h"
#include "platform/settings_folder.h"

namespace {

// Answered before any window exists, so that they work without a display.
bool AnswerInfoOption(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::fputs("corvat " CORVAT_VERSION "\n", stdout);
            return true;
        }
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(
                "用法：corvat [--version | --help]\n"
                "打开 Corvat 程序加载器的窗口：把程序映像（.bin 或 .hex）经串口下载到目标板。\n",
                stdout);
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (AnswerInfoOption(argc, argv)) return 0;
    QApplication app(argc, argv);
    const std::string programDir =
        QFile::encodeName(QCoreApplication::applicationDirPath() + QLatin1Char('/')).toStdString();
    const corvat::ProgramPlaces places = corvat::CurrentPlaces(programDir);
    corvat::DetachedProgramStarter starter;
    corvat::QtDialogs dialogs;
    corvat::WindowEnvironment environment;
    environment.dialogs = &dialogs;
    environment.starter = &starter;
    environment.settingsFile = QFile::decodeName(QByteArray::fromStdString(places.settingsFile));
    environment.settingsFolder = corvat::PrepareSettingsFolder(places, programDir);
    corvat::MainWindow window(environment);
    window.Form_Load();  // shows the window
    return app.exec();
}
