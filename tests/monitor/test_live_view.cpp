#include "DetectorConfig.h"
#include "FindControl.h"
#include "GraphDrawing.h"
#include "GraphImage.h"
#include "LiveView.h"
#include "Payloads.h"
#include "Shape.h"
#include "Siren.h"
#include "SirenPlayer.h"
#include "TGraphics.h"
#include "TMainForm.h"
#include "TrackBar.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

const QString Deg = QStringLiteral("\u00B0C");

// The real main form with only this view bound to it.
struct Fixture {
    TMainForm form{TMainForm::Wiring::FormOnly};
    TGraphics graph;
    DetectorConfig config;
    LiveView view{&form, graph, config};

    template <class T> T* c(const char* name) { return FindControl<T>(&form, name); }
    QProgressBar* bar(const char* name) { return c<QProgressBar>(name); }
    QColor lamp(const char* name) { return c<Shape>(name)->brushColor(); }
    void send(const StatusPayload& p) { view.LiveStatusReport(p.data()); }
};

const char* const AllLamps[] = {
    "Shape_Mw",           "Shape_Pir1",       "Shape_Pir2",         "Shape_Acc1",
    "Shape_Acc2",         "Shape_Acc1Noise",  "Shape_Acc2Noise",    "Shape_OutTamper",
    "Shape_LedPowerFail", "Shape_LedMwFault", "Shape_LedPir1Fault", "Shape_LedPir2Fault",
    "Shape_LedCPUFault",  "Shape_Out1State",  "Shape_Out2State",    "Shape_Out3State"};

QRgb Pixel(const QImage& image, int x, int y) {
    return image.pixel(x, y) & 0xFFFFFF;
}

QRgb Rgb(const QColor& c) {
    return c.rgb() & 0xFFFFFF;
}

int CountColour(const QImage& image, const QColor& colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += Pixel(image, x, y) == Rgb(colour);
    return n;
}

QString SirenFile() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/SIREN1.WAV");
}

} // namespace

class TestLiveView : public QObject {
    Q_OBJECT
private slots:
    void allZeroStatus() {
        Fixture f;
        f.send(StatusPayload());
        for (const char* name : {"ProgressBar1", "ProgressBar2", "ProgressBar3", "ProgressBar_Mask",
                                 "ProgressBar_Acc1", "ProgressBar_Acc2", "ProgressBar_Acc1Noise",
                                 "ProgressBar_Acc2Noise", "ProgressBar_acc_X"})
            QCOMPARE(f.bar(name)->value(), 0);
        for (const char* name : AllLamps)
            QCOMPARE(f.lamp(name), LiveView::Gray);
        auto* diag = f.c<Shape>("Shape_DiagnosticOn");
        QCOMPARE(diag->brushColor(), diag->palette().color(QPalette::Button));
        QCOMPARE(f.graph.Ch1Points[0], (GraphPoint{0, 80}));
        QCOMPARE(f.graph.Ch2Points[0], (GraphPoint{0, 160}));
        QCOMPARE(f.graph.Ch3Points[0], (GraphPoint{0, 240}));
        for (int i : {0, 1, 500, 979}) {
            QCOMPARE(f.graph.Ch4Points[i], (GraphPoint{i, 81}));
            QCOMPARE(f.graph.Ch5Points[i], (GraphPoint{i, 161}));
            QCOMPARE(f.graph.Ch6Points[i], (GraphPoint{i, 241}));
        }
        // The range marks show no level: the band starts at the maximum.
        QCOMPARE(f.c<TrackBar>("TrackBar_MW_TRange")->selStart(), 500);
        QCOMPARE(f.c<TrackBar>("TrackBar_MW_TRange")->selEnd(), 500);
        QCOMPARE(f.c<TrackBar>("TrackBar_PIR2_TRange")->selStart(), 700);
        QCOMPARE(f.c<QLabel>("Label_Acc_X")->text(), QStringLiteral("0"));
        QCOMPARE(f.c<QLabel>("Label13")->text(), QStringLiteral("---"));
        QCOMPARE(f.bar("ProgressBar_Temperatura")->value(), -30);
        QCOMPARE(f.view.PointIndex(), 1);

        // The picture: traces, dashed reference lines and labels.
        const QImage& img = f.graph.Screen();
        QCOMPARE(Pixel(img, 100, 80), Rgb(GraphColours::Mw));
        QCOMPARE(Pixel(img, 100, 160), Rgb(GraphColours::Pir1));
        QCOMPARE(Pixel(img, 100, 240), Rgb(GraphColours::Pir2));
        QCOMPARE(Pixel(img, 100, 81), Rgb(GraphColours::MwReference)); // 100 % 24 = 4: ink
        QCOMPARE(Pixel(img, 100, 161), Rgb(GraphColours::Pir1Reference));
        QCOMPARE(Pixel(img, 100, 241), Rgb(GraphColours::Pir2Reference));
        QCOMPARE(Pixel(img, 1, 81), Rgb(GraphColours::LabelBox));  // "MW" at (0+1, 80+1)
        QCOMPARE(Pixel(img, 1, 161), Rgb(GraphColours::LabelBox)); // "UP PIR"
        QCOMPARE(Pixel(img, 1, 241), Rgb(GraphColours::LabelBox)); // "DOWN PIR"
        QCOMPARE(Pixel(img, 0, 81), Rgb(GraphColours::MwReference));
    }

