#include "ComSetup.h"
#include "FindControl.h"
#include "TGraphics.h"
#include "TMainForm.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Configuration Tools");
    // The process ends only at the end of the main window's fade-out.
    QApplication::setQuitOnLastWindowClosed(false);

    // The windows are created in this order and live until the process ends.
    TMainForm mainForm;
    auto* formCom = new TFormCom(FindControl<QAction>(&mainForm, "Action2"), &mainForm);
    mainForm.SetComSetup(formCom);
    TGraphics graphics;
    mainForm.SetGraphics(&graphics);

    mainForm.show();
    return app.exec();
}
