#pragma once

#include "SiteBookLocation.h"

#include <QString>
#include <QStringList>

class ConsoleOutput;
class FrameTrace;

// One run of the command line on one or several detectors.
struct ProvisionRequest {
    enum class Action {
        Apply, // write the file, read back and compare (with `store`: then store to flash)
        Diff,  // read and compare, write nothing
        Read,  // save the detector's configuration to the file
        // Compare with what the latest visit of the named detector left, as
        // the site book holds it; nothing is written.
        Check,
        // Apply and store what the latest visit of the named detector that
        // stored left: the replacement of a broken detector.
        Restore,
    };
    Action action = Action::Diff;
    QString file;
    bool store = false;
    QStringList ports;
    int timeoutMs = 90; // per wait for answer bytes, as in the port setup dialog
    // The names of the visit: the n-th detector name goes with the n-th port.
    QString site;
    QStringList detectors;
    SiteBookLocation book;
};

// Runs `request`: checks the file first (--check and --restore: each port
// looks up its detector in the site book instead) (an unreadable file, or one to apply
// that the window's controls would change, ends the run before any port is
// opened), then serves every port at the same time, each on a thread and a
// link engine of its own, printing each port's lines as it finishes. A
// `trace`, given for a single port only, records that port's frames. Returns
// the worst exit status of the ports.
int RunProvisioning(const ProvisionRequest& request, ConsoleOutput& out,
                    FrameTrace* trace = nullptr);
