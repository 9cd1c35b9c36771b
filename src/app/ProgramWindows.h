#pragma once

#include "ComSetup.h"
#include "TMainForm.h"

#include <QPointer>
#include <memory>

class TGraphics;

// The three windows of the program. They are created in a fixed order at
// start-up and live until the process ends; only the COM setup dialog can go
// earlier, released by Exit.
struct ProgramWindows {
    ProgramWindows();
    ProgramWindows(ProgramWindows&&) noexcept;
    ~ProgramWindows();

    std::unique_ptr<TMainForm> mainForm;
    QPointer<TFormCom> formCom; // a child of the main window
    std::unique_ptr<TGraphics> graphics;
};

class FrameTrace;
struct SiteBookLocation;

// Hands every frame of the link to `trace`; a failed trace write is shown on
// the status bar, and the link goes on.
void AttachFrameTrace(ProgramWindows& windows, FrameTrace& trace);

// Records the window's visits in the site book at `location`, names the site
// and detector from the port setup dialog on the status bar, and offers the
// Site Book window in the File menu.
void AttachSiteBook(ProgramWindows& windows, const SiteBookLocation& location);

// Creates the main window (which makes itself transparent, applies its texts
// and looks for the alarm sound), then the COM setup dialog with its port
// list, then the hidden graph window. `lister` replaces the port scan in tests.
ProgramWindows CreateProgramWindows(TMainForm::Wiring wiring,
                                    TFormCom::PortLister lister = nullptr);
