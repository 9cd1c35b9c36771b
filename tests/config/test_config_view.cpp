#include "ConfigLink.h"
#include "ConfigSettings.h"
#include "ConfigView.h"
#include "FindControl.h"
#include "RadioGroup.h"
#include "TMainForm.h"
#include "TrackBar.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

#include <functional>
#include <memory>
#include <vector>

namespace {

// The system's own texts for a missing file and for a file under a plain
// file, and the paths as the system writes them: the program shows both.
#ifdef Q_OS_WIN
const QString NoSuchFile = QStringLiteral("File not found.");
const QString UnderAFile = QStringLiteral("Path not found.");
#else
const QString NoSuchFile = QStringLiteral("No such file or directory");
const QString UnderAFile = QStringLiteral("Not a directory");
#endif

QString Native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// The link as the configuration side sees it: real buffers, a flag for the
// open port and a real timer for the poll. Unless a test says otherwise, the
// detector's configuration has been read since Connect.
class TestLink : public ConfigLink {
public:
    TestLink() {
        Poll.setInterval(10);
        Link.ConfigShown = true;
    }
    bool PortOpen() const override { return Open; }
    Command::LinkBuffers& Buffers() override { return Link; }
    bool PollingActive() const override { return Poll.isActive(); }
    void StopPolling() override { Poll.stop(); }
    void StartPolling() override { Poll.start(); }

