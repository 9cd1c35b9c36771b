// The walk test: its event rules fed status by status, its CSV as bytes, and
// its window driven through the real widgets.

#include "CsvText.h"
#include "Payloads.h"
#include "Siren.h"
#include "TFormWalkTest.h"
#include "WalkChime.h"
#include "WalkTest.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

namespace {

LiveStatus Status(const StatusPayload& p) {
    LiveStatus s;
    std::copy(p.Bytes.begin(), p.Bytes.end(), s.Bytes.begin());
    return s;
}

// A status with the given flag words and MW / Pir Down Under levels (the
// direct levels ten more, so the choice shows).
LiveStatus Flags(std::uint16_t detect, std::uint16_t device, int mw = 0, int pir2 = 0) {
    StatusPayload p;
    p.DetectFlags(detect & 0xFF, detect >> 8).DeviceFlags(device & 0xFF, device >> 8);
    p.BE16(At::MwLevel, mw).BE16(At::MwDirectLevel, mw + 10);
    p.BE16(At::Pir2Level, pir2).BE16(At::Pir2DirectLevel, pir2 + 10);
    return Status(p);
}

constexpr std::uint16_t Mw = 1u << 0, Pir2 = 1u << 4, Tamper = 1u << 11;
constexpr std::uint16_t Out1 = 1u << 0, AutoTest = 1u << 14;
// Rows of the table that show an event; the rest are blank.
int EventRows(const QTableWidget* table) {
    int rows = 0;
    while (rows < table->rowCount() && table->item(rows, 1) &&
           !table->item(rows, 1)->text().isEmpty())
        ++rows;
    return rows;
}

const QString& Name(int kind) {
    return WalkTest::KindNames()[static_cast<std::size_t>(kind)];
}

} // namespace

class TestWalkTest : public QObject {
    Q_OBJECT
private slots:
    void edgesMakeEvents() {
        WalkTest w;
        w.Feed(Flags(Mw, 0), false, 50); // before Start: nothing
        w.Start(100);
        // MW already set in the first status: an event starting there.
        w.Feed(Flags(Mw, 0, 300), false, 110);
        w.Feed(Flags(Mw, 0, 500), false, 140);
        // Several flags rise in one status, MW clears in it.
        w.Feed(Flags(Pir2 | Tamper, Out1, 200, 420), false, 170);
        // Tamper set and cleared in one status each; Pir2 peaks and goes on.
        w.Feed(Flags(Pir2, Out1, 0, 610), false, 200);
        // The auto test rises in the last status and is still set at the end.
        w.Feed(Flags(Pir2, AutoTest, 0, 90), false, 230);
        w.Stop();
        w.Feed(Flags(0, 0), false, 260); // after Stop: nothing

        const std::vector<WalkEvent>& e = w.Events();
        QCOMPARE(e.size(), std::size_t(5));
        QCOMPARE(Name(e[0].Kind), QStringLiteral("MW"));
        QCOMPARE(e[0].StartMs, 110);
        QCOMPARE(e[0].DurationMs, std::optional<std::int64_t>(60));
        QCOMPARE(e[0].Peaks[0], 500); // the clearing status does not count
        QCOMPARE((std::vector<QString>{Name(e[1].Kind), Name(e[2].Kind), Name(e[3].Kind)}),
                 (std::vector<QString>{"Pir Down Under", "Tamper", "Out #1"}));
        QCOMPARE(e[1].StartMs, 170);
        QCOMPARE(e[2].DurationMs, std::optional<std::int64_t>(30));
        QCOMPARE(e[3].DurationMs, std::optional<std::int64_t>(60));
        QCOMPARE(e[1].Peaks[2], 610);
        QVERIFY(!e[1].DurationMs && e[1].Unfinished && !e[1].LinkLostMs);
        QCOMPARE(Name(e[4].Kind), QStringLiteral("Auto test"));
        QVERIFY(!e[4].DurationMs);
        QCOMPARE(WalkCountsText(w.Counts()),
                 QStringLiteral("MW 1, Pir Down Under 1, Tamper 1, Out #1 1, Auto test 1"));

        // Start again: the rows stay, a flag still set rises anew.
        w.Start(300);
        w.Feed(Flags(Pir2, 0, 0, 10), true, 310);
        w.LinkLost(400);
        QCOMPARE(w.Events().size(), std::size_t(6));
        QCOMPARE(w.Events()[5].Peaks[2], 20); // the direct level
        QCOMPARE(w.Events()[5].LinkLostMs, std::optional<std::int64_t>(400));
        QCOMPARE(WalkDurationShown(w.Events()[5], false).left(13), QStringLiteral("link lost at "));
        QCOMPARE(w.Run(300).Events.size(), std::size_t(1)); // this connection's rows
        w.Clear();
        QVERIFY(w.Events().empty());
    }

