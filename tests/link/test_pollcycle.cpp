#include "ComSetup.h"
#include "Command.h"
#include "ErrorLog.h"
#include "FindControl.h"
#include "LinkController.h"
#include "PanelStatusBar.h"
#include "PtyPeer.h"
#include "ReportSink.h"
#include "synaser.h"

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <ctime>

using namespace TestSupport;

namespace {

const Bytes LiveRequest{0x02, 0x00, 0x01, 0x08, 0xF8, 0x03};
const Bytes ConfigRequest{0x02, 0x00, 0x01, 0x09, 0xF7, 0x03};
const Bytes EventRequest{0x02, 0x00, 0x01, 0x0C, 0xF4, 0x03};

Bytes Payload(int size, std::uint8_t first) {
    Bytes p(size);
    for (int i = 0; i < size; ++i)
        p[i] = static_cast<std::uint8_t>(first + i);
    return p;
}

// Answers every request with a well-formed report of the length it asks for.
PeerScript Answer(const Bytes& request) {
    if (request.size() != 6)
        return {}; // configuration writes get no answer
    switch (request[3]) {
    case 0x08:
        return {{2, MakeReport(8, Payload(58, 1))}};
    case 0x09:
        return {{2, MakeReport(9, Payload(40, 100))}};
    case 0x0C:
        return {{2, MakeReport(12, Payload(220, 0))}};
    }
    return {};
}

struct RecordingSink : ReportSink {
    QList<QByteArray> pwm, live, config, events;
    static QByteArray take(const std::uint8_t* p, int n) {
        return QByteArray(reinterpret_cast<const char*>(p), n);
    }
    void PwmReport(const std::uint8_t* p) override { pwm << take(p, 4); }
    void LiveStatusReport(const std::uint8_t* p) override { live << take(p, 58); }
    void ConfigReport(const std::uint8_t* p) override { config << take(p, 40); }
    void EventLogReport(const std::uint8_t* p) override { events << take(p, 220); }
    int total() const { return pwm.size() + live.size() + config.size() + events.size(); }
};

// The main window's link controls, a port setup dialog listing the peer's
// port, and the controller, with messages and log records captured.
struct Rig {
    PtyPeer peer;
    QAction action2{"Connect"};
    QAction action4{"Store To Flash"};
    QAction commSetup1{"Store To Flash"};
    PanelStatusBar statusBar;
    QProgressBar progress;
    QTabWidget pages;
    QTimer timer2;
    TFormCom formCom;
    RecordingSink sink;
    LinkController link;
    // Each message's first line (the documented text), and its second line
    // (the port and what to check) apart.
    QStringList messages;
    QStringList advice;
    QStringList logText;
    QStringList logClass;

    Rig()
        : formCom(&action2, nullptr,
                  [this](auto&) { return QStringList{QString::fromStdString(peer.SlavePath())}; }),
          link(LinkController::Controls{&action2, &action4, &commSetup1, &statusBar, &progress,
                                        &pages, &timer2},
               &formCom, sink) {
        action2.setEnabled(false);
        action4.setEnabled(false);
        statusBar.setPanelWidths({100, 400, 200, 50, 110, 149});
        statusBar.setPanelText(0, "Disconnect");
        progress.setRange(0, 100);
        progress.setValue(0);
        pages.addTab(new QWidget, "VIEW");
        pages.addTab(new QWidget, "LOGS");
        timer2.setInterval(10);
        link.ShowMessage = [this](const QString& text) {
            messages << text.section(QLatin1Char('\n'), 0, 0);
            advice << text.section(QLatin1Char('\n'), 1);
        };
        link.LogError = [this](const std::exception* error, const QString& text) {
            logClass << (error ? LoggedErrorFrom(*error).className : QString());
            logText << text;
            return QString();
        };
        link.FormShowLinkSide();
    }

    void choosePort(int timeoutMs = 50) {
        FindControl<QScrollBar>(&formCom, "ScrollBar1")->setValue(timeoutMs);
        FindControl<QComboBox>(&formCom, "ComboBox1")->setCurrentIndex(0);
    }
    void connectNow() {
        QCOMPARE(action2.text(), QString("Connect"));
        link.Action2Execute();
    }
    // One tick, run by hand so that the test decides when ticks happen.
    void tick() { link.Timer2Timer(); }
    QString panel0() const { return statusBar.panelText(0); }
};

Bytes Sent(Rig& rig, int index) {
    const auto requests = rig.peer.Requests();
    return index < int(requests.size()) ? requests[index] : Bytes{};
}

} // namespace