    bool Open = true;
    Command::LinkBuffers Link;
    QTimer Poll;
};

using Payload = std::array<std::uint8_t, 40>;

// A report 9 payload whose values all lie inside the design ranges, with
// reserved bytes and output bits that the tool only carries.
Payload SamplePayload() {
    return {0x01, 0x2C, 17,   6,    3,     // Mw: 300
            0x02, 0x58, 25,   9,    2,     // Pir1: 600
            0x00, 0x64, 40,   1,    5,     // Pir2: 100
            0xC8, 0x00, 0xD0, 0x07,        // PwmDc 200, PwmFq 2000, low byte first
            0x55, 0x85,                    // flags
            0xDE, 0xAD, 0xBE, 0xEF,        // reserved
            0x0B, 0xB8, 1,    0x5A, 0xE3,  // Out #1: 3000 ms, OR, enabled, MW
            0x13, 0x88, 4,    0x00, 0x1F,  // Out #2: 5000 ms, AUTO TEST, NO
            0x03, 0xE8, 0,    0x77, 0x00}; // Out #3: 1000 ms, AND, disabled
}

// The 44-byte record that carries `payload`, with `pad` in the pad bytes.
QByteArray RecordOf(const Payload& payload, char pad) {
    QByteArray record(44, pad);
    const int recordOf[] = {0, 6, 12, 18, 28};
    const int payloadOf[] = {0, 5, 10, 15, 25};
    const int length[] = {5, 5, 5, 10, 15};
    for (int i = 0; i < 5; ++i)
        for (int k = 0; k < length[i]; ++k)
            record[recordOf[i] + k] = static_cast<char>(payload[payloadOf[i] + k]);
    return record;
}

QByteArray Bytes(const DetectorConfig& config) {
    return QByteArray(reinterpret_cast<const char*>(config.Bytes.data()), DetectorConfig::Size);
}

int Shown(const TrackBar* bar) {
    return bar->maximum() + bar->minimum() - bar->value();
}

// Everything the user can see of the controls, for "nothing changed" checks.
QStringList Snapshot(const QWidget* form) {
    QStringList state;
    for (const QAbstractSlider* s : form->findChildren<QAbstractSlider*>())
        state << QStringLiteral("%1 %2..%3 @%4")
                     .arg(s->objectName())
                     .arg(s->minimum())
                     .arg(s->maximum())
                     .arg(s->value());
    for (const QCheckBox* c : form->findChildren<QCheckBox*>())
        state << QStringLiteral("%1 %2 %3 %4")
                     .arg(c->objectName())
                     .arg(c->isChecked())
                     .arg(c->isEnabled())
                     .arg(c->text());
    for (const RadioGroup* r : form->findChildren<RadioGroup*>())
        state << QStringLiteral("%1 %2 %3")
                     .arg(r->objectName())
                     .arg(r->itemIndex())
                     .arg(r->isEnabled());
    for (const QLabel* l : form->findChildren<QLabel*>())
        state << l->objectName() + ' ' + l->text();
    for (const QComboBox* c : form->findChildren<QComboBox*>())
        state << QStringLiteral("%1 %2").arg(c->objectName()).arg(c->currentIndex());
    return state;
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestConfigView : public QObject {
    Q_OBJECT

    std::unique_ptr<TMainForm> form;
    std::unique_ptr<TestLink> link;
    std::unique_ptr<ConfigView> view;
    QStringList messages;
    int builds = 0;        // every frame built
    int buildsPolling = 0; // frames built while the poll timer ran: the ones that go out

    template <class T> T* Ctl(const char* name) { return FindControl<T>(form.get(), name); }
    const Command::ConfigWriteFrame& Frame() { return link->Link.OutgoingFrame; }
    bool AsksForConfig() { return link->Link.PollRequest[3] == Command::CmdConfigRead; }
    void Receive(const Payload& payload) { view->ConfigReport(payload.data()); }
    // Connected and polling, the request back on live status as after a tick.
    void Connect() {
        link->Open = true;
        link->Poll.start();
        link->Link.RequestLiveStatus();
        link->Link.WritePending = false;
    }
    // Answers the next modal file dialog with `path` and reports what it was.
    void AnswerFileDialog(const QString& path, QString* seen, int attempts = 200) {
        QTimer::singleShot(10, this, [=, this] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog) {
                if (attempts > 0)
                    AnswerFileDialog(path, seen, attempts - 1);
                return;
            }
            *seen = QStringLiteral("%1 %2 %3 %4")
                        .arg(dialog->nameFilters().join(';'))
                        .arg(dialog->acceptMode() == QFileDialog::AcceptSave ? "save" : "open")
                        .arg(dialog->fileMode() == QFileDialog::AnyFile)
                        .arg(dialog->testOption(QFileDialog::DontConfirmOverwrite));
            // Typed into the name field, as a user would; a dialog that does
            // not take it is closed, so the test fails instead of hanging.
            if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                name->setText(path);
            static_cast<QDialog*>(dialog)->accept(); // as the Save or Open button does
            if (dialog->isVisible()) {
                *seen += QStringLiteral(" refused");
                dialog->reject();
            }
        });
    }
    void ChooseLens(QComboBox* lens, int index) {
        while (lens->currentIndex() < index)
            QTest::keyClick(lens, Qt::Key_Down);
        while (lens->currentIndex() > index)
            QTest::keyClick(lens, Qt::Key_Up);
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void init() {
        form = std::make_unique<TMainForm>(TMainForm::Wiring::FormOnly);
        link = std::make_unique<TestLink>();
        link->Open = false;
        link->Link.RequestLiveStatus();
        view = std::make_unique<ConfigView>(form.get(), *link);
        messages.clear();
        view->ShowMessage = [this](const QString& text) { messages << text; };
        builds = buildsPolling = 0;
        connect(view.get(), &ConfigView::ConfigWriteBuilt, this, [this] {
            ++builds;
            if (link->PollingActive())
                ++buildsPolling;
        });
    }

    void cleanup() {
        view.reset();
        form.reset();
        link.reset();
    }

    // Turning the wheel over the form, as when scrolling the SETUP box, must
    // not reconfigure the detector: a slider, scroll bar or lens list takes
    // the wheel only once the user has focused it.
    void wheelMovesOnlyAFocusedControl() {
        form->show();
        QApplication::setActiveWindow(form.get());
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        Connect();
        Receive(SamplePayload());
        QVERIFY(!link->Link.WritePending);

        const auto turn = [](QWidget* control) {
            const QPointF at = QRectF(control->rect()).center();
            QWheelEvent wheel(at, control->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(control, &wheel);
        };
        const auto state = [](QWidget* control) {
            if (auto* list = qobject_cast<QComboBox*>(control))
                return list->currentIndex();
            return static_cast<QAbstractSlider*>(control)->value();
        };
        QList<QWidget*> controls;
        for (QWidget* w : form->findChildren<QWidget*>())
            if (w->objectName().startsWith("ScrollBar_") ||
                w->objectName().startsWith("TrackBar_") || w->objectName().startsWith("ComboBox_"))
                controls << w;
        QCOMPARE(controls.size(), 19);

        QScrollBar* setupScroll = Ctl<QScrollArea>("ScrollBox1")->verticalScrollBar();
        const int setupTop = setupScroll->value();
        for (QWidget* control : controls) {
            const int before = state(control);
            turn(control);
            QVERIFY2(state(control) == before, qPrintable(control->objectName()));
        }
        QCOMPARE(buildsPolling, 0);
        QVERIFY(!link->Link.WritePending);
        QVERIFY(setupScroll->value() > setupTop); // the SETUP box scrolled instead

        // Focused, a control takes the wheel and the change goes out.
        auto* speed = Ctl<QScrollBar>("ScrollBar_Pir1_Tconv");
        speed->setFocus();
        QVERIFY(speed->hasFocus());
        const int before = speed->value();
        turn(speed);
        QVERIFY(speed->value() != before);
        QVERIFY(link->Link.WritePending);
    }

    void missingControlIsReportedAtOnce() {
        QWidget bare;
        TestLink other;
        QVERIFY_THROWS_EXCEPTION(std::logic_error, ConfigView(&bare, other));
    }

    void recordShownAndWrittenBackUnchanged() {
        Connect();
        const Payload payload = SamplePayload();
        Receive(payload);

        // Showing sends nothing and holds the poll only while it runs.
        QVERIFY(builds > 0);
        QCOMPARE(buildsPolling, 0);
        QVERIFY(!link->Link.WritePending);
        QVERIFY(link->PollingActive());

        QCOMPARE(Shown(Ctl<TrackBar>("TrackBar_PIR1_TRange")), 600);
        QCOMPARE(Ctl<QLabel>("Label_Pir1_TRange")->text(), QStringLiteral("600"));
        QCOMPARE(Ctl<QLabel>("Label_Pir2_NPulse")->text(), QStringLiteral("5"));
        QCOMPARE(Ctl<QLabel>("Label_TimeAnd1")->text(), QStringLiteral("3 sec."));
        QCOMPARE(Ctl<QLabel>("Label_PWM_Dc")->text(), QStringLiteral("DC:  12.5 %  @10KHz"));
        QCOMPARE(Ctl<QLabel>("Label_PWM_Fq")->text(), QStringLiteral("8,000 KHz"));
        QCOMPARE(Ctl<RadioGroup>("RadioGroup_FuncOut2")->itemIndex(), 4);
        QCOMPARE(Ctl<RadioGroup>("RadioGroup_NCOut2")->itemIndex(), 1);
        QCOMPARE(Ctl<RadioGroup>("RadioGroup_NCOut1")->itemIndex(), 0);
        QVERIFY(Ctl<QCheckBox>("CheckBox_AutoTest")->isChecked());
        QVERIFY(!Ctl<QCheckBox>("CheckBox_EN_PIR1")->isChecked());

        view->BuildConfigWriteFrame();
        const auto& frame = Frame();
        for (int i = 0; i <= 14; ++i)
            QCOMPARE(frame[4 + i], payload[i]);
        QCOMPARE(frame[19], 0x00); // PWM high byte first
        QCOMPARE(frame[20], 0xC8);
        QCOMPARE(frame[21], 0x07);
        QCOMPARE(frame[22], 0xD0);
        QCOMPARE(frame[23], payload[19]);
        QCOMPARE(frame[24], payload[20]);
        for (int i = 25; i <= 28; ++i)
            QCOMPARE(frame[i], 0x00);
        for (int i = 25; i <= 39; ++i)
            QCOMPARE(frame[4 + i], payload[i]);
        QCOMPARE(Bytes(view->CurrentConfig()), RecordOf(payload, 0));
    }

    void outOfRangeValuesAreClampedButLabelled() {
        Connect();
        Payload payload = SamplePayload();
        payload[0] = 0x02; // Mw.TRange 600 against a maximum of 500
        payload[1] = 0x58;
        payload[3] = 20; // Mw.Nconv against 1..10
        payload[27] = 7; // Out #1 function past the last item
        Receive(payload);

        QCOMPARE(Shown(Ctl<TrackBar>("TrackBar_MW_TRange")), 500);
        QCOMPARE(Ctl<QLabel>("Label_MW_TRange")->text(), QStringLiteral("600"));
        QCOMPARE(Ctl<QScrollBar>("ScrollBar_MW_Nconv")->value(), 10);
        QCOMPARE(Ctl<QLabel>("Label_MW_Nconv")->text(), QStringLiteral("20"));
        QCOMPARE(Ctl<RadioGroup>("RadioGroup_FuncOut1")->itemIndex(), 4);

        view->BuildConfigWriteFrame();
        QCOMPARE(Frame()[4], 0x01);
        QCOMPARE(Frame()[5], 0xF4);
        QCOMPARE(Frame()[7], 10);
        QCOMPARE(Frame()[31], 4);
    }

    void outputEnablingFollowsTheRecord() {
        Connect();
        Payload payload = SamplePayload();
        payload[27] = 3; // Out #1: MASK, enabled only
        payload[29] = 0x01;
        payload[32] = 1; // Out #2: OR, everything
        payload[34] = 0x1F;
        payload[39] = 0x0E; // Out #3: technologies ticked but disabled
        Receive(payload);

        QVERIFY(Ctl<QCheckBox>("CheckBox_Out1Enable")->isChecked());
        QVERIFY(Ctl<RadioGroup>("RadioGroup_FuncOut1")->isEnabled());
        QVERIFY(Ctl<RadioGroup>("RadioGroup_NCOut1")->isEnabled());
        for (const char* tech : {"CheckBox_Out1Mw", "CheckBox_Out1Pir1", "CheckBox_Out1Pir2"}) {
            QVERIFY(!Ctl<QCheckBox>(tech)->isEnabled());
            QVERIFY(!Ctl<QCheckBox>(tech)->isChecked());
        }
        for (const char* tech : {"CheckBox_Out2Mw", "CheckBox_Out2Pir1", "CheckBox_Out2Pir2"}) {
            QVERIFY(Ctl<QCheckBox>(tech)->isEnabled());
            QVERIFY(Ctl<QCheckBox>(tech)->isChecked());
        }
        QVERIFY(!Ctl<QCheckBox>("CheckBox_Out3Enable")->isChecked());
        QVERIFY(!Ctl<RadioGroup>("RadioGroup_FuncOut3")->isEnabled());
        QVERIFY(!Ctl<RadioGroup>("RadioGroup_NCOut3")->isEnabled());
        for (const char* tech : {"CheckBox_Out3Mw", "CheckBox_Out3Pir1", "CheckBox_Out3Pir2"}) {
            QVERIFY(!Ctl<QCheckBox>(tech)->isEnabled());
            QVERIFY(Ctl<QCheckBox>(tech)->isChecked());
        }

        // Ticking a box edits the record at once but enables nothing until the
        // detector's answer is shown.
        Ctl<QCheckBox>("CheckBox_Out3Enable")->setChecked(true);
        QCOMPARE(view->CurrentConfig().OutFlags(2), 0x0F);
        QCOMPARE(Frame()[43], 0x0F);
        QVERIFY(!Ctl<RadioGroup>("RadioGroup_FuncOut3")->isEnabled());
        Ctl<RadioGroup>("RadioGroup_NCOut3")->setItemIndex(1);
        QCOMPARE(view->CurrentConfig().OutFlags(2), 0x1F);
        Ctl<QScrollBar>("ScrollBar_TimeAnd3")->setValue(4);
        QCOMPARE(view->CurrentConfig().TimeAnd(2), 4000);
        QCOMPARE(Frame()[39], 0x0F);
        QCOMPARE(Frame()[40], 0xA0);
        QVERIFY(link->Link.WritePending);
        QVERIFY(AsksForConfig());
    }

    void noiseReductionFollowsTemperatureCompensation() {
        Connect();
        Payload payload = SamplePayload();
        payload[20] |= 0x08; // 0x0800
        Receive(payload);
        auto* pir1 = Ctl<QCheckBox>("CheckBox_NOISE_PIR1");
        auto* pir2 = Ctl<QCheckBox>("CheckBox_NOISE_PIR2");
        QVERIFY(Ctl<QCheckBox>("CheckBox_EN_TempComp")->isChecked());
        QVERIFY(!pir1->isEnabled());
        QVERIFY(!pir2->isEnabled());
        QCOMPARE(pir1->text(), QStringLiteral("PIR UP(Auto change N.R.)"));
        QCOMPARE(pir2->text(), QStringLiteral("PIR DOWN(Auto change N.R.)"));
        QVERIFY(pir2->isChecked()); // its own bit, 0x0400, still shows

        payload[20] &= ~0x08;
        Receive(payload);
        QVERIFY(!Ctl<QCheckBox>("CheckBox_EN_TempComp")->isChecked());
        QVERIFY(pir1->isEnabled());
        QCOMPARE(pir1->text(), QStringLiteral("PIR UP(Noise Reduction)"));
        QCOMPARE(pir2->text(), QStringLiteral("PIR DOWN(Noise Reduction)"));

        // The live view repeats the step on its own; it changes no value.
        pir1->setText(QStringLiteral("x"));
        view->ApplyNoiseReductionMode();
        QCOMPARE(pir1->text(), QStringLiteral("PIR UP(Noise Reduction)"));
    }

    void timeAndShowsWholeSecondsHalfToEven() {
        Connect();
        Payload payload = SamplePayload();
        payload[25] = 0x09; // 2500 ms against a bar at 1
        payload[26] = 0xC4;
        Receive(payload);
        QCOMPARE(Ctl<QScrollBar>("ScrollBar_TimeAnd1")->value(), 2);
        QCOMPARE(Ctl<QLabel>("Label_TimeAnd1")->text(), QStringLiteral("2 sec."));
        QCOMPARE(view->CurrentConfig().TimeAnd(0), 2000);

        Receive(payload); // the bar is already at 2: the record keeps 2500
        QCOMPARE(view->CurrentConfig().TimeAnd(0), 2500);

        payload[25] = 0x0D; // 3500 ms
        payload[26] = 0xAC;
        payload[30] = 0x15; // Out #2: 5400 ms, its bar already at 5
        payload[31] = 0x18;
        payload[35] = 0xEA; // Out #3: 60000 ms against 1..5, the bar at 1
        payload[36] = 0x60;
        Receive(payload);
        QCOMPARE(Ctl<QLabel>("Label_TimeAnd1")->text(), QStringLiteral("4 sec."));
        QCOMPARE(view->CurrentConfig().TimeAnd(0), 4000);
        QCOMPARE(Ctl<QLabel>("Label_TimeAnd3")->text(), QStringLiteral("5 sec."));
        QCOMPARE(view->CurrentConfig().TimeAnd(2), 5000);
        QCOMPARE(view->CurrentConfig().TimeAnd(1), 5400);
        QVERIFY(!link->Link.WritePending);
    }

    void pwmReportQueuesARealWrite() {
        Connect();
        const std::uint8_t same[] = {160, 0, 0x40, 0x06}; // the design positions
        view->ApplyPwmReport(same);
        QVERIFY(!link->Link.WritePending);
        QCOMPARE(Ctl<QLabel>("Label_PWM_Dc")->text(), QStringLiteral("160"));

        const std::uint8_t moved[] = {0x2C, 0x01, 0x40, 0x1F};
        view->ApplyPwmReport(moved);
        QCOMPARE(Ctl<QScrollBar>("ScrollBar_PWM_Dc")->value(), 300);
        QCOMPARE(Ctl<QScrollBar>("ScrollBar_PWM_Fq")->value(), 8000);
        QCOMPARE(Ctl<QLabel>("Label_PWM_Dc")->text(), QStringLiteral("300"));
        QCOMPARE(Ctl<QLabel>("Label_PWM_Fq")->text(), QStringLiteral("8000"));
        QVERIFY(link->Link.WritePending);
        QVERIFY(link->PollingActive());
        QVERIFY(AsksForConfig());
        QCOMPARE(Frame()[19], 0x01);
        QCOMPARE(Frame()[20], 0x2C);
        QCOMPARE(Frame()[21], 0x1F);
        QCOMPARE(Frame()[22], 0x40);
    }

    void closedPortQueuesNothing() {
        const QStringList labels = [this] {
            QStringList texts;
            for (const QLabel* l : form->findChildren<QLabel*>())
                texts << l->text();
            return texts;
        }();
        Ctl<TrackBar>("TrackBar_MW_TRange")->setValue(200);
        Ctl<QScrollBar>("ScrollBar_Pir1_Tconv")->setValue(30);
        Ctl<QScrollBar>("ScrollBar_PWM_Dc")->setValue(400);
        Ctl<QCheckBox>("CheckBox_EN_MW")->setChecked(true);
        Ctl<RadioGroup>("RadioGroup_FuncOut1")->setItemIndex(2);
        Ctl<RadioGroup>("RadioGroup_NCOut2")->setItemIndex(1);
        Ctl<QCheckBox>("CheckBox_Out1Enable")->setChecked(true);
        Ctl<QScrollBar>("ScrollBar_TimeAnd1")->setValue(7);
        view->Action4Execute();

        QCOMPARE(builds, 0);
        QVERIFY(!link->Link.WritePending);
        QCOMPARE(link->Link.ExpectedLength, 64);
        QCOMPARE(view->ExtraFlags(), 0);
        QCOMPARE(Bytes(view->CurrentConfig()), QByteArray(44, '\0'));
        QStringList after;
        for (const QLabel* l : form->findChildren<QLabel*>())
            after << l->text();
        QCOMPARE(after, labels);
    }

    void nothingIsWrittenBeforeTheDetectorsConfigurationIsShown() {
        // Connected, but no configuration has come back yet: the controls
        // hold the form's defaults, which must never reach the detector.
        Connect();
        link->Link.ConfigShown = false;
        Ctl<TrackBar>("TrackBar_MW_TRange")->setValue(200);
        Ctl<QCheckBox>("CheckBox_NOISE_PIR1")->setChecked(true); // as a live status does
        Ctl<QCheckBox>("CheckBox_Out2Enable")->setChecked(true);
        Ctl<QScrollBar>("ScrollBar_TimeAnd3")->setValue(9);
        const std::uint8_t pwm[4] = {0x90, 0x01, 0x20, 0x03};
        view->ApplyPwmReport(pwm);
        Ctl<QAction>("Action4")->trigger();
        QCOMPARE(builds, 0);
        QVERIFY(!link->Link.WritePending);
        QCOMPARE(Bytes(view->CurrentConfig()), QByteArray(44, '\0'));

        // A file is loaded on purpose, as a whole record: it is written.
        QTemporaryDir dir;
        const QString path = dir.filePath("site.bin");
        WriteFile(path, RecordOf(SamplePayload(), 0));
        view->FileOpen1Accept(path);
        QCOMPARE(buildsPolling, 1);
        QVERIFY(link->Link.WritePending);
        QVERIFY(AsksForConfig());
    }

    void storeRequestRidesOnExactlyOneFrame() {
        Connect();
        Receive(SamplePayload());
        auto* store = Ctl<QAction>("Action4");
        store->setEnabled(true); // as a successful connect leaves it
        bool disabledWhileBuilding = false;
        connect(view.get(), &ConfigView::ConfigWriteBuilt, this,
                [&] { disabledWhileBuilding = !store->isEnabled(); });

        store->trigger();
        QVERIFY(disabledWhileBuilding);
        QVERIFY(store->isEnabled());
        QVERIFY(link->Link.WritePending);
        QVERIFY(AsksForConfig());
        QCOMPARE(Frame()[24], SamplePayload()[20] | 0x40);
        QCOMPARE(view->ExtraFlags(), 0);

        // A change before the tick replaces the frame, without the request.
        Ctl<QScrollBar>("ScrollBar_MW_NPulse")->setValue(4);
        QCOMPARE(Frame()[24], SamplePayload()[20]);
        QCOMPARE(Frame()[8], 4);
    }

    // Writes that echo the detector's own state (its noise flags, its PWM
    // report) leave nothing unstored; a change of the user's does, until a
    // store has gone out and the configuration has been read back after it.
    void onlyTheUsersWritesAreUnstoredChanges() {
        Connect();
        Receive(SamplePayload());
        const auto sent = [this] {
            QVERIFY(link->Link.WritePending);
            link->Link.WritePending = false;
            view->ConfigWriteSent();
        };
        auto* noise = Ctl<QCheckBox>("CheckBox_NOISE_PIR1");
        view->EchoDetectorState([&] { noise->setChecked(!noise->isChecked()); });
        sent();
        const std::uint8_t pwm[] = {0x2C, 0x01, 0x40, 0x1F};
        view->ApplyPwmReport(pwm);
        sent();
        QVERIFY(!view->Unstored().Any());

        // An echo that rebuilds the frame of a user's change before the tick
        // still sends the user's change.
        Ctl<QScrollBar>("ScrollBar_MW_NPulse")->setValue(4);
        view->EchoDetectorState([&] { noise->setChecked(!noise->isChecked()); });
        QVERIFY(!view->Unstored().Any()); // nothing went out yet
        sent();
        QVERIFY(view->Unstored().Any());

        // What the detector holds after these writes: pulses 4, and the
        // PWM it reported itself.
        Payload held = SamplePayload();
        held[4] = 4;
        std::copy(std::begin(pwm), std::end(pwm), held.begin() + 15);
        QSignalSpy stored(view.get(), &ConfigView::StoredToFlash);
        QSignalSpy failed(view.get(), &ConfigView::StoreFailed);
        view->Action4Execute();
        sent();
        QVERIFY(view->Unstored().Any()); // not read back yet
        Receive(held);
        QCOMPARE(stored.count(), 1);
        QVERIFY(!view->Unstored().Any());
        QVERIFY(messages.isEmpty());

        // A store whose read-back is not what was stored is told, and the
        // change counts as unstored.
        Ctl<QScrollBar>("ScrollBar_MW_NPulse")->setValue(6);
        sent();
        view->Action4Execute();
        sent();
        Receive(held);
        QCOMPARE(stored.count(), 1);
        QCOMPARE(failed.count(), 1);
        QVERIFY(view->Unstored().Any());
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages[0].startsWith("Store To Flash did not complete: the configuration the "
                                        "detector read back differs"),
                 qPrintable(messages[0]));
        messages.clear();

        // A store whose read-back was lost with the link is not taken as done.
        Ctl<QScrollBar>("ScrollBar_MW_NPulse")->setValue(5);
        sent();
        view->Action4Execute();
        sent();
        view->ConnectionLost();
        Receive(SamplePayload());
        QCOMPARE(stored.count(), 1);
        QCOMPARE(failed.count(), 2);
        QVERIFY(view->Unstored().Any());
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages[0].contains("the link to the detector was lost before"),
                 qPrintable(messages[0]));
    }

