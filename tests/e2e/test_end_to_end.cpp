// The whole program against the virtual detector: the three windows as the
// program builds them, driven through their real controls, with the real poll
// timer talking to a detector-sim process over its pseudo-terminal. Only the
// modal boxes, the file dialogs and the end of the process are replaced by
// recorders; the error log is the real one, written to a temporary folder.

#include "ComSetup.h"
#include "ConfigFile.h"
#include "ConfigView.h"
#include "ErrorLog.h"
#include "EventLog.h"
#include "EventLogView.h"
#include "FindControl.h"
#include "FrameTrace.h"
#include "GraphDrawing.h"
#include "GraphImage.h"
#include "LinkController.h"
#include "LiveView.h"
#include "PanelStatusBar.h"
#include "ProgramWindows.h"
#include "RadioGroup.h"
#include "SaveReport.h"
#include "Shape.h"
#include "SimProcess.h"
#include "SiteBook.h"
#include "StringGrid.h"
#include "Subsystems.h"
#include "TFormWalkTest.h"
#include "TGraphics.h"
#include "TMainForm.h"
#include "TrackBar.h"
#include "UnstoredChangesQuestion.h"
#include "WindowVisits.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSet>
#include <QStandardPaths>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>

namespace {

double ProcessCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// The program as it starts, wired to a fresh simulator of its own.
class Program {
public:
    Program() : sim(dir.path()) {}

    bool Start(const QStringList& simArgs = {}) {
        if (!dir.isValid() || !sim.Start(simArgs))
            return false;
        const QString port = sim.LinkPath();
        windows.emplace(CreateProgramWindows(TMainForm::Wiring::Full,
                                             [port](const auto&) { return QStringList{port}; }));
        form = windows->mainForm.get();
        graph = windows->graphics.get();
        Subsystems* subsystems = form->GetSubsystems();
        if (!subsystems)
            return false;
        link = &subsystems->Link();
        config = &subsystems->Config();
        live = &subsystems->Live();
        // The documented first line of each message, and apart from it the
        // line that names the port and what to check.
        link->ShowMessage = [this](const QString& text) {
            messages << text.section(QLatin1Char('\n'), 0, 0);
            advice << text.section(QLatin1Char('\n'), 1);
        };
        link->LogError = [this](const std::exception* error, const QString& text) {
            std::optional<LoggedError> logged;
            if (error)
                logged = LoggedErrorFrom(*error);
            QString failure;
            WriteErrorLog(
                logged, text,
                ErrorLogTarget{LogPath(), QDateTime::currentDateTime(), QLocale::system()},
                &failure);
            return failure;
        };
        config->ShowMessage = [this](const QString& text) { messages << text; };
        config->ChooseFile = [this](ConfigView::FileDialogKind kind) {
            fileDialogs << kind;
            return chosenFile;
        };
        form->EndProcess = [this](int code) { exits << code; };
        form->show();
        return true;
    }

    template <class T> T* Control(const char* name) const { return FindControl<T>(form, name); }
    QString Text(const char* label) const { return Control<QLabel>(label)->text(); }
    QAction* Action(const char* name) const { return Control<QAction>(name); }
    QString LogPath() const { return dir.filePath("LogError.txt"); }
    QString Panel0() const { return Control<PanelStatusBar>("StatusBar_form")->panelText(0); }

    // The user picks the simulator's port and a receive time-out in the
    // setup dialog, then presses Connect; true once the link is up.
    bool Connect(int timeoutMs = 50) {
        FindControl<QScrollBar>(windows->formCom, "ScrollBar1")->setValue(timeoutMs);
        FindControl<QComboBox>(windows->formCom, "ComboBox1")->setCurrentIndex(0);
        return PressConnect();
    }
    bool PressConnect() {
        QAction* connect = Action("Action2");
        if (!connect->isEnabled() || connect->text() != "Connect")
            return false;
        connect->trigger();
        return connect->text() == "Disconnect" && link->PollingActive();
    }

    // Runs the event loop (and so the poll timer) until `done` or `ms`.
    template <class F> static bool WaitUntil(F done, int ms) {
        QElapsedTimer timer;
        timer.start();
        while (!done()) {
            if (timer.elapsed() > ms)
                return false;
            QTest::qWait(5);
        }
        return true;
    }

    // Live statuses shown while the event loop runs for `ms`, counted through
    // the graph's write position, which wraps at the graph's width.
    int StatusesDuring(int ms) {
        QElapsedTimer timer;
        timer.start();
        int shown = 0;
        int last = live->PointIndex();
        while (timer.elapsed() < ms) {
            QTest::qWait(5);
            const int now = live->PointIndex();
            shown += (now - last + graph->PointCount) % graph->PointCount;
            last = now;
        }
        return shown;
    }

    // Lets `count` more live statuses arrive.
    bool LiveStatuses(int count, int ms = 5000) {
        const int target = live->PointIndex() + count;
        return WaitUntil([&] { return live->PointIndex() >= target; }, ms);
    }

    QTemporaryDir dir;
    SimProcess sim; // declared before the windows: it outlives them
    std::optional<ProgramWindows> windows;
    TMainForm* form = nullptr;
    TGraphics* graph = nullptr;
    LinkController* link = nullptr;
    ConfigView* config = nullptr;
    LiveView* live = nullptr;
    QStringList messages;
    QStringList advice;
    QList<int> exits;
    QString chosenFile;
    QList<ConfigView::FileDialogKind> fileDialogs;
};

// The function names the simulator prints, in the order of the radio items.
int FunctionIndex(const QString& name) {
    return QStringList{"AND", "OR", "AUTO-OR", "MASK", "AUTO-TEST"}.indexOf(name);
}

// The receives of a trace file, each as what it was and its bytes.
QList<QByteArray> TracedReceives(const QString& path) {
    QFile file(path);
    QList<QByteArray> receives;
    if (!file.open(QIODevice::ReadOnly))
        return receives;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() == 4 && fields[1] == "rx")
            receives << fields[2] + '\t' + fields[3];
    }
    return receives;
}

QtMessageHandler g_previousHandler = nullptr;

// The offscreen platform cannot fade a window and says so on every fade
// step; that says nothing about the program.
void DropOpacityWarnings(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.contains("does not support setting window opacity"))
        return;
    g_previousHandler(type, context, text);
}

// A person's ways into the window: a click on an action bar item or on a
// page's tab, and typing a port name into the port setup.
void ClickBarItem(TMainForm* form, const char* action) {
    auto* bar = FindControl<QToolBar>(form, "ActionMainMenuBar1");
    auto* item =
        FindControl<QAction>(bar, (QByteArray("ActionMainMenuBar1_") + action).constData());
    QTest::mouseClick(bar->widgetForAction(item), Qt::LeftButton);
}

void ClickPage(TMainForm* form, int page) {
    QTabBar* tabs = FindControl<QTabWidget>(form, "PageControl1")->tabBar();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(page).center());
}

void TypePort(TMainForm* form, TFormCom* formCom, const QString& port) {
    ClickBarItem(form, "Action3");
    QLineEdit* field = FindControl<QComboBox>(formCom, "ComboBox1")->lineEdit();
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(field, port);
    QTest::mouseClick(FindControl<QPushButton>(formCom, "Button_OK"), Qt::LeftButton);
}

// A detector's configuration in its flash, as the simulator keeps it.
bool WriteFlash(const QString& path, int pir1Range, int pir1Tconv, int pir1Nconv) {
    DetectorConfig c;
    const auto channel = [&c](int ch, int range, int tconv, int nconv, int pulses) {
        const int at = DetectorConfig::ChannelOffset(ch);
        c.Bytes[at] = static_cast<std::uint8_t>(range >> 8);
        c.Bytes[at + 1] = static_cast<std::uint8_t>(range & 0xFF);
        c.Bytes[at + 2] = static_cast<std::uint8_t>(tconv);
        c.Bytes[at + 3] = static_cast<std::uint8_t>(nconv);
        c.Bytes[at + 4] = static_cast<std::uint8_t>(pulses);
    };
    channel(DetectorConfig::ChannelMw, 300, 20, 5, 3);
    channel(DetectorConfig::ChannelPir1, pir1Range, pir1Tconv, pir1Nconv, 4);
    channel(DetectorConfig::ChannelPir2, 100, 20, 5, 3);
    c.Bytes[18] = 160; // PWM duty and period, low byte first
    c.Bytes[20] = 0x40;
    c.Bytes[21] = 0x06;
    c.Bytes[22] = 0x07; // the three technologies enabled
    for (int out = 0; out < DetectorConfig::OutputCount; ++out) {
        c.SetTimeAnd(out, 3000);
        c.SetOutFlag(out, OutEnable, true);
        c.SetOutFlag(out, OutMw, true);
    }
    return QDir().mkpath(QFileInfo(path).path()) && WriteConfigFile(path, c).isEmpty();
}

} // namespace

class TestEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { g_previousHandler = qInstallMessageHandler(DropOpacityWarnings); }
    void cleanupTestCase() { qInstallMessageHandler(g_previousHandler); }
    void connectShowsTheDetectorsConfiguration();
    void liveStatusesMoveTheBarsAndDrawTheGraph();
    void controlChangesAreWrittenAndReadBack();
    void thresholdBelowTheQuietLevelLightsTheLamp();
    void lensChoiceReachesTheDetector();
    void storeToFlashReachesTheDetectorsFlash();
    void savedFileLoadsBackIntoTheDetector();
    void logsPageShowsTheDetectorsEventLog();
    void reportTellsWhatThisConnectionRead();
    void walkTestLatchesAWalkAndGoesInTheReport();
    void realLineTimingStillServesEveryPage();
    void silentDetectorEndsInTimeOutAndIsLogged();
    void badChecksumsNeverEndTheConnection();
    void strayBytesAfterAnAnswerDoNotEndTheConnection();
    void trailingBytesAtLineSpeedKeepStatusesFlowing();
    void noWriteBeforeTheConfigurationIsShown();
    void reportWithAFlippedTypeByteIsDropped();
    void traceRecordsEveryFrameOfTheSession();
    void replayedSessionReceivesWhatWasRecorded();
    void hangUpFailsClearlyThenReconnects();
    void exitClosesThePortAndEndsAfterTheFade();
    void controlsAndReadoutsShowWhatCanAct();
    void unstoredChangesAreAskedAboutOnce();
    void nextDetectorShowsOnlyWhatItHolds();
    void storeAfterTheLinkFailedIsTold();
    void windowVisitGoesToTheSiteBook();
    void unusableSiteBookIsToldOnce();
};

void TestEndToEnd::connectShowsTheDetectorsConfiguration() {
    Program p;
    QVERIFY(p.Start());
    const std::optional<SimSettings> held = p.sim.Settings();
    QVERIFY(held);
    QCOMPARE(p.Panel0(), QString("Disconnect"));
    QVERIFY(!p.Action("Action4")->isEnabled());

    QVERIFY(p.Connect());
    QCOMPARE(p.Panel0(), QString("Connect"));
    QTRY_COMPARE_WITH_TIMEOUT(p.Text("Label_MW_TRange"), QString::number(held->Mw.TRange), 3000);
    // Store To Flash acts on the configuration shown, so it waits for it.
    QVERIFY(p.Action("Action4")->isEnabled());

    const std::pair<const char*, const SimChannel*> channels[] = {
        {"MW", &held->Mw}, {"Pir1", &held->Pir1}, {"Pir2", &held->Pir2}};
    for (const auto& [name, ch] : channels) {
        const QByteArray n(name);
        QCOMPARE(p.Text("Label_" + n + "_TRange"), QString::number(ch->TRange));
        QCOMPARE(p.Text("Label_" + n + "_Tconv"), QString::number(ch->Tconv));
        QCOMPARE(p.Text("Label_" + n + "_Nconv"), QString::number(ch->Nconv));
        QCOMPARE(p.Text("Label_" + n + "_NPulse"), QString::number(ch->NPulse));
        auto* bar = p.Control<TrackBar>("TrackBar_" + n.toUpper() + "_TRange");
        QCOMPARE(bar->maximum() + bar->minimum() - bar->value(), ch->TRange);
        QCOMPARE(p.Control<QScrollBar>("ScrollBar_" + n + "_Nconv")->value(), ch->Nconv);
    }
    const std::pair<const char*, int> flagBoxes[] = {
        {"CheckBox_EN_MW", 0x0001},     {"CheckBox_EN_PIR1", 0x0002},
        {"CheckBox_EN_PIR2", 0x0004},   {"CheckBox_EN_ACC", 0x0010},
        {"CheckBox_EN_TAMPER", 0x0040}, {"CheckBox_EN_LED", 0x0080},
        {"CheckBox_NOISE_MW", 0x0100},  {"CheckBox_EN_TempComp", 0x0800},
        {"CheckBox_AutoTest", 0x8000}};
    for (const auto& [name, bit] : flagBoxes)
        QVERIFY2(p.Control<QCheckBox>(name)->isChecked() == ((held->Flags & bit) != 0), name);
    for (int o = 0; o < 3; ++o) {
        const QByteArray n = QByteArray::number(o + 1);
        const SimOutput& out = held->Outputs[o];
        QCOMPARE(p.Control<QCheckBox>("CheckBox_Out" + n + "Enable")->isChecked(),
                 (out.Flags & 0x01) != 0);
        QCOMPARE(p.Control<QCheckBox>("CheckBox_Out" + n + "Mw")->isChecked(),
                 (out.Flags & 0x02) != 0);
        QCOMPARE(p.Control<RadioGroup>("RadioGroup_FuncOut" + n)->itemIndex(),
                 FunctionIndex(out.Function));
        QCOMPARE(p.Control<RadioGroup>("RadioGroup_NCOut" + n)->itemIndex(),
                 (out.Flags & 0x10) ? 1 : 0);
        QCOMPARE(p.Text("Label_TimeAnd" + n),
                 QString::number(std::lrint(out.TimeAndMs / 1000.0)) + " sec.");
    }
    // Showing what the detector holds writes nothing back.
    QVERIFY(p.LiveStatuses(10));
    QCOMPARE(p.sim.CountUnread("configuration written"), 0);

    // Disconnect lets go of the port; Connect takes it again.
    QVERIFY(p.sim.WaitFor("the tool opened the port"));
    p.Action("Action2")->trigger();
    QCOMPARE(p.Action("Action2")->text(), QString("Connect"));
    QCOMPARE(p.Panel0(), QString("Disconnect"));
    QVERIFY(!p.Action("Action4")->isEnabled());
    QVERIFY(!p.link->PollingActive());
    QVERIFY(p.sim.WaitFor("the tool closed the port"));
    QVERIFY(p.PressConnect());
    QVERIFY(p.sim.WaitFor("the tool opened the port"));
    QVERIFY(p.LiveStatuses(10));
    QVERIFY(p.messages.isEmpty());
}

void TestEndToEnd::liveStatusesMoveTheBarsAndDrawTheGraph() {
    Program p;
    QVERIFY(p.Start());
    const QImage before = p.graph->Screen().copy();
    const char* bars[] = {"ProgressBar1", "ProgressBar2", "ProgressBar3"};
    QSet<int> seen[3];
    for (int c = 0; c < 3; ++c)
        QObject::connect(p.Control<QProgressBar>(bars[c]), &QProgressBar::valueChanged,
                         [&seen, c](int v) { seen[c].insert(v); });
    QCOMPARE(p.live->PointIndex(), 0);
    QVERIFY(p.Connect());
    QVERIFY(p.LiveStatuses(60));
    const int written = p.live->PointIndex();
    for (int c = 0; c < 3; ++c)
        QVERIFY2(seen[c].size() >= 3, bars[c]); // the levels move

    // Each written point of the three traces is drawn in its colour, and the
    // picture differs from the one before connecting.
    const QImage& screen = p.graph->Screen();
    const std::pair<const PointArray*, QColor> traces[] = {
        {&p.graph->Ch1Points, GraphColours::Mw},
        {&p.graph->Ch2Points, GraphColours::Pir1},
        {&p.graph->Ch3Points, GraphColours::Pir2}};
    for (const auto& [points, colour] : traces) {
        int drawn = 0;
        int changed = 0;
        for (int i = 0; i < written; ++i) {
            const GraphPoint pt = (*points)[i];
            drawn += screen.pixelColor(pt.X, pt.Y) == colour;
            changed += before.pixelColor(pt.X, pt.Y) != colour;
        }
        QVERIFY2(drawn >= written * 9 / 10,
                 qPrintable(QString("%1 of %2").arg(drawn).arg(written)));
        QVERIFY(changed > 0);
    }
    QVERIFY(p.messages.isEmpty());
}

void TestEndToEnd::controlChangesAreWrittenAndReadBack() {
    Program p;
    QVERIFY(p.Start());
    const std::optional<SimSettings> held = p.sim.Settings();
    QVERIFY(held);
    QVERIFY(p.Connect());
    QTRY_COMPARE_WITH_TIMEOUT(p.Text("Label_MW_Nconv"), QString::number(held->Mw.Nconv), 3000);

    // A step on the rate bar: the label waits for the detector's answer.
    p.Control<QScrollBar>("ScrollBar_MW_Nconv")
        ->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(p.Text("Label_MW_Nconv"), QString::number(held->Mw.Nconv));
    SimSettings expected = *held;
    expected.Mw.Nconv += 1;
    std::optional<SimSettings> written = p.sim.NextWrite();
    QVERIFY(written);
    QCOMPARE(DescribeSimSettings(*written), DescribeSimSettings(expected));
    QTRY_COMPARE_WITH_TIMEOUT(p.Text("Label_MW_Nconv"), QString::number(expected.Mw.Nconv), 3000);

    // A key on the range slider: one line step along its inverted axis.
    auto* range = p.Control<TrackBar>("TrackBar_PIR2_TRange");
    range->setFocus();
    QTest::keyClick(range, Qt::Key_Up);
    expected.Pir2.TRange = range->maximum() + range->minimum() - range->value();
    QVERIFY(expected.Pir2.TRange != held->Pir2.TRange);
    written = p.sim.NextWrite();
    QVERIFY(written);
    QCOMPARE(DescribeSimSettings(*written), DescribeSimSettings(expected));
    QTRY_COMPARE_WITH_TIMEOUT(p.Text("Label_Pir2_TRange"), QString::number(expected.Pir2.TRange),
                              3000);

    // Disabling an output: its technology box is greyed only once the
    // detector's answer has been shown.
    auto* enable = p.Control<QCheckBox>("CheckBox_Out1Enable");
    QVERIFY(enable->isChecked());
    QTest::mouseClick(enable, Qt::LeftButton, {}, QPoint(8, enable->height() / 2));
    QVERIFY(!enable->isChecked());
    QVERIFY(p.Control<QCheckBox>("CheckBox_Out1Mw")->isEnabled());
    expected.Outputs[0].Flags &= ~0x01;
    written = p.sim.NextWrite();
    QVERIFY(written);
    QCOMPARE(DescribeSimSettings(*written), DescribeSimSettings(expected));
    QTRY_VERIFY_WITH_TIMEOUT(!p.Control<QCheckBox>("CheckBox_Out1Mw")->isEnabled(), 3000);
    QCOMPARE(DescribeSimSettings(*p.sim.Settings()), DescribeSimSettings(expected));
    QVERIFY(p.messages.isEmpty());
}