    void levelsRoundHalfToEven() {
        Fixture f;
        const int levels[] = {5, 15, 25};
        for (int v : levels)
            f.send(
                StatusPayload().BE16(At::MwLevel, v).BE16(At::Pir1Level, v).BE16(At::Pir2Level, v));
        QCOMPARE(f.graph.Ch1Points[0].Y, 80);
        QCOMPARE(f.graph.Ch1Points[1].Y, 78);
        QCOMPARE(f.graph.Ch1Points[2].Y, 78);
        QCOMPARE(f.graph.Ch2Points[1].Y, 158);
        QCOMPARE(f.graph.Ch3Points[2].Y, 238);
        QCOMPARE(f.graph.Ch1Points[3].Y, 80); // not yet written
        QCOMPARE(f.bar("ProgressBar1")->value(), 25);
        QCOMPARE(f.bar("ProgressBar3")->value(), 25);

        // Out-of-range values sit at the bars' ends; the trace leaves the image.
        f.send(StatusPayload()
                   .BE16(At::MwLevel, 65535)
                   .BE16(At::Acc2Noise, 401)
                   .BE16(At::MaskLevel, 9000)
                   .BE16(At::MwRangeLevel, 120));
        QCOMPARE(f.bar("ProgressBar1")->value(), 700);
        QCOMPARE(f.bar("ProgressBar_Acc2Noise")->value(), 400);
        QCOMPARE(f.bar("ProgressBar_Mask")->value(), 750);
        QCOMPARE(f.graph.Ch1Points[3].Y, 80 - 6554);
        QCOMPARE(f.c<TrackBar>("TrackBar_MW_TRange")->selStart(), 380);
    }

    void referenceLevels() {
        Fixture f;
        f.send(StatusPayload()
                   .BE16(At::MwRefLevel, 5)
                   .BE16(At::Pir1RefLevel, 900)
                   .BE16(At::Pir2RefLevel, 15));
        QCOMPARE(f.graph.Ch4Points[7], (GraphPoint{7, 80}));
        QCOMPARE(f.graph.Ch5Points[7], (GraphPoint{7, 71}));      // -9 + 80
        QCOMPARE(f.graph.Ch6Points[979], (GraphPoint{979, 240})); // 79.5 -> 80, + 160
        f.send(StatusPayload().BE16(At::MwRefLevel, 900));
        QCOMPARE(f.graph.Ch4Points[0].Y, -9);
        QCOMPARE(f.graph.Ch4Points[979].Y, -9);
    }

