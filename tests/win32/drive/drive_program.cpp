// Drives the program's own windows, as the program builds them, through one
// session under Wine: choose the port, connect, poll a few seconds, step one
// configuration value, wait for the detector's answer to show it, disconnect
// and leave through Exit (fade-out, end of the process). Test only: it is
// never installed. Prints one line per step to standard output; "@hold"
// announces a pause while connected, for a screenshot.
//
//   drive-detector-config.exe PORT [HOLD_MS]

#include "ComSetup.h"
#include "FindControl.h"
#include "LinkController.h"
#include "LiveView.h"
#include "ProgramWindows.h"
#include "Subsystems.h"
#include "TMainForm.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QScrollBar>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace {

void Say(const QString& line) {
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

[[noreturn]] void Fail(const QString& why) {
    Say("FAILED: " + why);
    std::fflush(nullptr);
    std::_Exit(1);
}

// Runs the event loop (the poll timer with it) until `done` or `ms` passed.
bool WaitUntil(const std::function<bool()>& done, int ms) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

void Pause(int ms) {
    WaitUntil([] { return false; }, ms);
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2)
        Fail("usage: drive-detector-config PORT [HOLD_MS]");
    const QString port = args[1];
    const int holdMs = args.size() > 2 ? args[2].toInt() : 0;
    QApplication::setQuitOnLastWindowClosed(false);

    ProgramWindows windows = CreateProgramWindows(TMainForm::Wiring::Full);
    TMainForm* form = windows.mainForm.get();
    form->show();
    Subsystems* subsystems = form->GetSubsystems();
    if (!subsystems)
        Fail("the program built no subsystems");
    LinkController& link = subsystems->Link();
    LiveView& live = subsystems->Live();
    auto label = [form](const char* name) { return FindControl<QLabel>(form, name)->text(); };

    // The port as the user would type it in the setup dialog.
    windows.formCom->ChoosePort(port);
    QAction* connect = FindControl<QAction>(form, "Action2");
    if (!connect->isEnabled())
        Fail("Connect is not enabled after choosing " + port);
    connect->trigger();
    if (connect->text() != "Disconnect" || !link.PollingActive())
        Fail("not connected to " + port);
    Say("connected to " + port);

    // The configuration arrives with the first poll cycles.
    if (!WaitUntil([&] { return !label("Label_MW_Nconv").isEmpty(); }, 5000))
        Fail("no configuration shown");
    const int start = live.PointIndex();
    Pause(3000);
    const int statuses = live.PointIndex() - start;
    if (statuses < 10)
        Fail(QString("only %1 live statuses in 3 s").arg(statuses));
    Say(QString("polled: %1 live statuses in 3 s").arg(statuses));

    // One step on the rate bar is written; the label follows the detector.
    const QString before = label("Label_MW_Nconv");
    FindControl<QScrollBar>(form, "ScrollBar_MW_Nconv")
        ->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    const QString expected = QString::number(before.toInt() + 1);
    if (!WaitUntil([&] { return label("Label_MW_Nconv") == expected; }, 5000))
        Fail("MW Nconv shows " + label("Label_MW_Nconv") + ", expected " + expected);
    Say("read back: MW Nconv " + before + " -> " + expected);

    if (holdMs > 0) {
        Say("@hold");
        Pause(holdMs);
    }

    // The stepped value was written but never stored, so Disconnect asks
    // first; leaving it unstored goes on without touching the flash. The
    // question is modal, so it is answered from a timer inside it.
    bool asked = false;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        for (QAbstractButton* button : box->buttons()) {
            if (button->text() == "Leave Unstored") {
                asked = true;
                button->click();
                return;
            }
        }
    });
    answer.start(50);
    // The port itself is closed then; the simulator reports it.
    connect->trigger();
    answer.stop();
    if (!asked)
        Fail("Disconnect did not ask about the change that was not stored");
    Say("asked about the unstored change, left it unstored");
    if (link.PollingActive() || connect->text() != "Connect")
        Fail("still polling after Disconnect");
    Say("disconnected");
    Pause(500);

    // Exit: the window fades out, then the process ends with 0.
    Say("exit");
    FindControl<QAction>(form, "Action1")->trigger();
    QTimer::singleShot(5000, [] { Fail("the process did not end after Exit"); });
    return app.exec();
}