void TestEndToEnd::thresholdBelowTheQuietLevelLightsTheLamp() {
    Program p;
    QVERIFY(p.Start());
    QVERIFY(p.Connect());
    QVERIFY(p.LiveStatuses(10));
    auto* lamp = p.Control<Shape>("Shape_Mw");
    QCOMPARE(lamp->brushColor(), LiveView::Gray);

    // The lowest range threshold: the detector now sees its own quiet level
    // as a detection, and says so in every status.
    auto* range = p.Control<TrackBar>("TrackBar_MW_TRange");
    range->setFocus();
    QTest::keyClick(range, Qt::Key_End);
    const std::optional<SimSettings> written = p.sim.NextWrite();
    QVERIFY(written);
    QCOMPARE(written->Mw.TRange, range->minimum());
    QTRY_COMPARE_WITH_TIMEOUT(lamp->brushColor(), LiveView::Lime, 3000);
    QCOMPARE(p.Text("Label_MW_TRange"), QString::number(range->minimum()));

    QTest::keyClick(range, Qt::Key_Home);
    QVERIFY(p.sim.NextWrite());
    QTRY_COMPARE_WITH_TIMEOUT(lamp->brushColor(), LiveView::Gray, 3000);
    QCOMPARE(p.Text("Label_MW_TRange"), QString::number(range->maximum()));
    QVERIFY(p.messages.isEmpty());
}

void TestEndToEnd::lensChoiceReachesTheDetector() {
    Program p;
    QVERIFY(p.Start());
    const std::optional<SimSettings> held = p.sim.Settings();
    QVERIFY(held);
    QVERIFY(p.Connect());
    QTRY_COMPARE_WITH_TIMEOUT(p.Text("Label_Pir1_TRange"), QString::number(held->Pir1.TRange),
                              3000);

    auto* lens = p.Control<QComboBox>("ComboBox_Pir1_Lens");
    lens->setFocus();
    QTest::keyClick(lens, Qt::Key_Down);
    QCOMPARE(lens->currentText(), QString("Angle"));
    // The "Angle" lens starts the high PIR at speed 10, rate 8, range 380.
    SimSettings expected = *held;
    expected.Pir1 = {380, 10, 8, held->Pir1.NPulse};
    const std::optional<SimSettings> written = p.sim.NextWrite();
    QVERIFY(written);
    QCOMPARE(DescribeSimSettings(*written), DescribeSimSettings(expected));
    QTRY_COMPARE_WITH_TIMEOUT(p.Text("Label_Pir1_TRange"), QString("380"), 3000);
    QCOMPARE(p.Text("Label_Pir1_Tconv"), QString("10"));
    QCOMPARE(p.Text("Label_Pir1_Nconv"), QString("8"));
    // One choice, one write.
    QVERIFY(p.LiveStatuses(10));
    QCOMPARE(p.sim.CountUnread("configuration written"), 0);
}

void TestEndToEnd::storeToFlashReachesTheDetectorsFlash() {
    Program p;
    QVERIFY(p.Start());
    const std::optional<SimSettings> held = p.sim.Settings();
    QVERIFY(held);
    QVERIFY(p.Connect());
    QVERIFY(p.LiveStatuses(3));
    QVERIFY(!QFile::exists(p.sim.StatePath()));

    p.Action("Action4")->trigger();
    QVERIFY(p.Action("Action4")->isEnabled());
    QVERIFY(p.sim.WaitFor("configuration stored to " + p.sim.StatePath()));
    QFile flash(p.sim.StatePath());
    QVERIFY(flash.open(QIODevice::ReadOnly));
    const QByteArray stored = flash.readAll();
    QCOMPARE(stored.size(), 44);
    // The store request is not part of the configuration the detector keeps.
    QCOMPARE(DescribeSimSettings(*p.sim.Settings()), DescribeSimSettings(*held));

    // The program's own record of that configuration, saved to a file, is the
    // same 44 bytes the detector put in its flash.
    p.chosenFile = p.dir.filePath("flash-copy");
    QVERIFY(p.LiveStatuses(3));
    p.Action("FileSaveAs1")->trigger();
    QCOMPARE(p.fileDialogs, QList<ConfigView::FileDialogKind>{ConfigView::FileDialogKind::Save});
    QFile saved(p.dir.filePath("flash-copy.bin"));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll().toHex(' '), stored.toHex(' '));
    QVERIFY(p.messages.isEmpty());
}

void TestEndToEnd::savedFileLoadsBackIntoTheDetector() {
    Program p;
    QVERIFY(p.Start());
    const std::optional<SimSettings> held = p.sim.Settings();
    QVERIFY(held);
    QVERIFY(p.Connect());
    QTRY_COMPARE_WITH_TIMEOUT(p.Text("Label_MW_Tconv"), QString::number(held->Mw.Tconv), 3000);

    p.chosenFile = p.dir.filePath("site1");
    p.Action("FileSaveAs1")->trigger();
    const QString file = p.dir.filePath("site1.bin");
    QCOMPARE(QFileInfo(file).size(), 44);

    // Change the detector away from the saved state ...
    p.Control<QScrollBar>("ScrollBar_MW_Tconv")
        ->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    std::optional<SimSettings> written = p.sim.NextWrite();
    QVERIFY(written);
    QCOMPARE(written->Mw.Tconv, held->Mw.Tconv + 1);
    QTRY_COMPARE_WITH_TIMEOUT(p.Text("Label_MW_Tconv"), QString::number(held->Mw.Tconv + 1), 3000);

    // ... then load the file: it goes to the detector in one write and comes
    // back on the controls.
    p.chosenFile = file;
    p.Action("FileOpen1")->trigger();
    written = p.sim.NextWrite();
    QVERIFY(written);
    QCOMPARE(DescribeSimSettings(*written), DescribeSimSettings(*held));
    QTRY_COMPARE_WITH_TIMEOUT(p.Text("Label_MW_Tconv"), QString::number(held->Mw.Tconv), 3000);
    QVERIFY(p.LiveStatuses(10));
    QCOMPARE(p.sim.CountUnread("configuration written"), 0);
    QCOMPARE(p.fileDialogs.size(), 2);
    QCOMPARE(p.fileDialogs.last(), ConfigView::FileDialogKind::Open);
    QVERIFY(p.messages.isEmpty());
}

void TestEndToEnd::logsPageShowsTheDetectorsEventLog() {
    Program p;
    QVERIFY(p.Start());
    QVERIFY(p.Connect());
    QVERIFY(p.LiveStatuses(3));
    auto* grid = p.Control<StringGrid>("StringGrid1");
    QCOMPARE(grid->cell(2, 1), QString());

    auto* pages = p.Control<QTabWidget>("PageControl1");
    QTabBar* tabs = pages->tabBar();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
    QCOMPARE(pages->currentIndex(), 1);

    // What the simulated detector logs when nobody walks past.
    const sim::EventLog log = sim::EventLog::Plausible();
    QTRY_COMPARE_WITH_TIMEOUT(grid->cell(2, 1), QString::number(log.At(0).MaxMw), 3000);
    const std::pair<std::uint16_t, QString> firstFlagText[] = {
        {sim::EvMw, "MW"},     {sim::EvUpPir, "UP PIR"},       {sim::EvDownPir, "DOWN PIR"},
        {sim::EvMask, "MASK"}, {sim::EvGenAlarm, "Gen Alarm"}, {sim::EvTamper, "TAMPER"},
        {sim::EvNtc, "NTC"},   {sim::EvLowPower, "LowPower"},  {sim::EvFailMw, "Fail Mw"},
        {sim::EvNone, "---"}};
    for (int k = 0; k < sim::EventCount; ++k) {
        const sim::EventRecord& r = log.At(k);
        const int row = k + 1;
        QString type;
        for (const auto& [bit, text] : firstFlagText) {
            if (r.Flags & bit) {
                type = text;
                break;
            }
        }
        QCOMPARE(grid->cell(1, row), type);
        const int words[] = {r.MaxMw,    r.MaxPirAbove, r.MaxPirUnder, r.MaxMask1,
                             r.MaxMask2, r.NoiseIr1,    r.NoiseIr2};
        for (int w = 0; w < 7; ++w)
            QCOMPARE(grid->cell(2 + w, row), QString::number(words[w]));
        QCOMPARE(grid->cell(9, row), QString::number(r.Ntc) + "°C");
    }

    // While the log is shown no live status is asked for; back on VIEW the
    // graph moves on.
    const int frozen = p.live->PointIndex();
    QTest::qWait(200);
    QCOMPARE(p.live->PointIndex(), frozen);
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(0).center());
    QCOMPARE(pages->currentIndex(), 0);
    QVERIFY(p.LiveStatuses(5));
    QVERIFY(p.messages.isEmpty());
}