class TestPollCycle : public QObject {
    Q_OBJECT
private slots:
    void connectWithoutPortChangesNothing() {
        Rig rig;
        rig.action2.setEnabled(true);
        rig.connectNow();
        QCOMPARE(rig.messages, QStringList{"set the COM port number"});
        QCOMPARE(rig.action2.text(), QString("Connect"));
        QCOMPARE(rig.panel0(), QString("Disconnect"));
        QVERIFY(!rig.timer2.isActive());
        QVERIFY(!rig.link.PortOpen());
    }

    void connectFailureShowsTheReasonOfTheFirstFailedStep() {
        Rig rig;
        rig.choosePort();
        rig.formCom.ComboBox1Change("/nonexistent/ttyNOPE");
        rig.connectNow();
        QCOMPARE(rig.messages.size(), 1);
        QVERIFY2(rig.messages[0].startsWith("No such file or directory"),
                 qPrintable(rig.messages[0]));
        QVERIFY(!rig.link.PortOpen());
        QVERIFY(!rig.timer2.isActive());
        QVERIFY(rig.action2.isEnabled());
        QCOMPARE(rig.action2.text(), QString("Connect"));
        QVERIFY(!rig.action4.isEnabled());
    }

    void firstRequestsAfterConnect() {
        Rig rig;
        rig.peer.StartResponder(Answer);
        rig.choosePort();
        rig.connectNow();
        QVERIFY(rig.link.PortOpen());
        QVERIFY(rig.timer2.isActive());
        QCOMPARE(rig.action2.text(), QString("Disconnect"));
        QCOMPARE(rig.panel0(), QString("Connect"));
        QVERIFY(!rig.commSetup1.isEnabled());
        QVERIFY(rig.action4.isEnabled());
        rig.timer2.stop(); // ticks by hand from here
        rig.tick();
        rig.tick();
        QCOMPARE(Sent(rig, 0), ConfigRequest);
        QCOMPARE(Sent(rig, 1), LiveRequest);
        QCOMPARE(rig.sink.config.size(), 1);
        QCOMPARE(rig.sink.config[0], RecordingSink::take(Payload(40, 100).data(), 40));
        QCOMPARE(rig.sink.live.size(), 1);
        QVERIFY(rig.messages.isEmpty());
    }

    void sixSilentTicksHaltWithTimeOut() {
        Rig rig;
        rig.peer.StartResponder([](const Bytes&) { return PeerScript{}; });
        rig.choosePort(50);
        rig.connectNow();
        for (int i = 0; i < 5; ++i) {
            rig.tick();
            QCOMPARE(rig.link.RetryCount(), i + 1);
            QVERIFY(rig.messages.isEmpty());
        }
        rig.tick();
        QCOMPARE(rig.messages, QStringList{"Error Time Out"});
        QCOMPARE(rig.logText,
                 QStringList{" BuffRX[0]= 0 LenRX= 46 message: Timeout during operation"});
        QCOMPARE(rig.logClass, QStringList{QString()});
        QCOMPARE(rig.link.RetryCount(), 0);
        QVERIFY(rig.link.PortOpen()); // halted, not closed
        QVERIFY(!rig.timer2.isActive());
        QCOMPARE(rig.action2.text(), QString("Connect"));
        QCOMPARE(rig.panel0(), QString("Disconnect"));
        QVERIFY(rig.commSetup1.isEnabled());
        QVERIFY(!rig.action4.isEnabled());
        // The unanswered configuration request was repeated every time.
        QCOMPARE(rig.peer.RequestCount(), 6);
        for (const Bytes& r : rig.peer.Requests())
            QCOMPARE(r, ConfigRequest);
    }

    void fiveFailuresThenAnAnswer() {
        Rig rig;
        int seen = 0;
        rig.peer.StartResponder(
            [&](const Bytes& r) { return ++seen > 5 ? Answer(r) : PeerScript{}; });
        rig.choosePort(50);
        rig.connectNow();
        for (int i = 0; i < 5; ++i)
            rig.tick();
        QCOMPARE(rig.link.RetryCount(), 5);
        rig.tick();
        QCOMPARE(rig.link.RetryCount(), 0);
        QVERIFY(rig.messages.isEmpty());
        QCOMPARE(rig.sink.config.size(), 1);
    }

