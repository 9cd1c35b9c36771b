#pragma once

#include "DetectorConfig.h"
#include "EventRecord.h"
#include "LiveStatus.h"
#include "WalkTest.h"

#include <QDateTime>
#include <QImage>
#include <QString>

#include <array>
#include <optional>

// Everything a commissioning report tells about one detector, gathered by
// whoever talked to it (the window or the command line).
struct ReportFacts {
    QDateTime Time;
    QString Port;
    QString Version;
    // The names the installer gave the site and the detector; either may be empty.
    QString Site;
    QString Detector;

    DetectorConfig Config;
    // The lens chosen in each PIR panel's list on this connection, empty
    // when none was; the detector does not keep it.
    std::array<QString, 2> Lenses;
    // When the link to the detector was lost, if it was: the report then
    // tells what was read before.
    QDateTime LinkLost;

    // The last live status, with the graph's "Direct Convert" choice; none
    // when no status arrived.
    struct Live {
        LiveStatus Status;
        bool Direct = false;
    };
    std::optional<Live> LastStatus;

    // The event log, when it was read from this detector; otherwise why it
    // could not be read, if it was asked for.
    std::optional<std::array<EventRecord, EventRecordCount>> EventLog;
    QString EventLogProblem;

    // The walk test run on this connection, if any.
    std::optional<WalkTestRun> WalkTest;

    // The signal graph as its window shows it.
    QImage Graph;
};

// The records of a report 12 payload, decoded as the LOGS page decodes them.
std::array<EventRecord, EventRecordCount> EventRecordsOf(const EventBuffer& converted);