void TestEndToEnd::reportTellsWhatThisConnectionRead() {
    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed");
    Program p;
    QVERIFY(p.Start());
    const std::optional<SimSettings> held = p.sim.Settings();
    QVERIFY(held);
    auto* fileMenu = p.Control<QMenu>("File1");
    const QList<QAction*> items = fileMenu->actions();
    const qsizetype at = items.indexOf(p.Action("SaveReport1"));
    QVERIFY(at > 0);
    QCOMPARE(items[at - 1]->objectName(), QString("SaveConfig1"));
    QCOMPARE(items[at]->text(), QString("Save &Report..."));
    emit fileMenu->aboutToShow();
    QVERIFY(!p.Action("SaveReport1")->isEnabled());

    QVERIFY(p.Connect());
    QVERIFY(p.LiveStatuses(3));
    emit fileMenu->aboutToShow();
    QVERIFY(p.Action("SaveReport1")->isEnabled());

    SaveReport& report = p.form->GetSubsystems()->Report();
    QList<QString> shown;
    report.ShowMessage = [&](const QString& text) { shown << text; };
    const QString before = p.dir.filePath("before-log.pdf");
    report.ChooseFile = [&](const QString&) { return before; };
    p.Action("SaveReport1")->trigger();
    auto text = [](const QString& pdf) {
        QProcess run;
        run.start("pdftotext", {"-layout", pdf, "-"});
        run.waitForFinished(30000);
        return QString::fromUtf8(run.readAllStandardOutput());
    };
    QString saved = text(before);
    QVERIFY2(saved.contains(QRegularExpression("Radar\\s+" + QString::number(held->Mw.TRange) +
                                               "\\s+" + QString::number(held->Mw.Nconv))),
             qPrintable(saved));
    QVERIFY(saved.contains("The event log was not read in this session."));

    // The LOGS page reads the log; the next report holds it.
    auto* pages = p.Control<QTabWidget>("PageControl1");
    pages->setCurrentIndex(1);
    const sim::EventLog log = sim::EventLog::Plausible();
    auto* grid = p.Control<StringGrid>("StringGrid1");
    QTRY_COMPARE_WITH_TIMEOUT(grid->cell(2, 1), QString::number(log.At(0).MaxMw), 3000);
    pages->setCurrentIndex(0);
    const QString after = p.dir.filePath("after-log.pdf");
    QVERIFY(report.Save(after));
    saved = text(after);
    QVERIFY2(saved.contains(QRegularExpression("\\b1\\s+" + grid->cell(1, 1) + "\\s+" +
                                               QString::number(log.At(0).MaxMw) + "\\s+" +
                                               QString::number(log.At(0).MaxPirAbove))),
             qPrintable(saved));
    QVERIFY(!saved.contains("The event log was not read"));

    // Reports read, they never write.
    QCOMPARE(p.sim.CountUnread("configuration written"), 0);
    QVERIFY(shown.isEmpty());
    QVERIFY(p.messages.isEmpty());
}

void TestEndToEnd::realLineTimingStillServesEveryPage() {
    Program p;
    // Answers paced as on a real 19200-baud line: the 226-byte log takes
    // about 118 ms, more than twice the shortest time-out, which bounds each
    // wait for more bytes, not the whole answer.
    QVERIFY(p.Start({"--real-timing"}));
    QVERIFY(p.Connect(50));
    QTRY_VERIFY_WITH_TIMEOUT(p.Text("Label_MW_TRange") != "0000", 3000);
    QVERIFY(p.LiveStatuses(10));

    auto* pages = p.Control<QTabWidget>("PageControl1");
    pages->setCurrentIndex(1);
    auto* grid = p.Control<StringGrid>("StringGrid1");
    const sim::EventLog log = sim::EventLog::Plausible();
    const int last = sim::EventCount;
    QTRY_COMPARE_WITH_TIMEOUT(grid->cell(9, last), QString::number(log.At(last - 1).Ntc) + "°C",
                              3000);
    QTest::qWait(500);
    pages->setCurrentIndex(0);
    QVERIFY(p.LiveStatuses(10));
    QVERIFY(p.messages.isEmpty());
    QCOMPARE(p.link->RetryCount(), 0);
}

void TestEndToEnd::silentDetectorEndsInTimeOutAndIsLogged() {
    Program p;
    QVERIFY(p.Start());
    QVERIFY(p.Connect(50));
    QVERIFY(p.LiveStatuses(5));
    // The time-out is moved while connected: the very next requests wait that long.
    const int timeoutMs = 150;
    FindControl<QScrollBar>(p.windows->formCom, "ScrollBar1")->setValue(timeoutMs);

    // Every request from here on starts after the clock does.
    QElapsedTimer timer;
    timer.start();
    QVERIFY(p.sim.Command("fault silent", "ok fault silent"));
    QTRY_VERIFY_WITH_TIMEOUT(!p.messages.isEmpty(), 3000);
    const qint64 elapsed = timer.elapsed();
    QCOMPARE(p.messages, QStringList{"Error Time Out"});
    // Six requests went unanswered, each waiting the time-out in full (one
    // is left out of the bound as room for the clock's rounding).
    QVERIFY2(elapsed >= 5 * timeoutMs, qPrintable(QString::number(elapsed)));
    QCOMPARE(p.Action("Action2")->text(), QString("Connect"));
    QCOMPARE(p.Panel0(), QString("Disconnect"));
    QVERIFY(!p.Action("Action4")->isEnabled());
    QVERIFY(!p.link->PollingActive());
    QVERIFY(p.link->PortOpen());

    QFile log(p.LogPath());
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QString record = QString::fromLocal8Bit(log.readAll());
    QVERIFY2(record.startsWith("Error Time Stamp: "), qPrintable(record));
    QVERIFY2(
        record.endsWith(
            "\r\nError String:   BuffRX[0]= 0 LenRX= 64 message: Timeout during operation\r\n"),
        qPrintable(record));
    QCOMPARE(record.count("Error Time Stamp"), 1);

    // Halted stays halted: no more requests, no more messages.
    const int index = p.live->PointIndex();
    QTest::qWait(200);
    QCOMPARE(p.live->PointIndex(), index);
    QCOMPARE(p.messages.size(), 1);

    // The detector speaks again and Connect brings the live view back.
    QVERIFY(p.sim.Command("fault none", "ok fault none"));
    QVERIFY(p.PressConnect());
    QVERIFY(p.LiveStatuses(5));
    QCOMPARE(p.messages.size(), 1);
}

void TestEndToEnd::badChecksumsNeverEndTheConnection() {
    Program p;
    QVERIFY(p.Start());
    QVERIFY(p.Connect(50));
    QVERIFY(p.LiveStatuses(5));

    QVERIFY(p.sim.Command("fault bad-checksum", "ok fault bad-checksum"));
    QTest::qWait(100); // answers already under way may still be good
    const int index = p.live->PointIndex();
    // Far more than six polls, each answered with a damaged frame.
    QTest::qWait(800);
    QCOMPARE(p.live->PointIndex(), index); // nothing damaged is shown
    QVERIFY(p.messages.isEmpty());
    QVERIFY(p.link->PollingActive());
    QCOMPARE(p.link->RetryCount(), 0);
    QCOMPARE(p.Action("Action2")->text(), QString("Disconnect"));
    QCOMPARE(p.Panel0(), QString("Connect"));

    QVERIFY(p.sim.Command("fault none", "ok fault none"));
    QVERIFY(p.LiveStatuses(5));
    QVERIFY(p.messages.isEmpty());
    QVERIFY(!QFile::exists(p.LogPath()));
}

void TestEndToEnd::strayBytesAfterAnAnswerDoNotEndTheConnection() {
    Program p;
    QVERIFY(p.Start());
    QVERIFY(p.Connect(50));
    QVERIFY(p.LiveStatuses(5));

    // A few answers arrive with three bytes of line noise after them; then
    // the line is clean again and every request is answered properly.
    QVERIFY(p.sim.Command("fault surplus", "ok fault surplus"));
    QVERIFY(Program::WaitUntil([&] { return p.sim.RequestsInMode() >= 1; }, 3000));
    QVERIFY(p.sim.Command("fault none", "ok fault none"));
    QTest::qWait(500);

    // The link must find the frames again instead of taking every answer
    // after the noise for no answer and halting with "Error Time Out".
    QVERIFY2(p.messages.isEmpty(), qPrintable(p.messages.join(" / ")));
    QVERIFY(p.LiveStatuses(5));
}

void TestEndToEnd::trailingBytesAtLineSpeedKeepStatusesFlowing() {
    Program p;
    // Every answer is followed by three bytes of noise that are still on the
    // wire when the answer itself is complete.
    QVERIFY(p.Start({"--real-timing", "--fault", "surplus"}));
    const std::optional<SimSettings> held = p.sim.Settings();
    QVERIFY(held);
    QVERIFY(p.Connect(50));
    QTRY_COMPARE_WITH_TIMEOUT(p.Text("Label_MW_TRange"), QString::number(held->Mw.TRange), 3000);
    // The line carries at most 26 statuses a second; a link that lost the
    // frames would halt within a second or two. The bound leaves room for a
    // loaded machine.
    const int shown = p.StatusesDuring(10000);
    qInfo("%d live statuses in 10 s with trailing bytes", shown);
    QVERIFY2(shown >= 100, qPrintable(QString::number(shown)));
    QVERIFY2(p.messages.isEmpty(), qPrintable(p.messages.join(" / ")));
    QVERIFY(p.link->PollingActive());
}

