#pragma once

#include "SiteBookLocation.h"

#include <QString>

class ConsoleOutput;
class FrameTrace;

// A walk test of one detector, without a window.
struct WalkTestRequest {
    QString port;
    int seconds = 60;   // how long live statuses are polled
    QString csvFile;    // rows written here when set
    int timeoutMs = 90; // per wait for answer bytes, as in the port setup dialog
    QString site;       // the names of the visit
    QString detector;
    SiteBookLocation book;
};

// Connects, reads the configuration, then polls live statuses for the given
// seconds: prints each event as it ends, then the events still set and the
// count per name, and writes the rows to the CSV file. Nothing is written to
// the detector. A CSV file that cannot be written is found before the port
// is opened. Ctrl+C, SIGTERM and SIGHUP (Interruption) end it in order after
// the exchange on the line, keeping its rows. The visit, with each event
// as it ends, goes to the site book. Returns 0, 3 (link failure, also in the
// error log; the rows seen are still printed and written), 4 (file) or 5
// (the site book cannot be written).
int RunWalkTest(const WalkTestRequest& request, ConsoleOutput& out, FrameTrace* trace = nullptr);