    void retryCountSurvivesReconnect() {
        Rig rig;
        rig.choosePort(50);
        rig.connectNow();
        for (int i = 0; i < 3; ++i)
            rig.tick();
        rig.link.Action2Execute(); // Disconnect
        QVERIFY(!rig.link.PortOpen());
        QCOMPARE(rig.panel0(), QString("Disconnect"));
        rig.connectNow();
        QVERIFY(rig.link.PortOpen());
        rig.tick();
        rig.tick();
        QVERIFY(rig.messages.isEmpty());
        rig.tick(); // the third failure of the new connection ends it
        QCOMPARE(rig.messages, QStringList{"Error Time Out"});
    }

    void badChecksumsNeverEndTheConnection() {
        Rig rig;
        std::atomic<bool> damage{true};
        rig.peer.StartResponder([&](const Bytes& r) {
            PeerScript s = Answer(r);
            if (!s.empty() && damage)
                s[0].bytes[s[0].bytes.size() - 2] ^= 0x5A;
            return s;
        });
        rig.choosePort(100);
        rig.connectNow();
        for (int i = 0; i < 12; ++i)
            rig.tick();
        QVERIFY(rig.messages.isEmpty());
        QVERIFY(rig.link.PortOpen());
        QCOMPARE(rig.link.RetryCount(), 0);
        QCOMPARE(rig.sink.total(), 0);
        // Until the detector's configuration has been shown it stays the
        // request: live statuses would move controls that hold no record.
        QVERIFY(rig.peer.WaitIdle(1000));
        auto sent = rig.peer.Requests();
        QCOMPARE(int(sent.size()), 12);
        QCOMPARE(int(std::count(sent.begin(), sent.end(), ConfigRequest)), 12);

        damage = false;
        rig.tick();
        rig.tick();
        QVERIFY(rig.peer.WaitIdle(1000));
        sent = rig.peer.Requests();
        QCOMPARE(sent.back(), LiveRequest);
        QCOMPARE(rig.sink.config.size(), 1);
    }

    void strayBytesBehindAnAnswerDoNotMisalignTheNext() {
        Rig rig;
        int n = 0;
        rig.peer.StartResponder([&](const Bytes& r) {
            PeerScript s = Answer(r);
            if (n++ == 1) // line noise behind one answer
                s[0].bytes.insert(s[0].bytes.end(), {0xA5, 0x5A, 0xFF});
            return s;
        });
        rig.choosePort(50);
        rig.connectNow();
        for (int i = 0; i < 10; ++i)
            rig.tick();
        QVERIFY2(rig.messages.isEmpty(), qPrintable(rig.messages.join(" / ")));
        QCOMPARE(rig.link.RetryCount(), 0);
        QCOMPARE(rig.sink.live.size(), 9); // every answer after the configuration was taken
    }

    void dispatchGoesByTypeByte() {
        Rig rig;
        int n = 0;
        rig.peer.StartResponder([&](const Bytes&) -> PeerScript {
            switch (n++) {
            case 0:
                return {{1, MakeReport(9, Payload(40, 0))}};
            case 1:
                return {{1, MakeReport(7, Payload(58, 0x10))}}; // type 7 at the live length
            case 2:
                return {{1, MakeReport(11, Payload(58, 0))}}; // a sign of life
            case 3:
                return {{1, MakeReport(10, Payload(58, 0x40))}};
            default:
                return {{1, MakeReport(8, Payload(58, 0))}};
            }
        });
        rig.choosePort(100);
        rig.connectNow();
        for (int i = 0; i < 5; ++i)
            rig.tick();
        QCOMPARE(rig.sink.config.size(), 1);
        QCOMPARE(rig.sink.pwm.size(), 1);
        QCOMPARE(rig.sink.pwm[0], QByteArray("\x10\x11\x12\x13", 4));
        QCOMPARE(rig.link.Report10Block()[0], std::uint8_t{0x40});
        QCOMPARE(rig.link.Report10Block()[19], std::uint8_t{0x40 + 19});
        QCOMPARE(rig.sink.live.size(), 1);
        QCOMPARE(rig.link.RetryCount(), 0);
    }