void TestEndToEnd::noWriteBeforeTheConfigurationIsShown() {
    Program p;
    // The configuration answers after Connect are damaged: the controls hold
    // nothing the detector said.
    QVERIFY(p.Start({"--fault", "bad-checksum"}));
    const std::optional<SimSettings> held = p.sim.Settings();
    QVERIFY(held);
    QVERIFY(p.Connect(50));
    QTest::qWait(300);
    p.Control<QCheckBox>("CheckBox_EN_LED")->click();
    auto* tconv = p.Control<QScrollBar>("ScrollBar_Pir1_Tconv");
    tconv->setValue(tconv->value() + 1);
    p.Action("Action4")->trigger();
    QTest::qWait(300);
    QCOMPARE(p.sim.CountUnread("configuration written"), 0);
    QCOMPARE(p.sim.CountUnread("configuration stored"), 0);
    QVERIFY(p.sim.Settings() == held);

    // Once the detector's own configuration is on screen, changes are
    // written as usual.
    QVERIFY(p.sim.Command("fault none", "ok fault none"));
    QTRY_COMPARE_WITH_TIMEOUT(p.Text("Label_MW_TRange"), QString::number(held->Mw.TRange), 3000);
    QCOMPARE(p.Control<QCheckBox>("CheckBox_EN_LED")->isChecked(), (held->Flags & 0x0080) != 0);
    QVERIFY(p.LiveStatuses(5));
    p.Control<QCheckBox>("CheckBox_EN_LED")->click();
    const std::optional<SimSettings> written = p.sim.NextWrite();
    QVERIFY(written);
    QCOMPARE(written->Flags ^ held->Flags, 0x0080);
    QVERIFY(p.messages.isEmpty());
}

void TestEndToEnd::reportWithAFlippedTypeByteIsDropped() {
    Program p;
    QVERIFY(p.Start());
    const std::optional<SimSettings> held = p.sim.Settings();
    QVERIFY(held);
    QVERIFY(p.Connect(50));
    QTRY_COMPARE_WITH_TIMEOUT(p.Text("Label_MW_TRange"), QString::number(held->Mw.TRange), 3000);
    QVERIFY(p.LiveStatuses(5));
    const char* labels[] = {"Label_MW_TRange",   "Label_Pir1_TRange", "Label_Pir2_TRange",
                            "Label_Pir1_Tconv",  "Label_TimeAnd1",    "Label_TimeAnd2",
                            "Label_Pir2_NPulse", "Label_MW_Nconv"};
    QStringList before;
    for (const char* label : labels)
        before << p.Text(label);

    // Live statuses arrive with type 9: perfect frames but for that byte.
    QVERIFY(p.sim.Command("fault type9", "ok fault type9"));
    QTest::qWait(100); // answers already under way may still be good
    const int index = p.live->PointIndex();
    QTest::qWait(500);
    QStringList during;
    for (const char* label : labels)
        during << p.Text(label);
    QCOMPARE(during, before);
    QCOMPARE(p.live->PointIndex(), index);
    QCOMPARE(p.link->RetryCount(), 0); // dropped, not counted
    QCOMPARE(p.sim.CountUnread("configuration written"), 0);

    QVERIFY(p.sim.Command("fault none", "ok fault none"));
    QVERIFY(p.LiveStatuses(5));
    QVERIFY(p.messages.isEmpty());
}

void TestEndToEnd::traceRecordsEveryFrameOfTheSession() {
    Program p;
    QVERIFY(p.Start());
    FrameTrace trace;
    const QString path = p.dir.filePath("trace.txt");
    QCOMPARE(trace.Open(path), QString());
    AttachFrameTrace(*p.windows, trace);
    QVERIFY(p.Connect(50));
    QVERIFY(p.LiveStatuses(3));
    p.Control<QCheckBox>("CheckBox_EN_LED")->click();
    QVERIFY(p.sim.NextWrite());
    QVERIFY(p.LiveStatuses(2));
    p.Action("Action4")->trigger();
    QVERIFY(p.sim.WaitFor("configuration stored"));
    QVERIFY(p.LiveStatuses(2));

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QStringList kinds;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.isEmpty())
            continue;
        const QList<QByteArray> fields = line.split('\t');
        QCOMPARE(fields.size(), 4);
        QVERIFY2(QDateTime::fromString(QString(fields[0]), "yyyy-MM-dd HH:mm:ss.zzz").isValid(),
                 line.constData());
        kinds << QString(fields[1] + ' ' + fields[2]);
        if (kinds.size() == 1)
            QCOMPARE(fields[3], QByteArray("02 00 01 09 F7 03"));
    }
    QCOMPARE(kinds.mid(0, 4),
             (QStringList{"tx request 09", "rx report 9", "tx request 08", "rx report 8"}));
    // A write goes out alone and is read back before live statuses resume.
    const int write = int(kinds.indexOf("tx write"));
    QVERIFY(write > 0);
    QCOMPARE(kinds.mid(write, 3), (QStringList{"tx write", "tx request 09", "rx report 9"}));
    const int store = int(kinds.indexOf("tx store write"));
    QVERIFY(store > write);
    QCOMPARE(kinds.mid(store, 3), (QStringList{"tx store write", "tx request 09", "rx report 9"}));
    QVERIFY(p.messages.isEmpty());
}

void TestEndToEnd::replayedSessionReceivesWhatWasRecorded() {
    QTemporaryDir traces;
    const QString recorded = traces.filePath("recorded.txt");
    {
        Program p;
        QVERIFY(p.Start());
        FrameTrace trace;
        QCOMPARE(trace.Open(recorded), QString());
        AttachFrameTrace(*p.windows, trace);
        // A time-out long beside the simulator's answers to its commands,
        // so that a failing mode gives only a few time-outs in a row.
        QVERIFY(p.Connect(100));
        QVERIFY(p.LiveStatuses(5));
        QVERIFY(p.sim.Command("walk", "ok walk"));
        QVERIFY(p.LiveStatuses(40));
        // A fault phase, each mode until two more receives are traced (one
        // answer may have been under way), the accepted odd types between the
        // failures keeping the time-outs in a row below the limit of six.
        for (const char* fault : {"bad-checksum", "short", "type11", "silent", "type7"}) {
            QVERIFY(p.sim.Command(QString("fault ") + fault, "ok fault"));
            const qsizetype before = TracedReceives(recorded).size();
            QVERIFY(Program::WaitUntil(
                [&] { return TracedReceives(recorded).size() >= before + 2; }, 3000));
        }
        QVERIFY(p.sim.Command("fault none", "ok fault none"));
        QVERIFY(p.LiveStatuses(5));
        p.Action("Action2")->trigger(); // Disconnect
        QVERIFY(p.messages.isEmpty());
    }
    const QList<QByteArray> expected = TracedReceives(recorded);
    QSet<QByteArray> kinds;
    for (const QByteArray& receive : expected)
        kinds << receive.left(receive.indexOf('\t'));
    for (const char* kind : {"report 9", "report 8", "malformed", "no answer (0 bytes)",
                             "no answer (32 bytes)", "report 11", "report 7"})
        QVERIFY2(kinds.contains(kind), kind);

    Program r;
    QVERIFY(r.Start({"--replay", recorded}));
    FrameTrace trace;
    const QString replayed = traces.filePath("replayed.txt");
    QCOMPARE(trace.Open(replayed), QString());
    AttachFrameTrace(*r.windows, trace);
    // A long wait: the replay adds this machine's own latency to each
    // recorded one, and a slow answer must not become a missing one.
    QVERIFY(r.Connect(300));
    QVERIFY(Program::WaitUntil([&] { return TracedReceives(replayed).size() >= expected.size(); },
                               30000));
    const QList<QByteArray> got = TracedReceives(replayed);
    for (qsizetype i = 0; i < expected.size(); ++i)
        QCOMPARE(got[i], expected[i]);
    // Then the recording is used up and the detector falls silent.
    QVERIFY(r.sim.WaitFor("request 08: no recorded answer left"));
}

