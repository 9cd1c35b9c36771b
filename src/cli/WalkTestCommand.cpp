#include "WalkTestCommand.h"

#include "ConsoleOutput.h"
#include "DetectorSession.h"
#include "FrameTrace.h"
#include "WalkTest.h"

#include <QDateTime>
#include <QDir>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace {

// Statuses are polled in slices this long, so that a request to stop is seen
// within one slice and the exchange on the line.
constexpr auto Slice = std::chrono::milliseconds(100);

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

int RunWalkTest(const WalkTestRequest& request, ConsoleOutput& out, FrameTrace* trace,
                const std::function<int()>& stopSignal) {
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
    if (trace)
        session.Engine().FrameObserver = [trace](const FrameEvent& event) { trace->Record(event); };

    WalkTest walk;
    std::vector<std::size_t> pending; // rows not printed yet
    int signal = 0;
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
    const auto end = started + std::chrono::seconds(request.seconds);
    if (linkOk) {
        walk.Start(QDateTime::currentMSecsSinceEpoch());
        for (auto now = started; now < end; now = std::chrono::steady_clock::now()) {
            if (stopSignal && (signal = stopSignal()) != 0)
                break;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - now);
            if (!session.PollLiveStatus(std::min<std::chrono::milliseconds>(left, Slice),
                                        onStatus)) {
                linkOk = false;
                break;
            }
        }
    }
    const bool walked = walk.Running();
    const auto ranFor = std::chrono::duration_cast<std::chrono::seconds>(
        std::chrono::steady_clock::now() - started);
    if (linkOk)
        walk.Stop();
    else
        walk.LinkLost(QDateTime::currentMSecsSinceEpoch());
    session.Close();

    QStringList lines;
    for (std::size_t row : pending)
        lines << port + EventLine(walk.Events()[row]);
    if (!linkOk) {
        out.Log(session.Failure());
        lines << port + QStringLiteral("failed: ") + session.Failure().message.simplified();
    }
    const QString how = signal   ? QStringLiteral("walk test interrupted after %1 s")
                        : linkOk ? QStringLiteral("walk test of %1 s")
                                 : QStringLiteral("walk test ended by the link after %1 s");
    if (walked)
        lines << port + how.arg(signal || !linkOk ? ranFor.count() : request.seconds) +
                     QStringLiteral(": ") + WalkCountsText(walk.Counts());
    int status = linkOk ? ExitStatus::Done : ExitStatus::LinkFailure;
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
    return signal ? 128 + signal : status;
}
