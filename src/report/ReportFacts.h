#pragma once

#include "DetectorConfig.h"
#include "EventRecord.h"
#include "LiveStatus.h"

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

    DetectorConfig Config;
    // The lens chosen in each PIR panel's list; the detector does not keep it.
    std::array<QString, 2> Lenses;

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

    // The signal graph as its window shows it.
    QImage Graph;
};

// The records of a report 12 payload, decoded as the LOGS page decodes them.
std::array<EventRecord, EventRecordCount> EventRecordsOf(const EventBuffer& converted);