// A walk played by the detector, seen in the Walk Test window as the poll
// delivers it; Save Report takes it; a lost link stops it and marks the row
// still set; the next connection's report has no walk test of its own.
void TestEndToEnd::walkTestLatchesAWalkAndGoesInTheReport() {
    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed");
    Program p;
    QVERIFY(p.Start({"--walk-every", "0", "--hangup-ms", "300"}));
    QVERIFY(p.Connect());
    QVERIFY(p.LiveStatuses(3));
    p.Action("WalkTest1")->trigger();
    TFormWalkTest& window = p.form->GetSubsystems()->WalkTestWindow();
    QVERIFY(window.isVisible());
    auto* table = FindControl<QTableWidget>(&window, "Table_Events");
    QTest::mouseClick(FindControl<QPushButton>(&window, "Button_Start"), Qt::LeftButton);
    QVERIFY(p.sim.Command("play quiet:200 mw:300 quiet:200 pir2+out1:400 quiet:100 out3:60000",
                          "ok play"));
    const auto rows = [table] {
        int n = 0;
        while (n < table->rowCount() && table->item(n, 1) && !table->item(n, 1)->text().isEmpty())
            ++n;
        return n;
    };
    QTRY_COMPARE_WITH_TIMEOUT(rows(), 4, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(table->item(1, 2)->text() != "set", 3000);
    QCOMPARE(table->item(0, 1)->text(), QString("MW"));
    QCOMPARE(table->item(3, 1)->text(), QString("Out #3"));
    QCOMPARE(table->item(3, 2)->text(), QString("set"));
    // The graph went on with every status.
    QVERIFY(p.LiveStatuses(3));

    auto text = [](const QString& pdf) {
        QProcess run;
        run.start("pdftotext", {"-layout", pdf, "-"});
        run.waitForFinished(30000);
        return QString::fromUtf8(run.readAllStandardOutput());
    };
    SaveReport& report = p.form->GetSubsystems()->Report();
    const QString walked = p.dir.filePath("walked.pdf");
    QVERIFY(report.Save(walked));
    const QString saved = text(walked);
    QVERIFY2(saved.contains(QRegularExpression(
                 "Count per name:\\s+MW 1, Pir Down Under 1, Out #1 1, Out #3 1")),
             qPrintable(saved));

    QVERIFY(p.sim.Command("hangup", "ok hangup"));
    QTRY_VERIFY_WITH_TIMEOUT(!window.Test().Running(), 3000);
    QCOMPARE(rows(), 4);
    QVERIFY2(table->item(3, 2)->text().startsWith("link lost at "),
             qPrintable(table->item(3, 2)->text()));
    QVERIFY(window.Test().LinkLostMs());

    QVERIFY(p.sim.WaitFor("is back", 4000));
    QVERIFY(p.PressConnect());
    QVERIFY(p.LiveStatuses(3));
    const QString next = p.dir.filePath("next.pdf");
    QVERIFY(report.Save(next));
    QVERIFY(text(next).contains("No walk test was run on this connection."));
    QCOMPARE(p.sim.CountUnread("configuration written"), 0);
}

void TestEndToEnd::hangUpFailsClearlyThenReconnects() {
    Program p;
    QVERIFY(p.Start({"--hangup-ms", "2500"}));
    const std::optional<SimSettings> held = p.sim.Settings();
    QVERIFY(held);
    // A long time-out: a link that spun on the dead line instead of noticing
    // the hang-up would burn all of it.
    QVERIFY(p.Connect(200));
    QVERIFY(p.LiveStatuses(5));

    const double cpuBefore = ProcessCpuMs();
    QElapsedTimer wall;
    wall.start();
    QVERIFY(p.sim.Command("hangup", "ok hangup"));
    QTRY_VERIFY_WITH_TIMEOUT(!p.messages.isEmpty(), 3000);
    QTest::qWait(300);
    const double cpuMs = ProcessCpuMs() - cpuBefore;
    const qint64 wallMs = wall.elapsed();
    QVERIFY2(!p.sim.Output().contains("is back"), "the failure took longer than the hang-up");
    QVERIFY2(cpuMs < 0.5 * wallMs,
             qPrintable(QString("%1 ms CPU in %2 ms").arg(cpuMs).arg(wallMs)));

    // The failure is told once, the poll stops, the window says so, and the
    // log tells why: the port's own error, not a plain time-out.
    QCOMPARE(p.messages, QStringList{"Error Time Out"});
    QVERIFY(!p.link->PollingActive());
    QCOMPARE(p.Action("Action2")->text(), QString("Connect"));
    QCOMPARE(p.Panel0(), QString("Disconnect"));
    QVERIFY(!p.Action("Action4")->isEnabled());
    QFile log(p.LogPath());
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QString record = QString::fromLocal8Bit(log.readAll());
    QVERIFY2(record.contains(" message: " + QString::fromLocal8Bit(std::strerror(EIO))),
             qPrintable(record));

    // Connect while the detector is still away: the system's reason, no link.
    QVERIFY(!p.PressConnect());
    QCOMPARE(p.messages.size(), 2);
    QCOMPARE(p.messages[1], QString::fromLocal8Bit(std::strerror(ENOENT)));
    QCOMPARE(p.Action("Action2")->text(), QString("Connect"));
    QVERIFY(!p.link->PollingActive());

    // Once it is back under the same name, Connect opens it anew.
    QVERIFY(p.sim.WaitFor("is back", 4000));
    QVERIFY(p.PressConnect());
    QVERIFY(p.LiveStatuses(10));
    QCOMPARE(p.messages.size(), 2);
    QCOMPARE(p.Text("Label_MW_TRange"), QString::number(held->Mw.TRange));
    QCOMPARE(p.Panel0(), QString("Connect"));
}

void TestEndToEnd::exitClosesThePortAndEndsAfterTheFade() {
    Program p;
    QVERIFY(p.Start({"--walk-every", "0"}));
    QVERIFY(p.Connect());
    QVERIFY(p.LiveStatuses(3));
    QVERIFY(p.sim.WaitFor("the tool opened the port"));
    // A walk test with a flag still set: Exit ends it as Stop does, the
    // link did not fail.
    TFormWalkTest& walk = p.form->GetSubsystems()->WalkTestWindow();
    walk.Button_StartClick();
    QVERIFY(p.sim.Command("play out3:60000", "ok play"));
    QTRY_COMPARE_WITH_TIMEOUT(walk.Test().Events().size(), std::size_t(1), 3000);

    p.Action("Action1")->trigger();
    QVERIFY(!walk.Test().Running());
    QVERIFY(walk.Test().Events()[0].Unfinished);
    QVERIFY(!walk.Test().LinkLostMs());
    QVERIFY(!p.link->HasPort());
    QVERIFY(!p.link->PollingActive());
    QVERIFY(p.exits.isEmpty()); // the window fades out first
    QTRY_COMPARE_WITH_TIMEOUT(p.exits, QList<int>{0}, 3000);
    QCOMPARE(p.form->AppliedAlpha(), 5);
    QVERIFY(p.sim.WaitFor("the tool closed the port"));
    QVERIFY(p.messages.isEmpty());
}

// A control that cannot reach the detector looks disabled, and a reading
// that is no longer live looks greyed; each control keeps its own enabling
// underneath.
void TestEndToEnd::controlsAndReadoutsShowWhatCanAct() {
    Program p;
    QVERIFY(p.Start({"--fault", "bad-checksum"}));
    const char* const controls[] = {
        "TrackBar_MW_TRange", "ScrollBar_Pir1_Tconv", "ScrollBar_Pir2_NPulse", "ComboBox_Pir1_Lens",
        "CheckBox_EN_LED",    "CheckBox_Out1Mw",      "Label_MW_TRange"};
    const char* const readouts[] = {"ProgressBar1", "Shape_Mw", "Shape_Out1State",
                                    "ProgressBar_Temperatura", "Label_Acc_X"};
    const auto enabled = [&](const auto& names) {
        QStringList on;
        for (const char* name : names)
            if (p.Control<QWidget>(name)->isEnabled())
                on << name;
        return on;
    };
    const QStringList allControls{std::begin(controls), std::end(controls)};
    const QStringList allReadouts{std::begin(readouts), std::end(readouts)};
    auto* status = p.Control<PanelStatusBar>("StatusBar_form");
    const auto actions = [&] {
        return QList<bool>{p.Action("Action4")->isEnabled(), p.Action("FileOpen1")->isEnabled(),
                           p.Action("FileSaveAs1")->isEnabled()};
    };

    // Before Connect, and while the detector's configuration cannot be read.
    QCOMPARE(enabled(controls), QStringList());
    QCOMPARE(enabled(readouts), QStringList());
    QVERIFY(!p.graph->imgScreen->isEnabled());
    QCOMPARE(actions(), (QList<bool>{false, false, false}));
    QVERIFY(p.Connect(50));
    QCOMPARE(status->panelText(LinkController::PortPanel), p.sim.LinkPath());
    QTest::qWait(300);
    QCOMPARE(enabled(controls), QStringList());
    QCOMPARE(actions(), (QList<bool>{false, false, false}));

    // The configuration shown: every control as the record has it (Out #3
    // is an auto-test output, whose technology boxes stay disabled).
    QVERIFY(p.sim.Command("fault none", "ok fault none"));
    QVERIFY(p.LiveStatuses(3));
    QCOMPARE(enabled(controls), allControls);
    QCOMPARE(enabled(readouts), allReadouts);
    QVERIFY(p.graph->imgScreen->isEnabled());
    QVERIFY(!p.Control<QCheckBox>("CheckBox_Out3Mw")->isEnabled());
    QCOMPARE(actions(), (QList<bool>{true, true, true}));

    // A link failure: nothing acts and nothing looks live, and the record
    // of that detector can still be saved.
    QVERIFY(p.sim.Command("fault silent", "ok fault silent"));
    QTRY_COMPARE_WITH_TIMEOUT(p.messages, QStringList{"Error Time Out"}, 3000);
    QCOMPARE(enabled(controls), QStringList());
    QCOMPARE(enabled(readouts), QStringList());
    QVERIFY(!p.graph->imgScreen->isEnabled());
    QCOMPARE(actions(), (QList<bool>{false, false, true}));
    QCOMPARE(status->panelText(LinkController::PortPanel),
             p.sim.LinkPath()); // the port that failed
    QVERIFY(!p.Control<QCheckBox>("CheckBox_Out1Mw")->testAttribute(Qt::WA_ForceDisabled));
    QVERIFY(p.Control<QCheckBox>("CheckBox_Out3Mw")->testAttribute(Qt::WA_ForceDisabled));

    // The next live status brings the readouts back.
    QVERIFY(p.sim.Command("fault none", "ok fault none"));
    QVERIFY(p.PressConnect());
    QVERIFY(p.LiveStatuses(2));
    QCOMPARE(enabled(readouts), allReadouts);
    QCOMPARE(enabled(controls), allControls);
}

// Leaving a detector that holds changes not stored in its flash asks once:
// Cancel stays, Leave Unstored goes on without storing, Store To Flash stores
// and goes on once the detector's configuration has been read back.
void TestEndToEnd::unstoredChangesAreAskedAboutOnce() {
    Program p;
    QVERIFY(p.Start());
    QList<UnstoredChangesQuestion::Answer> answers;
    QList<bool> asked; // whether Store To Flash was offered
    p.form->GetSubsystems()->UnstoredQuestion().Ask = [&](const QString&, bool canStore) {
        asked << canStore;
        return answers.isEmpty() ? UnstoredChangesQuestion::Answer::Cancel : answers.takeFirst();
    };
    auto* status = p.Control<PanelStatusBar>("StatusBar_form");
    const auto change = [&] {
        p.Control<QCheckBox>("CheckBox_EN_LED")->click();
        return p.sim.NextWrite().has_value();
    };
    const auto disconnect = [&] { p.Action("Action2")->trigger(); };
    const auto connected = [&] { return p.Action("Action2")->text() == "Disconnect"; };

    // Nothing changed: Disconnect asks nothing.
    QVERIFY(p.Connect());
    QVERIFY(p.LiveStatuses(3));
    disconnect();
    QVERIFY(!connected());
    QVERIFY(asked.isEmpty());

    QVERIFY(p.PressConnect());
    QVERIFY(p.LiveStatuses(3));
    QVERIFY(change());
    QVERIFY(p.LiveStatuses(2));
    disconnect(); // Cancel
    QCOMPARE(asked, QList<bool>{true});
    QVERIFY(connected());
    answers << UnstoredChangesQuestion::Answer::LeaveUnstored;
    disconnect();
    QCOMPARE(asked.size(), 2);
    QVERIFY(!connected());
    QCOMPARE(p.sim.CountUnread("configuration stored"), 0);

    // The port setup leaves no detector and asks nothing; the store panel
    // says the change is not stored, as the question does.
    QVERIFY(p.PressConnect());
    QVERIFY(p.LiveStatuses(3));
    QVERIFY(change());
    QVERIFY(p.LiveStatuses(2));
    QVERIFY(status->panelText(5).startsWith("Unstored since "));
    p.Action("Action3")->trigger();
    QCOMPARE(asked.size(), 2);
    QVERIFY(p.windows->formCom->isVisible());
    p.windows->formCom->hide();

    // Stored, then disconnected once the store is confirmed on screen.
    answers << UnstoredChangesQuestion::Answer::StoreToFlash;
    disconnect();
    QCOMPARE(asked.size(), 3);
    QVERIFY(connected()); // not before the store is done
    QVERIFY(p.sim.WaitFor("configuration stored to " + p.sim.StatePath()));
    QTRY_VERIFY_WITH_TIMEOUT(!connected(), 3000);
    QVERIFY(status->panelText(5).startsWith("Stored to flash "));
    QVERIFY(p.messages.isEmpty());
}

// Going from one detector to the next, the window shows only what the next
// one holds: the LOGS page is cleared at Connect and reads its log without a
// page change, the lens lists go back to "User" so nothing clamps the next
// detector's settings, and every stale readout looks stale meanwhile.
void TestEndToEnd::nextDetectorShowsOnlyWhatItHolds() {
    Program p;
    QVERIFY(p.Start());
    QTemporaryDir otherDir;
    SimProcess other(otherDir.path());
    // Outside the ranges of the "Horizontal Curtain" lens (speed up to 27,
    // rate up to 12, threshold up to 440).
    QVERIFY(WriteFlash(other.StatePath(), 600, 40, 3));
    QVERIFY(other.Start());
    auto* grid = p.Control<StringGrid>("StringGrid1");
    auto* lens = p.Control<QComboBox>("ComboBox_Pir1_Lens");
    auto* thresholdLabel = p.Control<QLabel>("Label_Pir1_TRange");
    const auto gridEmpty = [&] {
        for (int row = 1; row < grid->rowCount(); ++row)
            for (int col = 1; col < grid->columnCount(); ++col)
                if (!grid->cell(col, row).isEmpty())
                    return false;
        return true;
    };

    // Detector A: a lens chosen for the high PIR, then its event log read.
    QVERIFY(p.Connect());
    QVERIFY(p.LiveStatuses(3));
    lens->setFocus();
    QTest::keyClick(lens, Qt::Key_Down);
    QTest::keyClick(lens, Qt::Key_Down);
    QCOMPARE(lens->currentText(), QString("Horizontal Curtain"));
    QVERIFY(p.sim.NextWrite());
    ClickPage(p.form, 1);
    QTRY_VERIFY_WITH_TIMEOUT(!gridEmpty(), 3000);
    QVERIFY(grid->isEnabled());

    // Disconnect, leaving the lens's writes unstored: the table greys like
    // every other readout.
    p.form->GetSubsystems()->UnstoredQuestion().Ask = [](const QString&, bool) {
        return UnstoredChangesQuestion::Answer::LeaveUnstored;
    };
    ClickBarItem(p.form, "Action2");
    QCOMPARE(p.Action("Action2")->text(), QString("Connect"));
    QVERIFY(!grid->isEnabled());
    QVERIFY(!thresholdLabel->isEnabled());

    // Detector C, connected while LOGS is shown: nothing of A's log is left,
    // and C's log comes without a page change.
    TypePort(p.form, p.windows->formCom, other.LinkPath());
    ClickBarItem(p.form, "Action2");
    QCOMPARE(p.Action("Action2")->text(), QString("Disconnect"));
    QVERIFY(gridEmpty());
    QVERIFY(!grid->isEnabled());
    QVERIFY(!thresholdLabel->isEnabled()); // the configuration is still being read
    QVERIFY(!p.Control<TrackBar>("TrackBar_PIR1_TRange")->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(grid->isEnabled() && !gridEmpty(), 3000);
    QCOMPARE(p.Control<QTabWidget>("PageControl1")->currentIndex(), 1);

    // The lens lists read "User" and C's settings stand unclamped.
    QCOMPARE(lens->currentText(), QString("User"));
    QCOMPARE(p.Control<QComboBox>("ComboBox_Pir2_Lens")->currentText(), QString("User"));
    QVERIFY(thresholdLabel->isEnabled());
    QCOMPARE(thresholdLabel->text(), QString("600"));
    const std::optional<SimSettings> held = other.Settings();
    QVERIFY(held);
    QCOMPARE(held->Pir1, (SimChannel{600, 40, 3, 4}));
    ClickPage(p.form, 0);
    auto* pulses = p.Control<QScrollBar>("ScrollBar_MW_NPulse");
    pulses->setFocus();
    QTest::keyClick(pulses, pulses->value() < pulses->maximum() ? Qt::Key_Right : Qt::Key_Left);
    const std::optional<SimSettings> written = other.NextWrite();
    QVERIFY(written);
    QCOMPARE(written->Pir1, held->Pir1);
    QVERIFY(written->Mw.NPulse != held->Mw.NPulse);
    QVERIFY(p.messages.isEmpty());
}

// Store To Flash is offered only while the link is up; chosen after the link
// failed it says that nothing was stored. The store panel, the question and
// the report agree with what happened.
void TestEndToEnd::storeAfterTheLinkFailedIsTold() {
    Program p;
    QVERIFY(p.Start());
    auto* status = p.Control<PanelStatusBar>("StatusBar_form");
    QVERIFY(p.Connect());
    QVERIFY(p.LiveStatuses(3));
    auto* led = p.Control<QCheckBox>("CheckBox_EN_LED");
    led->setFocus();
    QTest::keyClick(led, Qt::Key_Space);
    QVERIFY(p.sim.NextWrite());
    QVERIFY(p.LiveStatuses(2));
    QVERIFY(status->panelText(5).startsWith("Unstored since "));

    // The real question: the link fails while it is open, and the store
    // choice goes from it.
    QStringList before, after;
    QString afterText;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        const auto shown = [box] {
            QStringList texts;
            for (QAbstractButton* b : box->buttons())
                if (b->isVisible())
                    texts << b->text();
            return texts;
        };
        before = shown();
        p.sim.Command("fault silent", "ok fault silent");
        Program::WaitUntil([&] { return !p.messages.isEmpty(); }, 3000);
        after = shown();
        afterText = box->text();
        box->reject();
    });
    ClickBarItem(p.form, "Action2");
    QVERIFY2(before.contains("Store To Flash"), qPrintable(before.join('|')));
    QCOMPARE(p.messages, QStringList{"Error Time Out"});
    QVERIFY2(!after.contains("Store To Flash") && after.contains("Leave Unstored"),
             qPrintable(after.join('|')));
    QVERIFY(afterText.contains("can no longer be stored"));

    // Chosen anyway (a question answered as the link went): told, and still
    // unstored.
    Subsystems& subsystems = *p.form->GetSubsystems();
    subsystems.UnstoredQuestion().Ask = [](const QString&, bool) {
        return UnstoredChangesQuestion::Answer::StoreToFlash;
    };
    subsystems.UnstoredQuestion().Confirm([] {}, "exits");
    QCOMPARE(p.messages.size(), 2);
    QVERIFY2(p.messages[1].startsWith("Store To Flash did not complete: the link to the detector "
                                      "is down"),
             qPrintable(p.messages[1]));
    QVERIFY(p.config->Unstored().Any());
    QVERIFY(status->panelText(5).startsWith("Unstored since "));
    QCOMPARE(status->panelText(LinkController::PortPanel), p.sim.LinkPath());
    QVERIFY(p.advice[0].contains(p.sim.LinkPath()));

    // The report of the detector just seen is still there, says when the
    // link was lost, and is offered under a name from the date and time.
    SaveReport& report = subsystems.Report();
    QVERIFY(report.Available());
    QVERIFY(report.Facts().LinkLost.isValid());
    QString suggested;
    const QString target = p.dir.filePath("site.pdf");
    report.ChooseFile = [&](const QString& name) {
        suggested = name;
        return target;
    };
    report.SaveReport1Execute();
    QVERIFY2(QRegularExpression("^report-\\d{4}-\\d{2}-\\d{2}-\\d{4}\\.pdf$")
                 .match(suggested)
                 .hasMatch(),
             qPrintable(suggested));
    QVERIFY(QFile::exists(target));
    QCOMPARE(status->panelText(LinkController::NewsPanel),
             "Saved to " + QDir::toNativeSeparators(target));
    // So do the configuration file and the event log's export.
    p.chosenFile = p.dir.filePath("site.bin");
    p.Action("FileSaveAs1")->trigger();
    QCOMPARE(status->panelText(LinkController::NewsPanel),
             "Saved to " + QDir::toNativeSeparators(p.chosenFile));
    subsystems.EventLog().ChooseFile = [&] { return p.dir.filePath("log.csv"); };
    subsystems.EventLog().ExportCsv1->trigger();
    QCOMPARE(status->panelText(LinkController::NewsPanel),
             "Saved to " + QDir::toNativeSeparators(p.dir.filePath("log.csv")));

    // Connecting to another port leaves that detector: asked, in words
    // that say so.
    QString asked;
    subsystems.UnstoredQuestion().Ask = [&](const QString& text, bool canStore) {
        asked = text;
        return canStore ? UnstoredChangesQuestion::Answer::StoreToFlash
                        : UnstoredChangesQuestion::Answer::Cancel;
    };
    TypePort(p.form, p.windows->formCom, p.dir.filePath("elsewhere"));
    QCOMPARE(status->panelText(LinkController::PortPanel), QString()); // another port chosen
    ClickBarItem(p.form, "Action2");
    QVERIFY2(asked.contains("Leave Unstored connects to " + p.dir.filePath("elsewhere")),
             qPrintable(asked));
    QCOMPARE(p.Action("Action2")->text(), QString("Connect")); // cancelled
}