    void directConvert() {
        Fixture f;
        f.graph.DirectConvert1->trigger();
        QVERIFY(f.graph.DirectConvert());
        f.send(StatusPayload()
                   .BE16(At::MwLevel, 100)
                   .BE16(At::MwDirectLevel, 300)
                   .BE16(At::Pir1Level, 100)
                   .BE16(At::Pir1DirectLevel, 400)
                   .BE16(At::Pir2Level, 100)
                   .BE16(At::Pir2DirectLevel, 500));
        QCOMPARE(f.bar("ProgressBar1")->value(), 300);
        QCOMPARE(f.bar("ProgressBar2")->value(), 400);
        QCOMPARE(f.bar("ProgressBar3")->value(), 500);
        QCOMPARE(f.graph.Ch1Points[0].Y, 50);
        QCOMPARE(f.graph.Ch2Points[0].Y, 120);
        QCOMPARE(f.graph.Ch3Points[0].Y, 190);
        for (const PointArray* ref : {&f.graph.Ch4Points, &f.graph.Ch5Points, &f.graph.Ch6Points}) {
            QCOMPARE(ref->size(), std::size_t{980});
            QCOMPARE(std::count(ref->begin(), ref->end(), GraphPoint{0, 0}), 980);
        }
        QCOMPARE(CountColour(f.graph.Screen(), GraphColours::MwReference), 0);
        QCOMPARE(CountColour(f.graph.Screen(), GraphColours::Pir1Reference), 0);
        QCOMPARE(CountColour(f.graph.Screen(), GraphColours::Pir2Reference), 0);

        // Unchecked again: the converted levels and the lines return.
        f.graph.DirectConvert1->trigger();
        f.send(StatusPayload().BE16(At::MwLevel, 100).BE16(At::MwDirectLevel, 300));
        QCOMPARE(f.graph.Ch1Points[1].Y, 70);
        QCOMPARE(f.graph.Ch4Points[500], (GraphPoint{500, 81}));
        QVERIFY(CountColour(f.graph.Screen(), GraphColours::MwReference) > 500);
    }

    void temperature() {
        Fixture f;
        auto* comp = f.c<QCheckBox>("CheckBox_EN_TempComp");
        auto* text = f.c<QLabel>("Label13");
        auto* bar = f.bar("ProgressBar_Temperatura");
        const StatusPayload minus10 = StatusPayload().Byte(38, 0xFF).Byte(39, 0xF6);
        comp->setChecked(true);
        f.send(minus10);
        QCOMPARE(text->text(), QStringLiteral("-10") + Deg);
        QCOMPARE(bar->value(), -10);
        f.send(StatusPayload().BE16(At::Temperature, 100));
        QCOMPARE(text->text(), QStringLiteral("100") + Deg);
        QCOMPARE(bar->value(), 70);
        comp->setChecked(false);
        f.send(minus10);
        QCOMPARE(text->text(), QStringLiteral("---"));
        QCOMPARE(bar->value(), -30);
    }

    void tamperReadouts() {
        Fixture f;
        f.send(StatusPayload().Byte(At::AccX, 0x80).Byte(At::AccY, 0x7F).Byte(At::AccZ, 0xFB));
        QCOMPARE(f.c<QLabel>("Label_Acc_X")->text(), QStringLiteral("-128"));
        QCOMPARE(f.bar("ProgressBar_acc_X")->value(), -127);
        QCOMPARE(f.c<QLabel>("Label_Acc_Y")->text(), QStringLiteral("127"));
        QCOMPARE(f.bar("ProgressBar_acc_Y")->value(), 127);
        QCOMPARE(f.c<QLabel>("Label_Acc_Z")->text(), QStringLiteral("-5"));
        QCOMPARE(f.bar("ProgressBar_acc_Z")->value(), -5);
    }

