#include <QApplication>

#include "app/main_window.h"
#include "app/qt_dialogs.h"
#include "platform/program_starter.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    corvat::DetachedProgramStarter starter;
    corvat::QtDialogs dialogs;
    corvat::WindowEnvironment environment;
    environment.dialogs = &dialogs;
    environment.starter = &starter;
    corvat::MainWindow window(environment);
    window.Form_Load();  // shows the window
    return app.exec();
}
