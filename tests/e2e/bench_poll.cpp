// The live view's poll rate and cost against a detector paced as a real
// 19200-baud line: the whole program (main window and graph window shown) is
// connected to detector-sim --real-timing and polls for a while; then the
// figures are printed.
//
// The line limit: a 6-byte request and a 64-byte answer are 70 characters of
// 10 bits, 36.46 ms at 19200 baud, plus the detector's reaction time.
//
// Run by hand (not part of the test run):
//   QT_QPA_PLATFORM=offscreen build/bin/bench_poll [--seconds N] [--reaction-ms R]
//   With --show main,graph,walk the Walk Test window is shown and running too.
// and on an X server, with or without a screen reader's listener:
//   tests/e2e/bench-poll-x11.sh [--accessibility] [bench_poll options]

#include "ComSetup.h"
#include "Command.h"
#include "FindControl.h"
#include "LinkController.h"
#include "ProgramWindows.h"
#include "SimProcess.h"
#include "Subsystems.h"
#include "TFormWalkTest.h"
#include "TGraphics.h"
#include "X11Images.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMap>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(const timeval& t) {
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
}

double CpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return Ms(usage.ru_utime) + Ms(usage.ru_stime);
}

// The part spent in the kernel: system calls, and waking and switching.
double SystemMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return Ms(usage.ru_stime);
}

// Every sleep and wake-up of any of the program's threads: on a virtual
// machine each costs several microseconds of CPU time.
long ContextSwitches() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_nvcsw + usage.ru_nivcsw;
}

double Percentile(std::vector<double> values, double p) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto at = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(at, values.size() - 1)];
}

// Counts paint events per widget while the poll runs: what is redrawn for
// each status, and how often.
class PaintCounter : public QObject {
public:
    bool active = false;
    QMap<QString, int> paints;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (active && event->type() == QEvent::Paint) {
            const QString name = watched->objectName().isEmpty()
                                     ? QString::fromLatin1(watched->metaObject()->className())
                                     : watched->objectName();
            ++paints[name];
        }
        return false;
    }
};

QtMessageHandler g_previous = nullptr;

// The offscreen platform says on every fade step that it cannot fade.
void DropOpacityWarnings(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (!text.contains("does not support setting window opacity"))
        g_previous(type, context, text);
}

} // namespace