    void eachFlagLightsItsOwnLamp_data() {
        QTest::addColumn<int>("detect");
        QTest::addColumn<int>("device");
        QTest::addColumn<QString>("lamp");
        QTest::addColumn<QColor>("colour");
        const auto row = [](const char* tag, int detect, int device, const char* lamp,
                            const QColor& colour) {
            QTest::newRow(tag) << detect << device << QString::fromLatin1(lamp) << colour;
        };
        row("mw 01 00", 0x0001, 0, "Shape_Mw", LiveView::Lime);
        row("pir1", 0x0004, 0, "Shape_Pir1", LiveView::Maroon);
        row("pir2", 0x0010, 0, "Shape_Pir2", LiveView::Maroon);
        row("mask 1", 0x0080, 0, "Shape_Acc1", LiveView::Maroon);
        row("mask 2", 0x0100, 0, "Shape_Acc2", LiveView::Maroon);
        row("tamper 00 08", 0x0800, 0, "Shape_OutTamper", LiveView::Maroon);
        row("noise 1", 0x1000, 0, "Shape_Acc1Noise", LiveView::Maroon);
        row("noise 2", 0x2000, 0, "Shape_Acc2Noise", LiveView::Maroon);
        row("out 1", 0, 0x0001, "Shape_Out1State", LiveView::Red);
        row("out 2", 0, 0x0002, "Shape_Out2State", LiveView::Red);
        row("out 3", 0, 0x0004, "Shape_Out3State", LiveView::Red);
        row("power", 0, 0x0040, "Shape_LedPowerFail", LiveView::Maroon);
        row("mw fault", 0, 0x0080, "Shape_LedMwFault", LiveView::Maroon);
        row("pir1 fault", 0, 0x0100, "Shape_LedPir1Fault", LiveView::Maroon);
        row("pir2 fault", 0, 0x0200, "Shape_LedPir2Fault", LiveView::Maroon);
        row("cpu fault", 0, 0x0400, "Shape_LedCPUFault", LiveView::Maroon);
        row("auto test", 0, 0x4000, "Shape_DiagnosticOn", LiveView::Red);
    }

    void eachFlagLightsItsOwnLamp() {
        QFETCH(int, detect);
        QFETCH(int, device);
        QFETCH(QString, lamp);
        QFETCH(QColor, colour);
        Fixture f;
        const QColor face = f.c<Shape>("Shape_DiagnosticOn")->palette().color(QPalette::Button);
        f.send(StatusPayload()
                   .DetectFlags(detect & 0xFF, detect >> 8)
                   .DeviceFlags(device & 0xFF, device >> 8));
        QCOMPARE(f.lamp(qPrintable(lamp)), colour);
        for (const char* other : AllLamps)
            if (lamp != QLatin1String(other))
                QVERIFY2(f.lamp(other) == LiveView::Gray, other);
        if (lamp != QLatin1String("Shape_DiagnosticOn"))
            QCOMPARE(f.lamp("Shape_DiagnosticOn"), face);
        // The next clear status puts the lamp out again.
        f.send(StatusPayload());
        QCOMPARE(f.lamp(qPrintable(lamp)),
                 lamp == QLatin1String("Shape_DiagnosticOn") ? face : LiveView::Gray);
    }

    void noiseFlagsSetTheCheckBoxesOnce() {
        Fixture f;
        auto* pir1 = f.c<QCheckBox>("CheckBox_NOISE_PIR1");
        auto* pir2 = f.c<QCheckBox>("CheckBox_NOISE_PIR2");
        QSignalSpy toggled1(pir1, &QCheckBox::toggled);
        QSignalSpy toggled2(pir2, &QCheckBox::toggled);
        const StatusPayload on1 = StatusPayload().DeviceFlags(0x10, 0x00);
        f.send(on1);
        QVERIFY(pir1->isChecked());
        QCOMPARE(toggled1.count(), 1);
        f.send(on1);
        f.send(on1);
        QCOMPARE(toggled1.count(), 1);
        QCOMPARE(toggled2.count(), 0);

        f.send(StatusPayload().DeviceFlags(0x20, 0x00));
        QVERIFY(!pir1->isChecked());
        QVERIFY(pir2->isChecked());
        QCOMPARE(toggled1.count(), 2);
        QCOMPARE(toggled2.count(), 1);
    }