    void lensPresetsMoveTheirChannel() {
        Connect();
        auto* lens = Ctl<QComboBox>("ComboBox_Pir1_Lens");
        auto* tconv = Ctl<QScrollBar>("ScrollBar_Pir1_Tconv");
        auto* nconv = Ctl<QScrollBar>("ScrollBar_Pir1_Nconv");
        auto* range = Ctl<TrackBar>("TrackBar_PIR1_TRange");
        tconv->setValue(30);
        nconv->setValue(5);
        range->setValue(range->maximum() + range->minimum() - 600);
        view->BuildConfigWriteFrame();
        const Command::ConfigWriteFrame before = Frame();
        link->Link.WritePending = false;

        ChooseLens(lens, 1); // Angle
        QVERIFY(link->Link.WritePending);
        QVERIFY(AsksForConfig());
        QCOMPARE(Frame()[9], 0x01); // 380
        QCOMPARE(Frame()[10], 0x7C);
        QCOMPARE(Frame()[11], 10);
        QCOMPARE(Frame()[12], 8);
        for (int i : {4, 5, 6, 7, 8, 13, 14, 15, 16, 17, 18})
            QCOMPARE(Frame()[i], before[i]);
        QCOMPARE(tconv->maximum(), 22);
        QCOMPARE(range->value(), 260);

        // "User" widens the ranges and moves nothing.
        const QString label = Ctl<QLabel>("Label_Pir1_TRange")->text();
        builds = 0;
        ChooseLens(lens, 0);
        QCOMPARE(builds, 0);
        QCOMPARE(range->value(), 260);
        QCOMPARE(Shown(range), 450);
        QCOMPARE(nconv->maximum(), 50);
        QCOMPARE(Ctl<QLabel>("Label_Pir1_TRange")->text(), label);

        // Horizontal Curtain after Angle moves only the track bar.
        ChooseLens(lens, 1);
        builds = 0;
        ChooseLens(lens, 2);
        QCOMPARE(builds, 1);
        QCOMPARE(range->value(), 160);
        QCOMPARE(tconv->maximum(), 27);

        // The program setting the list runs nothing; the other channel is
        // never touched.
        lens->setCurrentIndex(0);
        QCOMPARE(tconv->maximum(), 27);
        QCOMPARE(Ctl<QScrollBar>("ScrollBar_Pir2_Nconv")->maximum(), 10);
    }