    void pendingWriteGoesOutAloneThenConfigIsRead() {
        Rig rig;
        rig.peer.StartResponder(Answer);
        rig.choosePort(100);
        rig.connectNow();
        rig.tick(); // configuration read after connect
        rig.tick(); // live status
        std::uint8_t body[40] = {};
        body[0] = 0x01;
        Command::WrapConfigWrite(rig.link.Buffers().OutgoingFrame, body);
        rig.link.Buffers().WritePending = true;
        rig.link.Buffers().RequestConfigRead();
        rig.progress.setValue(10);
        rig.tick();
        QVERIFY(!rig.link.Buffers().WritePending);
        QCOMPARE(rig.progress.value(), 100); // a write runs the activity bar to its end
        rig.tick();
        QCOMPARE(rig.progress.value(), 0);
        rig.tick();
        QVERIFY(rig.peer.WaitIdle(1000));
        const auto sent = rig.peer.Requests();
        QCOMPARE(int(sent.size()), 5);
        QCOMPARE(int(sent[2].size()), 46);
        QCOMPARE(Bytes(sent[2].begin(), sent[2].end()),
                 Bytes(rig.link.Buffers().OutgoingFrame.begin(),
                       rig.link.Buffers().OutgoingFrame.end()));
        QCOMPARE(sent[3], ConfigRequest);
        QCOMPARE(sent[4], LiveRequest);
        QCOMPARE(rig.sink.config.size(), 2);
    }

    // A failure's message keeps its documented first line and adds the port
    // and what to check; the port panel keeps naming the failed port until
    // another one is chosen, and a failed open is logged with its port.
    void failureNamesThePortAndTheNextStep() {
        Rig rig;
        rig.choosePort();
        rig.formCom.ChoosePort("/nonexistent/ttyNOPE");
        rig.connectNow();
        QCOMPARE(rig.messages, QStringList{"No such file or directory"});
        QCOMPARE(rig.advice, QStringList{"Port /nonexistent/ttyNOPE does not exist. Check that the "
                                         "adapter is plugged in and choose the detector's port "
                                         "in SetUp COM."});
        QCOMPARE(rig.logText, QStringList{"/nonexistent/ttyNOPE: No such file or directory"});
        QCOMPARE(rig.statusBar.panelText(LinkController::PortPanel),
                 QString("/nonexistent/ttyNOPE"));
        // A device that is no serial port: the system's text first here too.
        rig.messages.clear();
        rig.advice.clear();
        rig.formCom.ChoosePort("/dev/null");
        QCOMPARE(rig.statusBar.panelText(LinkController::PortPanel), QString());
        rig.connectNow();
        QCOMPARE(rig.messages, QStringList{"Inappropriate ioctl for device"});
        QCOMPARE(rig.advice, QStringList{"Port /dev/null is not a serial port. Choose the "
                                         "detector's port in SetUp COM."});
        rig.formCom.ChoosePort(QString::fromStdString(rig.peer.SlavePath()));
        QCOMPARE(rig.statusBar.panelText(LinkController::PortPanel), QString());

        // A detector that falls silent.
        rig.messages.clear();
        rig.advice.clear();
        rig.connectNow();
        for (int i = 0; i < 6; ++i)
            rig.tick();
        QCOMPARE(rig.messages, QStringList{"Error Time Out"});
        const QString port = QString::fromStdString(rig.peer.SlavePath());
        QCOMPARE(rig.advice, QStringList{"Port " + port +
                                         ": the detector did not answer. Check the cable, the "
                                         "power and the port."});
        QCOMPARE(rig.statusBar.panelText(LinkController::PortPanel), port);
    }

    // Six unusable answers in a row are told on the status bar, and the
    // text goes at the next usable answer; polling goes on throughout.
    // Reports 7 and 11 to the live-status request are not damage.
    void unusableAnswersAreToldAfterSixInARow() {
        Rig rig;
        std::atomic<int> mode{0}; // 0 good, 1 bad checksum, 2 report 7, 3 report 11
        rig.peer.StartResponder([&](const Bytes& r) {
            PeerScript s = Answer(r);
            if (s.empty() || r[3] != 0x08 || mode == 0)
                return s;
            if (mode == 1)
                s[0].bytes[s[0].bytes.size() - 2] ^= 0x5A;
            else
                s[0].bytes = MakeReport(mode == 2 ? 7 : 11, Payload(58, 1));
            return s;
        });
        rig.choosePort(100);
        rig.connectNow();
        rig.tick(); // the configuration
        const auto news = [&] { return rig.statusBar.panelText(LinkController::NewsPanel); };
        QCOMPARE(news(), QString());
        mode = 1;
        for (int i = 0; i < 5; ++i)
            rig.tick();
        QCOMPARE(news(), QString());
        rig.tick();
        QCOMPARE(news(), QString("Answers unusable: 6 in a row (bad checksum)"));
        for (int i = 0; i < 6; ++i)
            rig.tick();
        QCOMPARE(news(), QString("Answers unusable: 12 in a row (bad checksum)"));
        mode = 0;
        rig.tick();
        QCOMPARE(news(), QString());

        mode = 2;
        for (int i = 0; i < 6; ++i)
            rig.tick();
        QCOMPARE(news(), QString("No live status: 6 answers in a row (report 7)"));
        mode = 3;
        rig.tick();
        QCOMPARE(news(), QString("No live status: 7 answers in a row (report 11)"));
        QVERIFY(rig.messages.isEmpty());
        QVERIFY(rig.timer2.isActive() || rig.link.PortOpen());
        QCOMPARE(rig.link.RetryCount(), 0);
    }

