#include "ProgramWindows.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Configuration Tools");
    // The process ends only at the end of the main window's fade-out, never
    // by the event loop running out of windows.
    QApplication::setQuitOnLastWindowClosed(false);

    ProgramWindows windows = CreateProgramWindows(TMainForm::Wiring::Full);
    windows.mainForm->show();
    return app.exec();
}
