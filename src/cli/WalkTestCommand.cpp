#include "WalkTestCommand.h"

#include "ConsoleOutput.h"
#include "DetectorSession.h"
#include "FrameTrace.h"
#include "Interruption.h"
#include "WalkTest.h"

#include <QDateTime>
#include <QDir>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace {

QString PeaksText(const WalkEvent& e) {
    return QStringLiteral("peaks MW %1, Pir High above %2, Pir Down Under %3")
        .arg(e.Peaks[0])
        .arg(e.Peaks[1])
        .arg(e.Peaks[2]);
}

QString EventLine(const WalkEvent& e) {
    const QString name = WalkTest::KindNames()[static_cast<std::size_t>(e.Kind)];
    const QString start = WalkTimeText(e.StartMs);
    if (e.DurationMs)
        return QStringLiteral("%1 %2 %3 ms, %4")
            .arg(start, name)
            .arg(*e.DurationMs)
            .arg(PeaksText(e));
    if (e.LinkLostMs)
        return QStringLiteral("%1 %2 still set when the link was lost at %3, %4")
            .arg(start, name, WalkTimeText(*e.LinkLostMs), PeaksText(e));
    return QStringLiteral("%1 %2 still set at the end, %3").arg(start, name, PeaksText(e));
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

    WalkTest walk;
    std::vector<std::size_t> pending; // rows not printed yet
    const auto onStatus = [&](const std::uint8_t* status58) {
        LiveStatus status;
        std::memcpy(status.Bytes.data(), status58, LiveStatus::Size);
        // The level the window's bars show when it opens: "Direct Convert" off.
        const WalkTest::Change change =
            walk.Feed(status, false, QDateTime::currentMSecsSinceEpoch());
        for (int n = 0; n < change.NewRows; ++n)
            pending.push_back(walk.Events().size() - static_cast<std::size_t>(change.NewRows - n));
        if (!change.Changed)
            return;
        QStringList ended;
        std::erase_if(pending, [&](std::size_t row) {
            const WalkEvent& e = walk.Events()[row];
            if (!e.DurationMs)
                return false;
            ended << port + EventLine(e);
            return true;
        });
        out.Print(ended);
    };

    bool linkOk = session.Connect();
    DetectorSession::ConfigPayload config{};
    linkOk = linkOk && session.ReadConfiguration(config);
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

    QStringList lines;
    for (std::size_t row : pending)
        lines << port + EventLine(walk.Events()[row]);
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
    out.Print(lines);
    return status;
}