    void lensWhileClosedMovesButSendsNothing() {
        link->Open = false;
        ChooseLens(Ctl<QComboBox>("ComboBox_Pir2_Lens"), 3);
        QCOMPARE(Ctl<QScrollBar>("ScrollBar_Pir2_Tconv")->value(), 10);
        QCOMPARE(Ctl<QScrollBar>("ScrollBar_Pir2_Tconv")->maximum(), 30);
        QCOMPARE(Shown(Ctl<TrackBar>("TrackBar_PIR2_TRange")), 380);
        QCOMPARE(builds, 0);
        QVERIFY(!link->Link.WritePending);
    }

    void loadWritesTheFileOnceAndUnclamped() {
        QTemporaryDir dir;
        Connect();
        ChooseLens(Ctl<QComboBox>("ComboBox_Pir1_Lens"), 1); // Nconv 8..12
        Payload payload = SamplePayload();
        payload[8] = 30; // Pir1.Nconv
        const QByteArray record = RecordOf(payload, '\xAB');
        const QString path = dir.filePath("site.bin");
        WriteFile(path, record + QByteArray(10, '\x01')); // longer: first 44 bytes count
        builds = buildsPolling = 0;
        link->Link.RequestLiveStatus();

        view->FileOpen1Accept(path);
        QVERIFY(messages.isEmpty());
        QCOMPARE(buildsPolling, 1);
        QCOMPARE(Bytes(view->CurrentConfig()), record); // pads included
        QCOMPARE(Ctl<QComboBox>("ComboBox_Pir1_Lens")->currentIndex(), 0);
        QCOMPARE(Ctl<QScrollBar>("ScrollBar_Pir1_Nconv")->value(), 30);
        QVERIFY(link->Link.WritePending);
        QVERIFY(link->PollingActive());
        QVERIFY(AsksForConfig());
        QCOMPARE(Frame()[12], 30);
        QCOMPARE(Frame()[9], 0x02);
        QCOMPARE(Frame()[10], 0x58);

        // The same value in a report with a lens in force is clamped.
        ChooseLens(Ctl<QComboBox>("ComboBox_Pir1_Lens"), 1);
        Receive(payload);
        QCOMPARE(Ctl<QScrollBar>("ScrollBar_Pir1_Nconv")->value(), 12);
        QCOMPARE(Ctl<QLabel>("Label_Pir1_Nconv")->text(), QStringLiteral("30"));
    }

