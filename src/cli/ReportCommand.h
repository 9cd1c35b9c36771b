#pragma once

#include "SiteBookLocation.h"

#include <QString>

class ConsoleOutput;
class FrameTrace;

// The commissioning report of one detector, made without a window.
struct ReportRequest {
    QString port;
    QString file;
    int seconds = 10;   // live statuses polled for the graph and the readings
    int timeoutMs = 90; // per wait for answer bytes, as in the port setup dialog
    QString site;       // the names of the visit
    QString detector;
    SiteBookLocation book;
};

// Connects, reads the configuration and the event log, polls live statuses
// for the given seconds, then writes the report: the same document as the
// window's "Save Report...". Nothing is written to the detector. A target
// that cannot be written is found before the port is opened. The visit,
// with its event log and the report, goes to the site book. Returns 0, 3
// (link failure, also appended to the error log), 4 (file error) or 5 (the
// site book cannot be written).
int RunReport(const ReportRequest& request, const QString& version, ConsoleOutput& out,
              FrameTrace* trace = nullptr);