    void pageChangesChooseTheRequest() {
        Rig rig;
        // Disconnected: a page change changes nothing.
        rig.pages.setCurrentIndex(1);
        rig.link.PageControl1Change(1);
        QCOMPARE(rig.link.Buffers().PollRequest[3], std::uint8_t{0x08});

        rig.peer.StartResponder(Answer);
        rig.choosePort(100);
        rig.connectNow(); // connected while LOGS is shown
        rig.tick();
        rig.tick();
        rig.link.PageControl1Change(1);
        rig.tick();
        rig.pages.setCurrentIndex(0);
        rig.link.PageControl1Change(0);
        rig.tick();
        QVERIFY(rig.peer.WaitIdle(1000));
        const auto sent = rig.peer.Requests();
        QCOMPARE(int(sent.size()), 4);
        // The configuration first; once it is shown the page reads its
        // event log without waiting for a page change.
        QCOMPARE(sent[0], ConfigRequest);
        QCOMPARE(sent[1], EventRequest);
        QCOMPARE(sent[2], EventRequest);
        QCOMPARE(sent[3], LiveRequest);
        QCOMPARE(rig.sink.events.size(), 2);
    }

    void receiveTimeOutIsReadLiveFromTheDialog() {
        Rig rig;
        rig.choosePort(50);
        rig.connectNow();
        QElapsedTimer t;
        t.start();
        rig.tick();
        const qint64 shortWait = t.restart();
        FindControl<QScrollBar>(&rig.formCom, "ScrollBar1")->setValue(300);
        rig.tick();
        const qint64 longWait = t.elapsed();
        QVERIFY2(shortWait < 250, qPrintable(QString::number(shortWait)));
        QVERIFY2(longWait >= 290 && longWait < 1000, qPrintable(QString::number(longWait)));
        QCOMPARE(rig.formCom.TimeOut, 50);
    }

    void activityBarStepsAndWraps() {
        Rig rig;
        rig.progress.setValue(99);
        rig.tick();
        QCOMPARE(rig.progress.value(), 100);
        rig.tick();
        QCOMPARE(rig.progress.value(), 0);
        rig.tick();
        QCOMPARE(rig.progress.value(), 1);
    }

    void exitTwiceClosesOnce() {
        Rig rig;
        rig.choosePort();
        rig.connectNow();
        QVERIFY(rig.link.PortOpen());
        rig.link.ExitLinkSide();
        QVERIFY(!rig.link.HasPort());
        QVERIFY(!rig.timer2.isActive());
        rig.link.ExitLinkSide();
        QVERIFY(!rig.link.HasPort());
        QVERIFY(rig.messages.isEmpty());
    }

    // A write built on one connection (a control changed while Halted, or a
    // live status's noise flag just before Disconnect) carries that
    // detector's configuration: the next connection, perhaps to another
    // detector, starts with the configuration request and never sends it.
    void writeFromAnEarlierConnectionIsNeverSent() {
        Rig rig;
        std::atomic<bool> answering{true};
        rig.peer.StartResponder(
            [&](const Bytes& r) { return answering ? Answer(r) : PeerScript{}; });
        rig.choosePort(50);
        rig.connectNow();
        rig.tick();
        QVERIFY(rig.link.Buffers().ConfigShown);
        answering = false;
        for (int i = 0; i < 6; ++i)
            rig.tick();
        QCOMPARE(rig.messages, QStringList{"Error Time Out"});
        // Halted: nothing shown any longer stands for a detector on the line.
        QVERIFY(!rig.link.Buffers().ConfigShown);
        std::uint8_t body[40] = {};
        Command::WrapConfigWrite(rig.link.Buffers().OutgoingFrame, body);
        rig.link.Buffers().WritePending = true;
        rig.link.Buffers().RequestConfigRead();
        answering = true;
        rig.link.Action2Execute(); // caption reads Connect again: this connects
        QVERIFY(rig.link.PortOpen());
        QVERIFY(!rig.link.Buffers().WritePending);
        rig.tick();
        QCOMPARE(rig.sink.config.size(), 2);

        rig.link.Buffers().WritePending = true; // built just before Disconnect
        rig.link.Action2Execute();
        QVERIFY(!rig.link.Buffers().ConfigShown);
        rig.link.Action2Execute();
        rig.tick();
        QVERIFY(rig.peer.WaitIdle(1000));
        const auto sent = rig.peer.Requests();
        QCOMPARE(int(sent.size()), 9);
        QCOMPARE(sent[7], ConfigRequest);
        QCOMPARE(sent[8], ConfigRequest);
        for (const auto& frame : sent)
            QCOMPARE(int(frame.size()), 6);
        QCOMPARE(rig.sink.config.size(), 3);
    }

