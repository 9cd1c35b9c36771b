#pragma once

#include "HistoryCommand.h"
#include "Provisioning.h"
#include "ReportCommand.h"
#include "WalkTestCommand.h"

#include <QString>
#include <QStringList>

#include <optional>

// The program's command line. With no options the tool starts as it always
// did; options only save the installer steps.
struct CommandLine {
    enum class Action { Run, Exit };
    Action action = Action::Run;
    int exitCode = 0;
    // What to print before exiting, and where.
    QString output;
    bool toStandardError = false;

    QString port;      // chosen in the port dialog as if typed
    QString traceFile; // appends one line per frame when set
    // The site book as --site-book names it (empty: the variable or the
    // default), and the names of the site and detector for the window.
    QString siteBook;
    QString site;
    QString detector;

    // Set when the run provisions detectors without a window.
    std::optional<ProvisionRequest> provision;
    // Set when the run writes one detector's commissioning report.
    std::optional<ReportRequest> report;
    // Set when the run walk-tests one detector.
    std::optional<WalkTestRequest> walkTest;
    // Set when the run prints the site book's visits.
    std::optional<HistoryRequest> history;
    // Set when the run only sends the visits kept locally to the server.
    bool sync = false;
};

// Reads `arguments` (the program name first). --help and --version end the
// program with 0; an unknown option, a missing or wrong value, or options
// that do not go together end it with the reason, the usage and 2.
CommandLine ParseCommandLine(const QStringList& arguments);
