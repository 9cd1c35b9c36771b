#include "ProgramWindows.h"

#include "FindControl.h"
#include "FrameTrace.h"
#include "LinkController.h"
#include "LiveAnnouncements.h"
#include "PanelStatusBar.h"
#include "SiteBookWindow.h"
#include "Subsystems.h"
#include "TGraphics.h"
#include "WindowVisits.h"

#include <QAction>

ProgramWindows::ProgramWindows() = default;
ProgramWindows::ProgramWindows(ProgramWindows&&) noexcept = default;
ProgramWindows::~ProgramWindows() {
    // The live view draws into the graph window: the main window and its
    // subsystems go first.
    mainForm.reset();
    graphics.reset();
}

ProgramWindows CreateProgramWindows(TMainForm::Wiring wiring, TFormCom::PortLister lister) {
    InstallLiveAnnouncementLimit();
    ProgramWindows windows;
    windows.mainForm = std::make_unique<TMainForm>(wiring);
    TMainForm* form = windows.mainForm.get();

    // The dialog enables Connect once a port is chosen, and is centred on
    // the main window as its child.
    windows.formCom = new TFormCom(FindControl<QAction>(form, "Action2"), form, std::move(lister));
    form->SetComSetup(windows.formCom);

    // A window of its own, not a child of the main window, so that the
    // control names of the two forms never meet in one lookup.
    windows.graphics = std::make_unique<TGraphics>();
    form->SetGraphics(windows.graphics.get());

    if (wiring == TMainForm::Wiring::Full)
        form->SetSubsystems(new Subsystems(*form, *windows.formCom, *windows.graphics));
    return windows;
}

void AttachFrameTrace(ProgramWindows& windows, FrameTrace& trace) {
    Subsystems* subsystems = windows.mainForm->GetSubsystems();
    if (!subsystems)
        return;
    auto* statusBar = FindControl<PanelStatusBar>(windows.mainForm.get(), "StatusBar_form");
    // Panel 1 is otherwise empty; the message stays until the next start.
    trace.ReportFailure = [statusBar](const QString& text) { statusBar->setPanelText(1, text); };
    subsystems->Link().FrameObserver = [&trace](const FrameEvent& event) { trace.Record(event); };
}

void AttachSiteBook(ProgramWindows& windows, const SiteBookLocation& location) {
    TMainForm* form = windows.mainForm.get();
    Subsystems* subsystems = form->GetSubsystems();
    if (!subsystems || !windows.formCom)
        return;
    auto visits = std::make_unique<WindowVisits>(
        location, subsystems->Link(), subsystems->Config(), *windows.formCom,
        *FindControl<PanelStatusBar>(form, "StatusBar_form"));
    WindowVisits* book = visits.get();
    subsystems->SetVisits(std::move(visits));
    auto* item = FindControl<QAction>(form, "SiteBook1");
    item->setEnabled(true);
    QObject::connect(item, &QAction::triggered, form, [form, book] {
        // One window, made when first asked for; read again at each showing.
        auto* window = form->findChild<SiteBookWindow*>();
        if (!window) {
            window = new SiteBookWindow(book->Book(), form);
            window->move(form->geometry().center() - window->rect().center());
        }
        window->Refresh();
        window->show();
        window->raise();
        window->activateWindow();
    });
}