    // Until this connection's configuration is shown the controls act on
    // nothing: the status bar says so for as long as that lasts, also against
    // a detector whose configuration answers are all damaged.
    void statusBarSaysWhileTheConfigurationIsRead() {
        Rig rig;
        std::atomic<bool> damaged{true};
        rig.peer.StartResponder([&](const Bytes& r) {
            PeerScript answer = Answer(r);
            if (damaged && r[3] == 0x09)
                answer[0].bytes[44] ^= 0xFF; // checksum
            return answer;
        });
        rig.choosePort(100);
        QCOMPARE(rig.statusBar.panelText(1), QString());
        rig.connectNow();
        QCOMPARE(rig.statusBar.panelText(1), QString("Reading configuration..."));
        rig.tick();
        rig.tick();
        QCOMPARE(rig.sink.config.size(), 0);
        QCOMPARE(rig.statusBar.panelText(1), QString("Reading configuration..."));
        damaged = false;
        // A loaded machine may let one request go unanswered; the panel must
        // stay until the configuration is in, whichever tick brings it.
        for (int i = 0; i < 5 && rig.sink.config.isEmpty(); ++i) {
            QCOMPARE(rig.statusBar.panelText(1), QString("Reading configuration..."));
            rig.tick();
        }
        QCOMPARE(rig.sink.config.size(), 1);
        QCOMPARE(rig.statusBar.panelText(1), QString());

        damaged = true;
        rig.link.Action2Execute(); // Disconnect
        rig.link.Action2Execute(); // Connect
        QCOMPARE(rig.statusBar.panelText(1), QString("Reading configuration..."));
        rig.link.Action2Execute();
        QCOMPARE(rig.statusBar.panelText(1), QString());
    }

    void hangUpEndsInTimeOutWithoutSpinning() {
        Rig rig;
        rig.peer.StartResponder(Answer);
        rig.choosePort(50);
        rig.connectNow();
        rig.tick();
        QCOMPARE(rig.sink.config.size(), 1);
        rig.peer.StopResponder();
        rig.peer.HangUp();
        timespec cpu0{}, cpu1{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu0);
        QElapsedTimer wall;
        wall.start();
        for (int i = 0; i < 6 && rig.messages.isEmpty(); ++i)
            rig.tick();
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu1);
        const double cpuMs =
            (cpu1.tv_sec - cpu0.tv_sec) * 1e3 + (cpu1.tv_nsec - cpu0.tv_nsec) / 1e6;
        QCOMPARE(rig.messages, QStringList{"Error Time Out"});
        QCOMPARE(rig.logText.size(), 1);
        QVERIFY2(wall.elapsed() < 2000, qPrintable(QString::number(wall.elapsed())));
        QVERIFY2(cpuMs < 0.5 * wall.elapsed() + 20, qPrintable(QString::number(cpuMs)));
    }

    void logFailureIsShownAndTheToolGoesOn() {
        Rig rig;
        rig.link.LogError = [](const std::exception*, const QString&) {
            return QString("Cannot write the error log: disk full");
        };
        rig.choosePort(50);
        rig.connectNow();
        for (int i = 0; i < 6; ++i)
            rig.tick();
        QCOMPARE(rig.messages,
                 (QStringList{"Error Time Out", "Cannot write the error log: disk full"}));
        QVERIFY(rig.link.PortOpen());
    }
};

QTEST_MAIN(TestPollCycle)
#include "test_pollcycle.moc"