    void csvHasBomHeaderAndRowsInOrder() {
        const std::int64_t t = QDateTime(QDate(2026, 3, 2), QTime(9, 8, 7, 6)).toMSecsSinceEpoch();
        std::vector<WalkEvent> events{
            {8, t + 1000, std::nullopt, {1, 2, 3}, true, std::nullopt},
            {0, t, 250, {700, 0, 65535}, false, std::nullopt},
        };
        QTemporaryDir dir;
        const QString path = dir.filePath("walk.csv");
        QCOMPARE(WriteWalkCsv(path, events), QString());
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("\xEF\xBB\xBF"
                                            "Start,Event,Duration (ms),MW peak,Pir High above peak,"
                                            "Pir Down Under peak\r\n"
                                            "2026-03-02 09:08:07.006,MW,250,700,0,65535\r\n"
                                            "2026-03-02 09:08:08.006,Out #1,,1,2,3\r\n"));
        QVERIFY(!WriteWalkCsv(dir.filePath("none/walk.csv"), events).isEmpty());
    }

    // The window through its widgets: rows at once, the set one lit, counts,
    // the time since Start, the chime that mute silences, Clear.
    void windowLatchesAndLightsRows() {
        Siren siren;
        TFormWalkTest window(siren);
        std::int64_t now = QDateTime(QDate(2026, 3, 2), QTime(10, 0, 0)).toMSecsSinceEpoch();
        window.Now = [&now] { return now; };
        auto* start = window.findChild<QPushButton*>("Button_Start");
        auto* stop = window.findChild<QPushButton*>("Button_Stop");
        auto* clear = window.findChild<QPushButton*>("Button_Clear");
        auto* sound = window.findChild<QCheckBox*>("CheckBox_Sound");
        auto* table = window.findChild<QTableWidget*>("Table_Events");
        auto* counts = window.findChild<QLabel*>("Label_Counts");
        auto* elapsed = window.findChild<QLabel*>("Label_Elapsed");
        QVERIFY(start && stop && clear && sound && table && counts && elapsed);
        window.show();

        QVERIFY(!start->isEnabled()); // no link, no statuses
        window.SetLinkUp(true);
        QTest::mouseClick(start, Qt::LeftButton);
        QVERIFY(window.Test().Running() && stop->isEnabled() && !start->isEnabled());
        sound->setChecked(true);

        now += 1500;
        window.LiveStatusReport(Flags(Mw, 0, 480), false);
        QCOMPARE(EventRows(table), 1);
        QCOMPARE(table->item(0, 0)->text(), QStringLiteral("10:00:01.500"));
        QCOMPARE(table->item(0, 1)->text(), QStringLiteral("MW"));
        QCOMPARE(table->item(0, 2)->text(), QStringLiteral("set"));
        QCOMPARE(table->item(0, 1)->background().color(), TFormWalkTest::SetColour);
        QCOMPARE(window.Chime().Plays(), 1);
        QCOMPARE(elapsed->text(), QStringLiteral("00:00:01"));

        siren.SetMuted(true);
        now += 700;
        window.LiveStatusReport(Flags(Pir2, 0, 0, 300), false);
        QCOMPARE(EventRows(table), 2);
        QCOMPARE(table->item(0, 2)->text(), QStringLiteral("700"));
        QCOMPARE(table->item(0, 1)->background().style(), Qt::NoBrush);
        QCOMPARE(table->item(1, 1)->background().color(), TFormWalkTest::SetColour);
        QCOMPARE(window.Chime().Plays(), 1); // muted
        QCOMPARE(counts->text(), QStringLiteral("MW 1, Pir Down Under 1"));

        // The lost link stops it; the rows stay, the open one marked.
        now += 1000;
        window.LinkLost();
        QVERIFY(!window.Test().Running());
        QCOMPARE(EventRows(table), 2);
        QCOMPARE(table->item(1, 2)->text(), QStringLiteral("link lost at 10:00:03.200"));
        QCOMPARE(table->item(1, 1)->background().style(), Qt::NoBrush);
        window.LiveStatusReport(Flags(Tamper, 0), false);
        QCOMPARE(EventRows(table), 2);

        QTest::mouseClick(clear, Qt::LeftButton);
        QCOMPARE(EventRows(table), 0);
        QCOMPARE(counts->text(), QStringLiteral("none"));
    }
};

QTEST_MAIN(TestWalkTest)
#include "test_walk_test.moc"