    void noiseReductionCaptionsFollowTheConfiguration() {
        Fixture f;
        auto* pir1 = f.c<QCheckBox>("CheckBox_NOISE_PIR1");
        auto* pir2 = f.c<QCheckBox>("CheckBox_NOISE_PIR2");
        f.send(StatusPayload());
        QVERIFY(pir1->isEnabled() && pir2->isEnabled());
        QCOMPARE(pir1->text(), QStringLiteral("PIR UP(Noise Reduction)"));
        QCOMPARE(pir2->text(), QStringLiteral("PIR DOWN(Noise Reduction)"));

        f.config.Bytes[23] = 0x08; // temperature compensation, flag word low byte first
        f.send(StatusPayload().DeviceFlags(0x20, 0x00));
        QVERIFY(!pir1->isEnabled() && !pir2->isEnabled());
        QCOMPARE(pir1->text(), QStringLiteral("PIR UP(Auto change N.R.)"));
        QCOMPARE(pir2->text(), QStringLiteral("PIR DOWN(Auto change N.R.)"));
        QVERIFY(!pir1->isChecked() && pir2->isChecked()); // the detector's choice shows

        f.config.Bytes[23] = 0x00;
        f.config.Bytes[22] = 0xFF; // other flags do not matter
        f.send(StatusPayload());
        QVERIFY(pir1->isEnabled());
        QCOMPARE(pir2->text(), QStringLiteral("PIR DOWN(Noise Reduction)"));
    }

    void sweepWrapsAtTheRightEdge() {
        Fixture f;
        QCOMPARE(f.graph.PointCount, 980);
        for (int i = 0; i < 979; ++i)
            f.send(StatusPayload());
        QCOMPARE(f.view.PointIndex(), 979);
        f.send(StatusPayload().BE16(At::MwLevel, 200)); // the 980th status
        QCOMPARE(f.graph.Ch1Points[979].Y, 60);
        QCOMPARE(f.view.PointIndex(), 0);
        // The edge rising to the last column is drawn; its label lies beyond the
        // right edge and is clipped.
        QCOMPARE(Pixel(f.graph.Screen(), 979, 61), Rgb(GraphColours::Mw));
        f.send(StatusPayload().BE16(At::MwLevel, 300));
        QCOMPARE(f.graph.Ch1Points[0].Y, 50);
        QCOMPARE(f.graph.Ch1Points[979].Y, 60);
        QCOMPARE(f.view.PointIndex(), 1);
        // The label jumped back to the left edge.
        QCOMPARE(Pixel(f.graph.Screen(), 1, 51), Rgb(GraphColours::LabelBox));

        f.view.ResetPointIndex();
        f.send(StatusPayload().BE16(At::MwLevel, 400));
        QCOMPARE(f.graph.Ch1Points[0].Y, 40);
    }

    void labelsFollowTheNewestPoint() {
        Fixture f;
        f.send(StatusPayload().BE16(At::MwLevel, 300).BE16(At::Pir1Level, 200));
        const QRgb aqua = Rgb(GraphColours::LabelBox);
        QCOMPARE(Pixel(f.graph.Screen(), 1, 51), aqua);
        QCOMPARE(Pixel(f.graph.Screen(), 1, 141), aqua);
        f.send(StatusPayload());
        // The old labels are gone, the new ones sit one column on.
        QVERIFY(Pixel(f.graph.Screen(), 1, 51) != aqua);
        QVERIFY(Pixel(f.graph.Screen(), 1, 141) != aqua);
        QCOMPARE(Pixel(f.graph.Screen(), 2, 81), aqua);
        QCOMPARE(Pixel(f.graph.Screen(), 1, 81), Rgb(GraphColours::MwReference));
    }

