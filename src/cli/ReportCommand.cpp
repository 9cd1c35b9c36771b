#include "ReportCommand.h"

#include "ConfigReport.h"
#include "ConfigTexts.h"
#include "ConsoleOutput.h"
#include "DetectorSession.h"
#include "FrameTrace.h"
#include "GraphFeed.h"
#include "Interruption.h"
#include "ReportPdf.h"
#include "TGraphics.h"

#include <QDir>

#include <chrono>
#include <cstring>

int RunReport(const ReportRequest& request, const QString& version, ConsoleOutput& out,
              FrameTrace* trace) {
    const QString targetError = CheckReportTarget(request.file);
    if (!targetError.isEmpty()) {
        out.PrintError({QStringLiteral("detector-config: ") + targetError});
        return ExitStatus::FileError;
    }

    DetectorSession session(request.port, request.timeoutMs);
    session.StopRequested = Interruption::StopCheck();
    if (trace)
        session.Engine().FrameObserver = [trace](const FrameEvent& event) { trace->Record(event); };

    // The graph the window opens with, fed as its live view feeds it.
    SweepGraph graph(TGraphics::InitialClientWidth - TGraphics::ImageLeft - TGraphics::ImageRight,
                     TGraphics::ClientHeight - TGraphics::ImageTop - TGraphics::ImageBottom);
    ReportFacts facts;
    DetectorSession::ConfigPayload config{};
    DetectorSession::EventLogPayload events{};
    bool read = session.Connect() && session.ReadConfiguration(config);
    bool eventLogRead = false;
    if (read) {
        // A detector that keeps its log to itself still gets its report; the
        // report says why the log is missing.
        eventLogRead = session.ReadEventLog(events);
        if (!eventLogRead && !session.Interrupted()) {
            out.Log(session.Failure());
            facts.EventLogProblem = OneLine(session.Failure().message);
        }
    }
    read = read && !session.Interrupted() &&
           session.PollLiveStatus(
               std::chrono::seconds(request.seconds), [&](const std::uint8_t* status58) {
                   ReportFacts::Live live;
                   std::memcpy(live.Status.Bytes.data(), status58, LiveStatus::Size);
                   graph.Feed(live.Status);
                   facts.LastStatus = live;
               });
    session.Close();
    const QString port = request.port + QStringLiteral(": ");
    if (session.Interrupted()) {
        out.Print({port + QStringLiteral("interrupted, nothing written")});
        return ExitStatus::Done;
    }
    if (!read) {
        out.Log(session.Failure());
        out.Print({port + QStringLiteral("failed: ") + OneLine(session.Failure().message)});
        return ExitStatus::LinkFailure;
    }

    facts.Time = QDateTime::currentDateTime();
    facts.Port = request.port;
    facts.Version = version;
    UnpackConfigReport(facts.Config, config.data());
    // The detector keeps no lens; the lists start at their first item.
    facts.Lenses = {LensItemTexts().constFirst(), LensItemTexts().constFirst()};
    EventBuffer log;
    std::memcpy(log.data(), events.data(), log.size());
    ConvertEventWords(log);
    if (eventLogRead)
        facts.EventLog = EventRecordsOf(log);
    facts.Graph = graph.Picture();

    const QString error = WriteReportPdf(request.file, facts);
    if (!error.isEmpty()) {
        out.Print({port + QStringLiteral("failed: ") + error});
        return ExitStatus::FileError;
    }
    out.Print(
        {port + QStringLiteral("report written to ") + QDir::toNativeSeparators(request.file)});
    return ExitStatus::Done;
}
