// Time of one live tick on the real main form and graph: copy of the payload,
// flag unpacking and the whole live view update with the graph redraw and
// labels. The poll timer allows 10 ms per tick and a 19200-baud answer takes
// about 36 ms, so this must stay far below either.
//
// Run by hand: bench_live_tick -median 9

#include "DetectorConfig.h"
#include "LiveView.h"
#include "Payloads.h"
#include "TFormWalkTest.h"
#include "TGraphics.h"
#include "TMainForm.h"

#include <QCoreApplication>
#include <QTest>

class BenchLiveTick : public QObject {
    Q_OBJECT
    // What runs beside the live view (an int: the column type of the rows).
    enum Scene : int { Plain, Walk, WalkShown, BothWindows };
private slots:
    void liveTick_data() {
        QTest::addColumn<bool>("graphShown");
        QTest::addColumn<bool>("painted");
        QTest::addColumn<int>("scene");
        QTest::newRow("graph hidden") << false << false << int(Plain);
        QTest::newRow("graph shown") << true << false << int(Plain);
        // With the repaint of the shown graph that the tick causes.
        QTest::newRow("graph shown and painted") << true << true << int(Plain);
        // A walk through the field: the same statuses without and with the
        // Walk Test window shown and running. The difference is what a walk
        // test adds to each status, its rows' repaints included.
        QTest::newRow("a walk, graph shown and painted") << true << true << int(Walk);
        QTest::newRow("a walk, graph and walk test shown and painted")
            << true << true << int(WalkShown);
        // Both windows, as an installer watches them: the main form's bars,
        // bands, lamps and readouts painted too.
        QTest::newRow("main form and graph shown and painted") << true << true << int(BothWindows);
    }

    void liveTick() {
        QFETCH(bool, graphShown);
        QFETCH(bool, painted);
        QFETCH(int, scene);
        const bool walk = scene == Walk || scene == WalkShown;
        TMainForm form(TMainForm::Wiring::FormOnly);
        TGraphics graph;
        DetectorConfig config;
        LiveView view(&form, graph, config);
        if (scene == BothWindows) {
            form.show();
            QVERIFY(QTest::qWaitForWindowExposed(&form));
        }
        if (graphShown) {
            graph.show();
            QVERIFY(QTest::qWaitForWindowExposed(&graph));
        }
        TFormWalkTest walkTest(view.AlarmSound());
        if (scene == WalkShown) {
            walkTest.show();
            QVERIFY(QTest::qWaitForWindowExposed(&walkTest));
            walkTest.SetLinkUp(true);
            walkTest.Button_StartClick();
        }
        // A set of moving statuses, as a detector watching some activity sends.
        std::vector<StatusPayload> statuses(walk ? 160 : 64);
        for (int i = 0; i < static_cast<int>(statuses.size()); ++i) {
            StatusPayload& s = statuses[static_cast<std::size_t>(i)];
            s.BE16(At::MwLevel, (i * 37) % 700)
                .BE16(At::Pir1Level, (i * 53) % 700)
                .BE16(At::Pir2Level, (i * 71) % 700)
                .BE16(At::MwRefLevel, 300 + i % 3)
                .BE16(At::MwRangeLevel, i * 5)
                .BE16(At::Temperature, 20 + i % 2)
                .Byte(At::AccX, static_cast<std::uint8_t>(i))
                .DetectFlags(i % 8 == 0 ? 0x05 : 0x00, 0x00);
            if (walk) {
                // Some six seconds of statuses: MW for one second, then Pir
                // Down Under with Out #1, then the tamper, each with rising
                // levels while it lasts.
                const bool mw = i >= 20 && i < 45, pir2 = i >= 70 && i < 100,
                           tamper = i >= 120 && i < 130;
                s.BE16(At::MwLevel, mw ? 300 + 10 * (i - 20) : 40)
                    .BE16(At::Pir2Level, pir2 ? 250 + 8 * (i - 70) : 50)
                    .DetectFlags((mw ? 0x01 : 0) | (pir2 ? 0x10 : 0), tamper ? 0x08 : 0)
                    .DeviceFlags(pir2 ? 0x01 : 0, 0);
            }
        }
        std::size_t n = 0;
        QBENCHMARK {
            const StatusPayload& status = statuses[n++ % statuses.size()];
            view.LiveStatusReport(status.data());
            if (scene == WalkShown)
                walkTest.LiveStatusReport(view.Status(), graph.DirectConvert());
            if (painted)
                QCoreApplication::processEvents();
        }
    }
};

QTEST_MAIN(BenchLiveTick)
#include "bench_live_tick.moc"
