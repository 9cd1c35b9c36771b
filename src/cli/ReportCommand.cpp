#include "ReportCommand.h"

#include "ConfigReport.h"
#include "ConfigTexts.h"
#include "ConsoleOutput.h"
#include "DetectorSession.h"
#include "FrameTrace.h"
#include "GraphFeed.h"
#include "Interruption.h"
#include "PortVisit.h"
#include "ReportPdf.h"
#include "TGraphics.h"
#include "WalkTest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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
    PortVisit visit(request.book, request.port, request.site, request.detector);
    bool read = session.Connect() && session.ReadConfiguration(config);
    bool eventLogRead = false;
    if (read) {
        UnpackConfigReport(facts.Config, config.data());
        visit.ConfigRead(facts.Config);
        // A detector that keeps its log to itself still gets its report; the
        // report says why the log is missing.
        eventLogRead = session.ReadEventLog(events);
        if (eventLogRead)
            visit.Recorder().EventLogRead(
                QByteArray(reinterpret_cast<const char*>(events.data()), events.size()));
        else if (!session.Interrupted()) {
            out.Log(session.Failure());
            facts.EventLogProblem = OneLine(session.Failure().message);
        }
    }
    // The seconds of live statuses are also the report's walk test.
    WalkTest walk;
    walk.EventFinished = [&visit](const WalkEvent& e) {
        visit.Recorder().WalkEvent(e.StartMs, WalkEventLine(e));
    };
    read = read && !session.Interrupted();
    if (read) {
        walk.Start(QDateTime::currentMSecsSinceEpoch());
        read = session.PollLiveStatus(
            std::chrono::seconds(request.seconds), [&](const std::uint8_t* status58) {
                ReportFacts::Live live;
                std::memcpy(live.Status.Bytes.data(), status58, LiveStatus::Size);
                graph.Feed(live.Status);
                walk.Feed(live.Status, live.Direct, QDateTime::currentMSecsSinceEpoch());
                facts.LastStatus = live;
            });
        walk.Stop();
        facts.WalkTest = walk.Run(walk.StartedMs());
    }
    session.Close();
    const QString port = request.port + QStringLiteral(": ");
    QStringList lines;
    if (session.Interrupted()) {
        lines << port + QStringLiteral("interrupted, nothing written");
        const int status = visit.Finish(ExitStatus::Done, lines, true);
        out.Print(lines);
        return status;
    }
    if (!read) {
        out.Log(session.Failure());
        lines << port + QStringLiteral("failed: ") + OneLine(session.Failure().message);
        const int status = visit.Finish(ExitStatus::LinkFailure, lines);
        out.Print(lines);
        return status;
    }

    facts.Time = QDateTime::currentDateTime();
    facts.Port = request.port;
    facts.Version = version;
    UnpackConfigReport(facts.Config, config.data());
    // The detector keeps no lens, and none was chosen here: the report names none.
    facts.Site = request.site;
    facts.Detector = request.detector;
    EventBuffer log;
    std::memcpy(log.data(), events.data(), log.size());
    ConvertEventWords(log);
    if (eventLogRead)
        facts.EventLog = EventRecordsOf(log);
    facts.Graph = graph.Picture();

    const QString error = WriteReportPdf(request.file, facts);
    int status = ExitStatus::Done;
    if (!error.isEmpty()) {
        lines << port + QStringLiteral("failed: ") + error;
        status = ExitStatus::FileError;
    } else {
        QFile written(request.file);
        visit.Recorder().ReportWritten(
            QDir::toNativeSeparators(QFileInfo(request.file).absoluteFilePath()),
            written.open(QIODevice::ReadOnly) ? written.readAll() : QByteArray());
        lines << port + QStringLiteral("report written to ") +
                     QDir::toNativeSeparators(request.file);
    }
    status = visit.Finish(status, lines);
    out.Print(lines);
    return status;
}
