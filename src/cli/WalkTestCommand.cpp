#include "WalkTestCommand.h"

#include "ConfigReport.h"
#include "ConsoleOutput.h"
#include "DetectorSession.h"
#include "FrameTrace.h"
#include "Interruption.h"
#include "PortVisit.h"
#include "WalkTest.h"

#include <QDateTime>
#include <QDir>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <utility>

namespace {

QString EventLine(const WalkEvent& e) {
    return WalkTimeText(e.StartMs) + u' ' + WalkEventLine(e);
}

} // namespace

int RunWalkTest(const WalkTestRequest& request, ConsoleOutput& out, FrameTrace* trace) {
    const QString port = request.port + QStringLiteral(": ");
    if (!request.csvFile.isEmpty()) {
        const QString error = CheckWalkCsvTarget(request.csvFile);
        if (!error.isEmpty()) {
            out.PrintError({QStringLiteral("detector-config: the walk test cannot be written to "
                                           "%1: %2")
                                .arg(QDir::toNativeSeparators(request.csvFile), error)});
            return ExitStatus::FileError;
        }
    }

    DetectorSession session(request.port, request.timeoutMs);
    session.StopRequested = Interruption::StopCheck();
    if (trace)
        session.Engine().FrameObserver = [trace](const FrameEvent& event) { trace->Record(event); };

    PortVisit visit(request.book, request.port, request.site, request.detector);
    WalkTest walk;
    QStringList finished; // rows that ended, not printed yet
    walk.EventFinished = [&](const WalkEvent& e) {
        finished << port + EventLine(e);
        visit.Recorder().WalkEvent(e.StartMs, WalkEventLine(e));
    };
    const auto onStatus = [&](const std::uint8_t* status58) {
        LiveStatus status;
        std::memcpy(status.Bytes.data(), status58, LiveStatus::Size);
        // The level the window's bars show when it opens: "Direct Convert" off.
        walk.Feed(status, false, QDateTime::currentMSecsSinceEpoch());
        if (!finished.isEmpty())
            out.Print(std::exchange(finished, {}));
    };

    bool linkOk = session.Connect();
    DetectorSession::ConfigPayload config{};
    linkOk = linkOk && session.ReadConfiguration(config);
    if (linkOk) {
        DetectorConfig record;
        UnpackConfigReport(record, config.data());
        visit.ConfigRead(record);
    }
    const auto started = std::chrono::steady_clock::now();
    if (linkOk) {
        walk.Start(QDateTime::currentMSecsSinceEpoch());
        linkOk = session.PollLiveStatus(std::chrono::seconds(request.seconds), onStatus);
    }
    const bool interrupted = session.Interrupted();
    const bool walked = walk.Running();
    const auto ranFor = std::chrono::duration_cast<std::chrono::seconds>(
        std::chrono::steady_clock::now() - started);
    if (linkOk || interrupted)
        walk.Stop();
    else
        walk.LinkLost(QDateTime::currentMSecsSinceEpoch());
    session.Close();

    // The rows still set when it ended.
    QStringList lines = std::exchange(finished, {});
    if (interrupted && !walked) {
        lines << port + QStringLiteral("interrupted, nothing written");
    } else if (!linkOk && !interrupted) {
        out.Log(session.Failure());
        lines << port + QStringLiteral("failed: ") + OneLine(session.Failure().message);
    }
    const QString how = interrupted ? QStringLiteral("walk test interrupted after %1 s")
                        : linkOk    ? QStringLiteral("walk test of %1 s")
                                    : QStringLiteral("walk test ended by the link after %1 s");
    if (walked)
        lines << port + how.arg(linkOk ? request.seconds : ranFor.count()) + QStringLiteral(": ") +
                     WalkCountsText(walk.Counts());
    // Interrupted, the run ends with 128 + the signal (Interruption).
    int status = linkOk || interrupted ? ExitStatus::Done : ExitStatus::LinkFailure;
    if (!request.csvFile.isEmpty()) {
        const QString error = WriteWalkCsv(request.csvFile, walk.Events());
        if (error.isEmpty()) {
            lines << port + QStringLiteral("walk test written to ") +
                         QDir::toNativeSeparators(request.csvFile);
        } else {
            lines << port + QStringLiteral("failed: the walk test was not written to %1: %2")
                                .arg(QDir::toNativeSeparators(request.csvFile), error);
            status = std::max(status, ExitStatus::FileError);
        }
    }
    status = visit.Finish(status, lines, interrupted);
    out.Print(lines);
    return status;
}