QTEST_MAIN(TestEndToEnd)
#include "test_end_to_end.moc"

// A named detector whose last visit left other settings is reported at
// Connect; then Connect, one change, Store To Flash, Disconnect: the visit is
// in the book as it went.
void TestEndToEnd::windowVisitGoesToTheSiteBook() {
    Program p;
    QVERIFY(p.Start({"--walk-every", "0"}));
    SiteBookLocation location = ResolveSiteBookLocation(p.dir.filePath("book.sqlite"));
    AttachSiteBook(*p.windows, location);
    WindowVisits* visits = p.form->GetSubsystems()->Visits();
    QVERIFY(visits);
    QStringList failures, changes;
    visits->ShowFailure = [&](const QString& text) { failures << text; };
    visits->ShowChanged = [&](const QString& text, const QString& details) {
        changes << text << details;
    };
    p.windows->formCom->SetNames("Depot", "Gate 3");
    QCOMPARE(p.Control<PanelStatusBar>("StatusBar_form")->panelText(WindowVisits::NamesPanel),
             QString("Site: Depot   Detector: Gate 3"));

    // A first look, ended by Disconnect.
    QVERIFY(p.Connect());
    QVERIFY(p.LiveStatuses(3));
    SiteBook reader(location);
    QList<Visit> list;
    QVERIFY2(reader.History({}, list), qPrintable(reader.Error()));
    QCOMPARE(list.size(), 1);
    QVERIFY(!list[0].Ended()); // in the book from the first read on
    p.Action("Action2")->trigger();
    QVERIFY(changes.isEmpty());

    // A colleague's later visit left the LED off (or on): the detector now
    // differs from it in that one setting.
    Visit colleague = list[0];
    colleague.id = "00000000-0000-4000-8000-000000000001";
    colleague.started = QDateTime::currentDateTimeUtc();
    colleague.ended = colleague.started.addSecs(60);
    colleague.outcome = VisitOutcome::Ok;
    colleague.left[22] = char(colleague.left[22] ^ 0x80);
    QVERIFY(reader.Save(colleague));

    QVERIFY(p.PressConnect());
    QTRY_COMPARE_WITH_TIMEOUT(changes.size(), 2, 3000);
    QCOMPARE(changes[0], ChangedSinceText(colleague.ended, 1));
    QVERIFY2(changes[1].startsWith("Led ON: detector "), qPrintable(changes[1]));

    p.Control<QCheckBox>("CheckBox_EN_LED")->click();
    QVERIFY(p.sim.NextWrite().has_value());
    QVERIFY(p.LiveStatuses(3));
    p.Action("Action4")->trigger();
    QVERIFY(p.sim.WaitFor("configuration stored to " + p.sim.StatePath()));
    QTRY_VERIFY_WITH_TIMEOUT(visits->Recorder().Current().stored, 3000);
    // A walk test: the event that ended, and the one Disconnect stopped.
    TFormWalkTest& walk = p.form->GetSubsystems()->WalkTestWindow();
    walk.Button_StartClick();
    QVERIFY(p.sim.Command("play mw:300 quiet:200 out3:60000", "ok play"));
    QTRY_COMPARE_WITH_TIMEOUT(walk.Test().Events().size(), std::size_t(2), 5000);
    p.Action("Action2")->trigger();
    QCOMPARE(p.Action("Action2")->text(), QString("Connect"));

    QVERIFY(reader.History({}, list));
    QCOMPARE(list.size(), 3);
    std::optional<Visit> visit;
    QVERIFY(reader.Load(list[0].id, visit) && visit);
    QCOMPARE(visit->site, QString("Depot"));
    QCOMPARE(visit->detector, QString("Gate 3"));
    QCOMPARE(visit->port, p.sim.LinkPath());
    QCOMPARE(visit->outcome, VisitOutcome::Ok);
    QVERIFY(visit->Ended());
    QVERIFY(visit->stored);
    QCOMPARE(visit->found, list[2].left);
    // The detector now holds what the colleague left, and the visit says so.
    QCOMPARE(visit->left, colleague.left);
    // The change, then the store request, each as sent.
    QVERIFY(visit->writes.size() >= 2);
    QVERIFY(!visit->writes.constFirst().store);
    QVERIFY(visit->writes.constLast().store);
    QCOMPARE(visit->writes.constLast().body.size(), 40);
    QCOMPARE(visit->walkEvents.size(), 2);
    QVERIFY2(visit->walkEvents[0].text.contains(QRegularExpression("^MW \\d+ ms, peaks MW ")),
             qPrintable(visit->walkEvents[0].text));
    QVERIFY2(visit->walkEvents[1].text.startsWith("Out #3 still set at the end, "),
             qPrintable(visit->walkEvents[1].text));
    QVERIFY(failures.isEmpty());
}