    // Only what changed is redrawn and repainted: after every status the
    // window must show exactly the whole picture, wherever the traces, labels
    // and reference lines moved, also across the wrap at the right edge.
    void shownGraphMatchesThePictureAfterEveryStatus() {
        Fixture f;
        f.graph.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.graph));
        const QPoint origin = f.graph.imgScreen->mapTo(&f.graph, QPoint(0, 0));
        const auto shown = [&] {
            QCoreApplication::processEvents();
            return f.graph.screen()
                ->grabWindow(f.graph.winId(), origin.x(), origin.y(), f.graph.imgScreen->width(),
                             f.graph.imgScreen->height())
                .toImage()
                .convertToFormat(QImage::Format_RGB32);
        };
        for (int i = 0; i < 40; ++i) {
            if (i == 30) // the sweep wraps after the next status
                while (f.view.PointIndex() < f.graph.PointCount - 1)
                    f.send(StatusPayload());
            f.send(StatusPayload()
                       .BE16(At::MwLevel, (i * 137) % 1000)
                       .BE16(At::Pir1Level, (i * 71) % 800)
                       .BE16(At::MwRefLevel, i % 10 == 5 ? 400 : 200));
            QCOMPARE(shown(), f.graph.Screen().convertToFormat(QImage::Format_RGB32));
            // The picture, redrawn where it changed, is the whole one.
            const TGraphics& g = f.graph;
            QImage whole;
            BeamData(g.Ch1Points, g.Ch2Points, g.Ch3Points, g.Ch4Points, g.Ch5Points, g.Ch6Points,
                     whole, g.Image2);
            const auto newest =
                static_cast<std::size_t>((f.view.PointIndex() + g.PointCount - 1) % g.PointCount);
            const TraceLabel labels[] = {
                {QStringLiteral("MW"), g.Ch1Points[newest].X + 1, g.Ch1Points[newest].Y + 1},
                {QStringLiteral("UP PIR"), g.Ch2Points[newest].X + 1, g.Ch2Points[newest].Y + 1},
                {QStringLiteral("DOWN PIR"), g.Ch3Points[newest].X + 1, g.Ch3Points[newest].Y + 1}};
            DrawTraceLabels(whole, labels, 3);
            QCOMPARE(f.graph.Screen(), whole);
        }
    }

    // A status repaints only the widgets whose value it changed, each alone:
    // a readout that repaints what lies beneath it, or one that repaints on
    // an unchanged value, costs every status its drawing.
    void statusRepaintsOnlyWhatChanged() {
        Fixture f;
        f.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.form));
        const auto status = [](int range, int pir1, int accX = 5) {
            return StatusPayload()
                .BE16(At::MwRangeLevel, range)
                .BE16(At::Pir1Level, pir1)
                .BE16(At::MwLevel, 300)
                .BE16(At::Temperature, 21)
                .Byte(At::AccX, static_cast<std::uint8_t>(accX));
        };
        // In the main window only: the graph takes a new column every status.
        struct Painted : QObject {
            QWidget* window = nullptr;
            QStringList names;
            bool eventFilter(QObject* watched, QEvent* event) override {
                const bool inWindow =
                    watched->isWidgetType() && static_cast<QWidget*>(watched)->window() == window;
                if (inWindow && event->type() == QEvent::Paint)
                    names << watched->objectName();
                // A new readout text must not lay out its group again.
                if (inWindow && event->type() == QEvent::LayoutRequest)
                    names << "layout of " + watched->objectName();
                return false;
            }
        } painted;
        painted.window = &f.form;
        qApp->installEventFilter(&painted);
        const auto sorted = [&] {
            QStringList names = painted.names;
            names.sort();
            return names;
        };
        // The first status and whatever it brings, until nothing is painted.
        f.send(status(100, 100));
        do {
            painted.names.clear();
            QTest::qWait(100);
        } while (!painted.names.isEmpty());
        // The same status again: nothing in the main window changes.
        f.send(status(100, 100));
        QTest::qWait(100);
        QCOMPARE(sorted(), QStringList());
        // The range band of one channel and the level of another, each alone.
        f.send(status(300, 500));
        QTRY_COMPARE(sorted(), (QStringList{"ProgressBar2", "TrackBar_MW_TRange"}));
        QTest::qWait(100);
        QCOMPARE(sorted(), (QStringList{"ProgressBar2", "TrackBar_MW_TRange"}));
        // A new tamper reading changes a text, which lays out nothing.
        painted.names.clear();
        f.send(status(300, 500, 40));
        QCOMPARE(f.form.findChild<QLabel*>("Label_Acc_X")->text(), QString("40"));
        QTest::qWait(100);
        QCOMPARE(painted.names.filter("layout of"), QStringList());
        qApp->removeEventFilter(&painted);
    }

    void narrowerGraphRestartsTheSweep() {
        Fixture f;
        f.graph.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.graph));
        for (int i = 0; i < 600; ++i)
            f.send(StatusPayload());
        QCOMPARE(f.view.PointIndex(), 600);
        f.graph.resize(504, 281);
        QCoreApplication::processEvents();
        QCOMPARE(f.graph.PointCount, 500);
        f.send(StatusPayload().BE16(At::MwLevel, 100));
        QCOMPARE(f.graph.Ch1Points[0].Y, 70);
        QCOMPARE(f.view.PointIndex(), 1);

        // An image of no width: empty arrays, nothing written, no label.
        f.graph.resize(4, 281);
        QCoreApplication::processEvents();
        QCOMPARE(f.graph.PointCount, 0);
        QVERIFY(f.graph.Ch1Points.empty());
        f.send(StatusPayload().BE16(At::MwLevel, 100));
        f.send(StatusPayload());
        QCOMPARE(f.view.PointIndex(), 0);
        QCOMPARE(f.bar("ProgressBar1")->value(), 0);

        f.graph.resize(104, 281);
        QCoreApplication::processEvents();
        f.send(StatusPayload().BE16(At::MwLevel, 100));
        QCOMPARE(f.graph.Ch1Points[0].Y, 70);
    }

    void alarmStartsTheSirenOncePerPlayback() {
        Fixture f;
        if (!f.view.AlarmSound().MediaPlayer1->IsAvailable())
            QSKIP("no media backend on this platform");
        QVERIFY(f.view.AlarmSound().SetSoundFile(SirenFile()));
        QSignalSpy started(&f.view.AlarmSound(), &Siren::Started);

        f.send(StatusPayload().DetectFlags(0x00, 0x08)); // tamper
        QCOMPARE(started.count(), 1);
        QVERIFY(f.view.AlarmSound().SirenPlaying());
        f.view.AlarmSound().MediaPlayer1Notify();

        const StatusPayload out1 = StatusPayload().DeviceFlags(0x01, 0x00);
        for (int i = 0; i < 3; ++i)
            f.send(out1);
        QCOMPARE(started.count(), 2);
        f.view.AlarmSound().MediaPlayer1Notify();
        f.send(out1);
        QCOMPARE(started.count(), 3);
        f.view.AlarmSound().MediaPlayer1Notify();

        // Mask channels alarm too; detections alone do not.
        f.send(StatusPayload().DetectFlags(0x80, 0x00));
        QCOMPARE(started.count(), 4);
        f.view.AlarmSound().MediaPlayer1Notify();
        f.send(StatusPayload().DetectFlags(0x15, 0x30).DeviceFlags(0xF0, 0x47));
        QCOMPARE(started.count(), 4);
    }

    void withoutSoundFileTheAlarmIsSilent() {
        Fixture f;
        QSignalSpy started(&f.view.AlarmSound(), &Siren::Started);
        f.send(StatusPayload().DeviceFlags(0x07, 0x00).DetectFlags(0x80, 0x09));
        QCOMPARE(started.count(), 0);
        QVERIFY(!f.view.AlarmSound().SirenPlaying());
        QCOMPARE(f.lamp("Shape_Out3State"), LiveView::Red);
    }

    void missingControlIsReported() {
        TMainForm form(TMainForm::Wiring::FormOnly);
        delete FindControl<QLabel>(&form, "Label_Acc_Z");
        TGraphics graph;
        DetectorConfig config;
        QVERIFY_THROWS_EXCEPTION(std::logic_error, LiveView(&form, graph, config));
    }
};

QTEST_MAIN(TestLiveView)
#include "test_live_view.moc"