    // What reaches the detector from a file is exactly the file, or nothing:
    // a file that the controls would clamp or round is refused whole. The
    // limits are read from the real form, so the check cannot drift from
    // the controls.
    void loadRefusesWhatTheControlsWouldChange() {
        QTemporaryDir dir;
        Connect();
        const QString good = dir.filePath("good.bin");
        WriteFile(good, RecordOf(SamplePayload(), 0));
        view->FileOpen1Accept(good); // lens lists back at "User", as for every load
        QVERIFY(messages.isEmpty());

        // A setter of the record per numeric control, with its widget.
        using Set = std::function<void(DetectorConfig&, int)>;
        const auto byte = [](int at) {
            return Set([at](DetectorConfig& d, int v) { d.Bytes[at] = std::uint8_t(v); });
        };
        const auto highFirst = [](int at) {
            return Set([at](DetectorConfig& d, int v) {
                d.Bytes[at] = std::uint8_t(v >> 8);
                d.Bytes[at + 1] = std::uint8_t(v);
            });
        };
        const auto lowFirst = [](int at) {
            return Set([at](DetectorConfig& d, int v) {
                d.Bytes[at] = std::uint8_t(v);
                d.Bytes[at + 1] = std::uint8_t(v >> 8);
            });
        };
        std::vector<std::pair<QAbstractSlider*, Set>> controls;
        const char* channels[][2] = {{"MW", "MW"}, {"PIR1", "Pir1"}, {"PIR2", "Pir2"}};
        for (int ch = 0; ch < 3; ++ch) {
            const int at = DetectorConfig::ChannelOffset(ch);
            const QByteArray bar = QByteArray("TrackBar_") + channels[ch][0] + "_TRange";
            const QByteArray c = QByteArray("ScrollBar_") + channels[ch][1];
            controls.push_back({Ctl<TrackBar>(bar.constData()), highFirst(at)});
            controls.push_back({Ctl<QScrollBar>((c + "_Tconv").constData()), byte(at + 2)});
            controls.push_back({Ctl<QScrollBar>((c + "_Nconv").constData()), byte(at + 3)});
            controls.push_back({Ctl<QScrollBar>((c + "_NPulse").constData()), byte(at + 4)});
        }
        controls.push_back({Ctl<QScrollBar>("ScrollBar_PWM_Dc"), lowFirst(18)});
        controls.push_back({Ctl<QScrollBar>("ScrollBar_PWM_Fq"), lowFirst(20)});
        for (int out = 0; out < 3; ++out) {
            const QByteArray bar = "ScrollBar_TimeAnd" + QByteArray::number(out + 1);
            controls.push_back({Ctl<QScrollBar>(bar.constData()), [out](DetectorConfig& d, int v) {
                                    d.SetTimeAnd(out, std::uint16_t(v * 1000));
                                }});
        }
        DetectorConfig sample;
        sample.Bytes = view->CurrentConfig().Bytes;
        for (bool atMax : {false, true}) {
            DetectorConfig limits = sample;
            DetectorConfig beyond = sample;
            for (auto& [control, set] : controls) {
                set(limits, atMax ? control->maximum() : control->minimum());
                set(beyond, atMax ? control->maximum() + 1 : control->minimum() - 1);
            }
            QCOMPARE(SettingsTheControlsWouldChange(limits).size(), 0);
            QCOMPARE(SettingsTheControlsWouldChange(beyond).size(), qsizetype(controls.size()));
        }

        // Half seconds and an unknown function: the load is refused, with
        // every such setting named, and nothing is shown, kept or queued.
        DetectorConfig odd = sample;
        odd.SetTimeAnd(0, 2500);
        odd.Bytes[DetectorConfig::OutputOffset(1) + 2] = 7;
        const QString bad = dir.filePath("bad.bin");
        WriteFile(bad, Bytes(odd));
        const QStringList shown = Snapshot(form.get());
        builds = 0;
        link->Link.WritePending = false; // the good file's write went out
        view->FileOpen1Accept(bad);
        QCOMPARE(builds, 0);
        QVERIFY(!link->Link.WritePending);
        QCOMPARE(Bytes(view->CurrentConfig()), Bytes(sample));
        QCOMPARE(Snapshot(form.get()), shown);
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages[0].contains("Out #1 Time AND 2500 ms") &&
                     messages[0].contains("Out #2 Function code 7"),
                 qPrintable(messages[0]));