// A site book that cannot be made is said once, and the detector's work goes
// on as without one.
void TestEndToEnd::unusableSiteBookIsToldOnce() {
    Program p;
    QVERIFY(p.Start());
    QFile blocker(p.dir.filePath("not-a-folder"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    AttachSiteBook(*p.windows, ResolveSiteBookLocation(blocker.fileName() + "/book.sqlite"));
    WindowVisits* visits = p.form->GetSubsystems()->Visits();
    QStringList failures;
    visits->ShowFailure = [&](const QString& text) { failures << text; };
    QTRY_COMPARE_WITH_TIMEOUT(failures.size(), 1, 2000);
    QVERIFY2(failures[0].contains(QDir::toNativeSeparators(blocker.fileName())),
             qPrintable(failures[0]));
    for (int visit = 0; visit < 2; ++visit) {
        QVERIFY(visit == 0 ? p.Connect() : p.PressConnect());
        QVERIFY(p.LiveStatuses(3));
        p.Control<QCheckBox>("CheckBox_EN_LED")->click();
        QVERIFY(p.sim.NextWrite().has_value());
        p.form->GetSubsystems()->UnstoredQuestion().Ask = [](const QString&, bool) {
            return UnstoredChangesQuestion::Answer::LeaveUnstored;
        };
        p.Action("Action2")->trigger();
        QCOMPARE(p.Action("Action2")->text(), QString("Connect"));
    }
    QCOMPARE(failures.size(), 1);
    QVERIFY(p.messages.isEmpty());
}
