// Time of one live tick on the real main form and graph: copy of the payload,
// flag unpacking and the whole live view update with the graph redraw and
// labels. The poll timer allows 10 ms per tick and a 19200-baud answer takes
// about 36 ms, so this must stay far below either.
//
// Run by hand: bench_live_tick -median 9

#include "DetectorConfig.h"
#include "LiveView.h"
#include "Payloads.h"
#include "TGraphics.h"
#include "TMainForm.h"

#include <QCoreApplication>
#include <QTest>

class BenchLiveTick : public QObject {
    Q_OBJECT
private slots:
    void liveTick_data() {
        QTest::addColumn<bool>("graphShown");
        QTest::addColumn<bool>("painted");
        QTest::newRow("graph hidden") << false << false;
        QTest::newRow("graph shown") << true << false;
        // With the repaint of the shown graph that the tick causes.
        QTest::newRow("graph shown and painted") << true << true;
    }

    void liveTick() {
        QFETCH(bool, graphShown);
        QFETCH(bool, painted);
        TMainForm form(TMainForm::Wiring::FormOnly);
        TGraphics graph;
        DetectorConfig config;
        LiveView view(&form, graph, config);
        if (graphShown) {
            graph.show();
            QVERIFY(QTest::qWaitForWindowExposed(&graph));
        }
        // A set of moving statuses, as a detector watching some activity sends.
        std::vector<StatusPayload> statuses(64);
        for (int i = 0; i < 64; ++i) {
            statuses[static_cast<std::size_t>(i)]
                .BE16(At::MwLevel, (i * 37) % 700)
                .BE16(At::Pir1Level, (i * 53) % 700)
                .BE16(At::Pir2Level, (i * 71) % 700)
                .BE16(At::MwRefLevel, 300 + i % 3)
                .BE16(At::MwRangeLevel, i * 5)
                .BE16(At::Temperature, 20 + i % 2)
                .Byte(At::AccX, static_cast<std::uint8_t>(i))
                .DetectFlags(i % 8 == 0 ? 0x05 : 0x00, 0x00);
        }
        std::size_t n = 0;
        QBENCHMARK {
            view.LiveStatusReport(statuses[n++ % statuses.size()].data());
            if (painted)
                QCoreApplication::processEvents();
        }
    }
};

QTEST_MAIN(BenchLiveTick)
#include "bench_live_tick.moc"