int main(int argc, char** argv) {
    // As the program does.
    PreferPlainX11Images();
    QApplication app(argc, argv);
    g_previous = qInstallMessageHandler(DropOpacityWarnings);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption secondsOption("seconds", "Seconds of polling (default 20).", "N",
                                           "20");
    const QCommandLineOption reactionOption(
        "reaction-ms", "The detector's reaction time in ms (default 2).", "R", "2");
    parser.addOption(secondsOption);
    parser.addOption(reactionOption);
    const QCommandLineOption paintsOption("paints", "List the widgets painted per status.");
    parser.addOption(paintsOption);
    const QCommandLineOption showOption(
        "show",
        "The windows shown: main,graph (default), main, graph or none; add walk for the Walk "
        "Test window, running.",
        "W", "main,graph");
    parser.addOption(showOption);
    parser.process(app);
    const int seconds = std::max(1, parser.value(secondsOption).toInt());
    const int reactionMs = std::max(0, parser.value(reactionOption).toInt());

    QTemporaryDir dir;
    SimProcess sim(dir.path());
    if (!dir.isValid() || !sim.Start({"--real-timing", "--reaction-ms", QString::number(reactionMs),
                                      "--walk-every", "3"})) {
        std::fprintf(stderr, "bench_poll: detector-sim did not start\n");
        return 1;
    }
    const QString port = sim.LinkPath();
    ProgramWindows windows = CreateProgramWindows(
        TMainForm::Wiring::Full, [port](const auto&) { return QStringList{port}; });
    LinkController& link = windows.mainForm->GetSubsystems()->Link();
    link.ShowMessage = [](const QString& text) {
        std::fprintf(stderr, "bench_poll: message \"%s\"\n", qPrintable(text));
    };
    // Hidden windows still take every status; only their drawing is left out.
    const QStringList shown = parser.value(showOption).split(',');
    if (shown.contains("main"))
        windows.mainForm->show();
    if (shown.contains("graph"))
        windows.graphics->show();

    // Timestamps of every answer's end and every request's start.
    int statuses = 0;
    int otherFrames = 0; // writes, and answers that were not a live status
    bool measuring = false;
    std::vector<double> gapsMs, dispatchMs, idleMs, exchangeMs;
    Clock::time_point lastAnswer{}, lastRequest{}, tickEnd{};
    link.FrameObserver = [&](const FrameEvent& e) {
        const Clock::time_point now = Clock::now();
        if (e.kind == FrameEvent::Received) {
            lastAnswer = now;
            if (measuring && lastRequest != Clock::time_point{})
                exchangeMs.push_back(
                    std::chrono::duration<double, std::milli>(now - lastRequest).count());
            if (measuring && e.frameClass == Command::FrameClass::Accepted &&
                e.bytes[3] == Command::ReportLiveStatus)
                ++statuses;
            else if (measuring)
                ++otherFrames;
        } else if (e.kind != FrameEvent::RequestSent) {
            otherFrames += measuring;
        } else if ((lastRequest = now, measuring) && lastAnswer != Clock::time_point{}) {
            gapsMs.push_back(std::chrono::duration<double, std::milli>(now - lastAnswer).count());
            if (tickEnd > lastAnswer) {
                dispatchMs.push_back(
                    std::chrono::duration<double, std::milli>(tickEnd - lastAnswer).count());
                idleMs.push_back(std::chrono::duration<double, std::milli>(now - tickEnd).count());
            }
        }
    };
    // Connected after the poll tick's own handler, so it runs when the tick is over.
    QObject::connect(FindControl<QTimer>(windows.mainForm.get(), "Timer2"), &QTimer::timeout,
                     [&] { tickEnd = Clock::now(); });

    FindControl<QScrollBar>(windows.formCom, "ScrollBar1")->setValue(90);
    FindControl<QComboBox>(windows.formCom, "ComboBox1")->setCurrentIndex(0);
    FindControl<QAction>(windows.mainForm.get(), "Action2")->trigger();
    if (!QTest::qWaitFor([&] { return link.Buffers().ConfigShown; }, 5000)) {
        std::fprintf(stderr, "bench_poll: the configuration was not read\n");
        return 1;
    }
    QTest::qWait(500); // past the start-up fade
    TFormWalkTest& walk = windows.mainForm->GetSubsystems()->WalkTestWindow();
    if (shown.contains("walk")) {
        walk.show();
        walk.Button_StartClick();
    }

    // How late a timer fires tells how long the event loop was away. It beats
    // a few times a second only: every beat is a wake-up of its own that the
    // CPU figure would count.
    constexpr int BeatMs = 100;
    double longestStallMs = 0;
    Clock::time_point lastBeat = Clock::now();
    QTimer heartbeat;
    heartbeat.setTimerType(Qt::PreciseTimer);
    heartbeat.setInterval(BeatMs);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const Clock::time_point now = Clock::now();
        if (measuring)
            longestStallMs = std::max(
                longestStallMs,
                std::chrono::duration<double, std::milli>(now - lastBeat).count() - BeatMs);
        lastBeat = now;
    });
    heartbeat.start();

    PaintCounter paintCounter;
    const bool listPaints = parser.isSet(paintsOption);
    if (listPaints)
        app.installEventFilter(&paintCounter);
    paintCounter.active = true;
    measuring = true;
    const double cpuBefore = CpuMs();
    const double systemBefore = SystemMs();
    const long switchesBefore = ContextSwitches();
    QElapsedTimer wall;
    wall.start();
    // The program's own kind of event loop, which waits for events instead
    // of sleeping between passes as QTest::qWait does.
    QEventLoop polling;
    QTimer::singleShot(seconds * 1000, &polling, &QEventLoop::quit);
    polling.exec();
    const double elapsedS = static_cast<double>(wall.elapsed()) / 1000.0;
    const double cpuMs = CpuMs() - cpuBefore;
    const double systemMs = SystemMs() - systemBefore;
    const long switches = ContextSwitches() - switchesBefore;
    measuring = false;
    paintCounter.active = false;

    const double lineMs = 70 * 10 * 1000.0 / 19200.0 + reactionMs;
    const double limit = 1000.0 / lineMs;
    const double rate = statuses / elapsedS;
    std::printf("platform            %s\n", qPrintable(QGuiApplication::platformName()));
    std::printf("windows shown       %s\n", qPrintable(shown.join(',')));
    // On X11 with a screen reader (or tests/e2e/bench-poll-x11.sh --accessibility)
    // listening on the accessibility bus.
    std::printf("accessibility       %s\n", QAccessible::isActive() ? "bridge on" : "off");
    std::printf("polled              %.1f s, reaction %d ms\n", elapsedS, reactionMs);
    std::printf("live statuses/s     %.2f\n", rate);
    std::printf("other frames        %d (writes, and answers other than a live status)\n",
                otherFrames);
    std::printf("line limit/s        %.2f\n", limit);
    std::printf("ratio               %.1f %%\n", 100.0 * rate / limit);
    std::printf("CPU per status      %.3f ms (%.1f %% of a core)\n",
                statuses ? cpuMs / statuses : 0.0, 100.0 * cpuMs / (elapsedS * 1000.0));
    std::printf("walk test events    %zu\n", walk.Test().Events().size());
    std::printf("  of which system   %.3f ms\n", statuses ? systemMs / statuses : 0.0);
    std::printf("switches per status %.1f (threads put to sleep or woken)\n",
                statuses ? static_cast<double>(switches) / statuses : 0.0);
    std::printf("longest stall       %.1f ms\n", longestStallMs);
    std::printf("request->answer p50 %.2f ms (the line: %.2f ms)\n", Percentile(exchangeMs, 0.50),
                lineMs);
    const auto mean = [](const std::vector<double>& v) {
        double sum = 0;
        for (double x : v)
            sum += x;
        return v.empty() ? 0.0 : sum / static_cast<double>(v.size());
    };
    std::printf("request->answer mean %.2f ms, p99 %.2f ms\n", mean(exchangeMs),
                Percentile(exchangeMs, 0.99));
    std::printf("answer->request p50 %.2f ms\n", Percentile(gapsMs, 0.50));
    std::printf("answer->request mean %.2f ms\n", mean(gapsMs));
    std::printf("answer->request p99 %.2f ms\n", Percentile(gapsMs, 0.99));
    std::printf("  of which the rest of the tick (showing the status) p50 %.2f ms, "
                "until the next request p50 %.2f ms\n",
                Percentile(dispatchMs, 0.50), Percentile(idleMs, 0.50));

    if (listPaints) {
        QList<std::pair<int, QString>> byCount;
        for (auto it = paintCounter.paints.cbegin(); it != paintCounter.paints.cend(); ++it)
            byCount.append({it.value(), it.key()});
        std::sort(byCount.rbegin(), byCount.rend());
        for (const auto& [count, name] : byCount)
            std::printf("  paints per status %6.2f  %s\n",
                        statuses ? double(count) / statuses : 0.0, qPrintable(name));
    }
    windows.mainForm->GetSubsystems()->Link().ExitLinkSide();
    return statuses > 0 ? 0 : 1;
}