        // A record the detector sent and the tool saved always loads.
        Receive(SamplePayload());
        const QString saved = dir.filePath("saved.bin");
        view->FileSaveAs1Accept(saved);
        view->FileOpen1Accept(saved);
        QCOMPARE(messages.size(), 1);
    }

    void loadNeedsARunningPoll() {
        QTemporaryDir dir;
        const QString path = dir.filePath("site.bin");
        WriteFile(path, RecordOf(SamplePayload(), 0));
        link->Open = true; // open but halted
        view->FileOpen1Accept(path);
        view->FileOpen1Accept(dir.filePath("missing.bin"));
        QVERIFY(messages.isEmpty());
        QCOMPARE(builds, 0);
        QCOMPARE(Bytes(view->CurrentConfig()), QByteArray(44, '\0'));
    }

    void badFilesChangeNothing_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing") << "missing.bin"
                                 << "Cannot open file \"%1\". " + NoSuchFile;
        QTest::newRow("folder") << "folder.bin"
                                << "Cannot open file \"%1\". ";
        QTest::newRow("under a file") << "plain/x.bin"
                                      << "Cannot open file \"%1\". ";
        QTest::newRow("empty") << "empty.bin"
                               << "Stream read error";
        QTest::newRow("short") << "short.bin"
                               << "Stream read error";
        QTest::newRow("unreadable") << "/proc/self/mem"
                                    << "Stream read error";
    }

    void badFilesChangeNothing() {
        QFETCH(QString, name);
        QFETCH(QString, message);
        QTemporaryDir dir;
        WriteFile(dir.filePath("empty.bin"), {});
        WriteFile(dir.filePath("short.bin"), RecordOf(SamplePayload(), 0).left(43));
        WriteFile(dir.filePath("plain"), "x");
        QVERIFY(QDir(dir.path()).mkdir("folder.bin"));
        Connect();
        Receive(SamplePayload());
        const QByteArray record = Bytes(view->CurrentConfig());
        const QStringList controls = Snapshot(form.get());
        builds = 0;

#ifdef Q_OS_WIN
        if (name.startsWith('/'))
            QSKIP("no /proc on Windows");
#endif
        const QString path = name.startsWith('/') ? name : dir.filePath(name);
        view->FileOpen1Accept(path);
        QCOMPARE(messages.size(), 1);
        const QString expected = message.contains("%1") ? message.arg(Native(path)) : message;
        QVERIFY2(messages.first().startsWith(expected), qPrintable(messages.first()));
        QCOMPARE(Bytes(view->CurrentConfig()), record);
        QCOMPARE(Snapshot(form.get()), controls);
        QCOMPARE(builds, 0);
        QVERIFY(!link->Link.WritePending);
        QVERIFY(link->PollingActive());
    }

    void saveWritesTheRecordUnderTheRightName() {
        QTemporaryDir dir;
        link->Open = false; // saving needs no link
        // Before any record is known the form's defaults are never saved.
        QVERIFY(!Ctl<QAction>("FileSaveAs1")->isEnabled());
        view->FileSaveAs1Accept(dir.filePath("site1"));
        QVERIFY(QDir(dir.path()).isEmpty());

        Connect();
        Receive(SamplePayload());
        QVERIFY(Ctl<QAction>("FileSaveAs1")->isEnabled());
        view->FileSaveAs1Accept(dir.filePath("site1"));
        view->FileSaveAs1Accept(dir.filePath("site1.BIN"));
        view->FileSaveAs1Accept(dir.filePath("cabin"));
        QCOMPARE(ReadFile(dir.filePath("site1.bin")), RecordOf(SamplePayload(), 0));
        QCOMPARE(ReadFile(dir.filePath("site1.BIN.bin")), RecordOf(SamplePayload(), 0));
        QCOMPARE(ReadFile(dir.filePath("cabin")), RecordOf(SamplePayload(), 0));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 3);
        QVERIFY(messages.isEmpty());

        // A new connection: until its detector's record is shown, the one
        // on screen may be another detector's.
        view->ConnectionStarted();
        QVERIFY(!Ctl<QAction>("FileSaveAs1")->isEnabled());
    }

    // A saved site file is replaced only when the user says so, and the
    // question names the file really written (".bin" added).
    void saveAsksBeforeReplacingAFile() {
        QTemporaryDir dir;
        WriteFile(dir.filePath("site1.bin"), "old");
        QStringList asked;
        bool replace = false;
        view->ConfirmOverwrite = [&](const QString& path) {
            asked << path;
            return replace;
        };
        Connect();
        Receive(SamplePayload());
        view->FileSaveAs1Accept(dir.filePath("site1"));
        QCOMPARE(asked, QStringList{dir.filePath("site1.bin")});
        QCOMPARE(ReadFile(dir.filePath("site1.bin")), QByteArray("old"));

        replace = true;
        view->FileSaveAs1Accept(dir.filePath("site1.bin"));
        QCOMPARE(asked.size(), 2);
        QCOMPARE(ReadFile(dir.filePath("site1.bin")), RecordOf(SamplePayload(), 0));
        view->FileSaveAs1Accept(dir.filePath("site2"));
        QCOMPARE(asked.size(), 2);
        QVERIFY(messages.isEmpty());
    }

    void failedSaveChangesNothing() {
        QTemporaryDir dir;
        WriteFile(dir.filePath("plain"), "x");
        QVERIFY(QDir(dir.path()).mkdir("cabin"));
        Connect();
        Receive(SamplePayload());
        const QByteArray record = Bytes(view->CurrentConfig());
        const QStringList controls = Snapshot(form.get());

        view->FileSaveAs1Accept(dir.filePath("cabin"));
        view->FileSaveAs1Accept(dir.filePath("plain/site1"));
        QCOMPARE(messages.size(), 2);
        QVERIFY(messages[0].startsWith(
            QStringLiteral("Cannot create file \"%1\". ").arg(Native(dir.filePath("cabin")))));
        QCOMPARE(messages[1], QStringLiteral("Cannot create file \"%1\". %2")
                                  .arg(Native(dir.filePath("plain/site1.bin")), UnderAFile));
        QCOMPARE(ReadFile(dir.filePath("plain")), QByteArray("x"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 2);
        QCOMPARE(Bytes(view->CurrentConfig()), record);
        QCOMPARE(Snapshot(form.get()), controls);
        QVERIFY(!link->Link.WritePending);
    }

    void fileActionsOpenTheirDialogs() {
        QTemporaryDir dir;
        QList<ConfigView::FileDialogKind> asked;
        QString answer = dir.filePath("act");
        view->ChooseFile = [&](ConfigView::FileDialogKind kind) {
            asked << kind;
            return answer;
        };
        Connect();
        Receive(SamplePayload());
        Ctl<QAction>("FileSaveAs1")->trigger();
        QCOMPARE(ReadFile(dir.filePath("act.bin")), RecordOf(SamplePayload(), 0));

        answer = dir.filePath("act.bin");
        Payload other = SamplePayload();
        other[2] = 44;
        WriteFile(answer, RecordOf(other, 0));
        Ctl<QAction>("FileOpen1")->trigger();
        QCOMPARE(view->CurrentConfig().Tconv(DetectorConfig::ChannelMw), 44);

        answer.clear(); // cancelled
        Ctl<QAction>("FileOpen1")->trigger();
        Ctl<QAction>("FileSaveAs1")->trigger();
        QCOMPARE(asked, (QList<ConfigView::FileDialogKind>{
                            ConfigView::FileDialogKind::Save, ConfigView::FileDialogKind::Open,
                            ConfigView::FileDialogKind::Open, ConfigView::FileDialogKind::Save}));
        QVERIFY(messages.isEmpty());
    }

    void actionsShowTheBinDialogs() {
        QTemporaryDir dir;
        Connect();
        Receive(SamplePayload());
        QString seen;
        AnswerFileDialog(dir.filePath("dialog"), &seen);
        Ctl<QAction>("FileSaveAs1")->trigger();
        QCOMPARE(seen, QStringLiteral("bin (*.bin) save 1 1"));
        QCOMPARE(ReadFile(dir.filePath("dialog.bin")), RecordOf(SamplePayload(), 0));

        // The open dialog takes a name that does not exist; the load says so.
        seen.clear();
        AnswerFileDialog(dir.filePath("absent.bin"), &seen);
        Ctl<QAction>("FileOpen1")->trigger();
        QCOMPARE(seen, QStringLiteral("bin (*.bin) open 1 1"));
        QCOMPARE(messages, QStringList{QStringLiteral("Cannot open file \"%1\". %2")
                                           .arg(Native(dir.filePath("absent.bin")), NoSuchFile)});
    }
};

QTEST_MAIN(TestConfigView)
#include "test_config_view.moc"
