#include "EventLogView.h"
#include "FindControl.h"
#include "Payloads.h"
#include "StringGrid.h"
#include "TMainForm.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString Deg = QStringLiteral("\u00B0C");

struct Fixture {
    TMainForm form{TMainForm::Wiring::FormOnly};
    EventLogView view{&form};
    StringGrid& grid = *FindControl<StringGrid>(&form, "StringGrid1");

    void send(const EventPayload& p) { view.EventLogReport(p.data()); }
    QString cell(int col, int row) const { return grid.cell(col, row); }
};

// Ten records, each with its own values, so that a cell from the wrong
// record or column shows.
EventPayload Distinct(int base) {
    EventPayload p;
    for (int k = 0; k < 10; ++k) {
        std::array<int, 10> words{};
        for (int w = 0; w < 10; ++w)
            words[static_cast<std::size_t>(w)] = base + 100 * k + w;
        p.Record(k, static_cast<std::uint8_t>(1u << (k % 8)), 0x00, words);
    }
    return p;
}

} // namespace

class TestEventLog : public QObject {
    Q_OBJECT
private slots:
    void recordsFillTheirRows() {
        Fixture f;
        f.send(Distinct(1000));
        const char* types[] = {"MW",   "UP PIR",    "DOWN PIR", "MASK", "BL 1",
                               "BL 2", "Gen Alarm", "Bs On",    "MW",   "UP PIR"};
        for (int k = 0; k < 10; ++k) {
            const int row = k + 1;
            QCOMPARE(f.cell(1, row), QString::fromLatin1(types[k]));
            for (int col = 2; col <= 8; ++col)
                QCOMPARE(f.cell(col, row), QString::number(1000 + 100 * k + col - 2));
            QCOMPARE(f.cell(9, row), QString::number(1000 + 100 * k + 7) + Deg);
        }
        // Headers and row numbers stay as the form set them.
        QCOMPARE(f.cell(1, 0), QStringLiteral("ALLARM"));
        QCOMPARE(f.cell(9, 0), QStringLiteral("Ntc:"));
        QCOMPARE(f.cell(0, 1), QStringLiteral("1 "));
        QCOMPARE(f.cell(0, 10), QStringLiteral("10 "));
        QCOMPARE(f.grid.columnCount(), 10); // the auxiliary word gets no column
    }

    void documentedRecords() {
        Fixture f;
        EventPayload p;
        p.Record(0, 0x03, 0x00, {65535, 0, 0, 0, 0, 0, 0, 0xFFFB, 0, 0});
        p.Record(1, 0x00, 0x00, {1, 2, 3, 4, 5, 6, 7, 0, 0, 0});
        p.Record(2, 0x00, 0x80, {});
        p.Record(3, 0x00, 0x40, {});
        p.Record(4, 0xFF, 0xFF, {});
        f.send(p);
        QCOMPARE(f.cell(1, 1), QStringLiteral("MW"));
        QCOMPARE(f.cell(2, 1), QStringLiteral("65535"));
        QCOMPARE(f.cell(9, 1), QStringLiteral("-5") + Deg);
        QCOMPARE(f.cell(1, 2), QString());
        QCOMPARE(f.cell(2, 2), QStringLiteral("1"));
        QCOMPARE(f.cell(8, 2), QStringLiteral("7"));
        QCOMPARE(f.cell(9, 2), QStringLiteral("0") + Deg);
        QCOMPARE(f.cell(1, 3), QStringLiteral("---"));
        QCOMPARE(f.cell(1, 4), QStringLiteral("Fail DOWN PIR"));
        QCOMPARE(f.cell(1, 5), QStringLiteral("MW"));
        QCOMPARE(f.cell(3, 5), QStringLiteral("0"));
    }

    void bufferIsConvertedInPlace() {
        Fixture f;
        EventPayload p;
        p.Record(0, 0x34, 0x12, {0x0102, 0, 0, 0, 0, 0, 0, 0, 0, 0xA1B2});
        f.send(p);
        std::uint16_t word;
        std::memcpy(&word, &f.view.Buffer()[2], 2);
        QCOMPARE(word, std::uint16_t{0x0102});
        std::memcpy(&word, &f.view.Buffer()[20], 2);
        QCOMPARE(word, std::uint16_t{0xA1B2});
        QCOMPARE(f.view.Buffer()[0], std::uint8_t{0x34});   // flags as received
        QCOMPARE(f.cell(1, 1), QStringLiteral("DOWN PIR")); // 0x1234: lowest flag is 2
        // Showing the same buffer again does not convert it a second time.
        f.view.ApplyEventLog();
        QCOMPARE(f.cell(2, 1), QStringLiteral("258"));
    }

    void secondReportLeavesNoTraceOfTheFirst() {
        Fixture f;
        f.send(Distinct(2000));
        EventPayload second;
        second.Record(6, 0x00, 0x01, {9, 9, 9, 9, 9, 9, 9, 9, 9, 9});
        f.send(second);
        for (int row = 1; row <= 10; ++row) {
            const bool six = row == 7;
            QCOMPARE(f.cell(1, row), six ? QStringLiteral("TAMPER") : QString());
            for (int col = 2; col <= 8; ++col)
                QCOMPARE(f.cell(col, row), six ? QStringLiteral("9") : QStringLiteral("0"));
            QCOMPARE(f.cell(9, row), (six ? QStringLiteral("9") : QStringLiteral("0")) + Deg);
        }
    }

    void clearLogs() {
        Fixture f;
        f.send(Distinct(3000));
        auto* menu = FindControl<QMenu>(&f.form, "PopupMenu2");
        QCOMPARE(menu->actions().size(), 2);
        QAction* clear = menu->actions().first();
        QCOMPARE(clear->objectName(), QStringLiteral("Clear1"));
        QCOMPARE(clear->text(), QStringLiteral("Clear Logs"));
        clear->trigger();
        for (int row = 1; row <= 10; ++row)
            for (int col = 1; col <= 9; ++col)
                QVERIFY(f.cell(col, row).isEmpty());
        QCOMPARE(f.cell(0, 3), QStringLiteral("3 "));
        QCOMPARE(f.cell(2, 0), QStringLiteral("Max MW"));
        // The next report fills the table again.
        f.send(Distinct(3000));
        QCOMPARE(f.cell(2, 1), QStringLiteral("3000"));
    }

    // The file holds what the table shows: its titles, then its rows with
    // the same texts; a cleared table gives the titles alone. A failed
    // export says where and why.
    void exportCsvFromTheGrid() {
        Fixture f;
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QString path;
        int asked = 0;
        f.view.ChooseFile = [&] {
            ++asked;
            return path;
        };
        QStringList messages;
        f.view.ShowMessage = [&](const QString& text) { messages << text; };
        auto* menu = FindControl<QMenu>(&f.form, "PopupMenu2");
        QAction* exportCsv = menu->actions().at(1);
        QCOMPARE(exportCsv->objectName(), QStringLiteral("ExportCsv1"));
        QCOMPARE(exportCsv->text(), QStringLiteral("Export CSV..."));

        EventPayload p = Distinct(1000);
        p.Record(1, 0x00, 0x00, {7, 0, 0, 0, 0, 0, 0, 0xFFFB, 0, 0});
        f.send(p);
        exportCsv->trigger(); // cancelled dialog: nothing written
        QCOMPARE(asked, 1);
        QVERIFY(QDir(dir.path()).isEmpty());

        path = dir.filePath("log.csv");
        exportCsv->trigger();
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        file.close();
        QCOMPARE(lines.size(), 12); // titles, ten events, nothing after the last CR LF
        QCOMPARE(lines[0], QByteArray("\xEF\xBB\xBF"
                                      "ALLARM,Max MW,Max Pir ABOVE,Max Pir UNDER,Max Mask 1,"
                                      "Max Mask 2,Noise Ir 1,Noise Ir 2,Ntc:\r"));
        QCOMPARE(lines[1], QByteArray("MW,1000,1001,1002,1003,1004,1005,1006,1007\xC2\xB0"
                                      "C\r"));
        QCOMPARE(lines[2], QByteArray(",7,0,0,0,0,0,0,-5\xC2\xB0"
                                      "C\r"));
        for (int row = 1; row <= 10; ++row) {
            QStringList cells;
            for (int col = 1; col <= 9; ++col)
                cells << f.cell(col, row);
            QCOMPARE(QString::fromUtf8(lines[row]), cells.join(',') + '\r');
        }
        QVERIFY(lines[11].isEmpty());
        QVERIFY(messages.isEmpty());

        f.view.Clear1->trigger();
        exportCsv->trigger();
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll().count('\n'), 1);
        file.close();

        // A folder that cannot exist: the message names the file, the
        // table stays as it was.
        f.send(p);
        path = dir.filePath("log.csv/sub.csv");
        exportCsv->trigger();
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages[0].contains(QDir::toNativeSeparators(path)), qPrintable(messages[0]));
        QCOMPARE(f.cell(2, 2), QStringLiteral("7"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll().count('\n'), 1); // the earlier export is untouched
        file.close();

        // A folder the user may not write to (this holds for an unprivileged
        // user only): the old file stays whole, never half replaced.
        QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
        QFile probe(dir.filePath("probe"));
        const bool lockedForUs = !probe.open(QIODevice::WriteOnly);
        probe.remove();
        path = dir.filePath("log.csv");
        exportCsv->trigger();
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(messages.size(), lockedForUs ? 2 : 1);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll().count('\n'), lockedForUs ? 1 : 11);
    }

    void gridContextMenuOffersClearLogs() {
        Fixture f;
        f.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.form));
        auto* menu = FindControl<QMenu>(&f.form, "PopupMenu2");
        QWidget* viewport = f.grid.viewport();
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(50, 50),
                                viewport->mapToGlobal(QPoint(50, 50)));
        QCoreApplication::sendEvent(viewport, &event);
        QTRY_VERIFY(menu->isVisible());
        menu->hide();
    }

    void ownMenuWhenTheFormHasNone() {
        // A form without the menu: the view makes it and shows it over the grid.
        QWidget form;
        auto* group = new QGroupBox(&form);
        group->setObjectName(QStringLiteral("GroupBox_Log"));
        auto* grid = new StringGrid(group);
        grid->setObjectName(QStringLiteral("StringGrid1"));
        grid->setColumnCount(10);
        grid->setRowCount(11);
        EventLogView view(&form);
        QCOMPARE(view.PopupMenu2->objectName(), QStringLiteral("PopupMenu2"));
        QCOMPARE(view.Clear1->text(), QStringLiteral("Clear Logs"));
        QCOMPARE(view.ExportCsv1->text(), QStringLiteral("Export CSV..."));
        QCOMPARE(grid->contextMenuPolicy(), Qt::CustomContextMenu);
        view.EventLogReport(Distinct(1).data());
        QCOMPARE(grid->cell(2, 1), QStringLiteral("1"));
        view.Clear1->trigger();
        QVERIFY(grid->cell(2, 1).isEmpty());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        emit grid->customContextMenuRequested(QPoint(5, 5));
        QTRY_VERIFY(view.PopupMenu2->isVisible());
        view.PopupMenu2->hide();
    }
};

QTEST_MAIN(TestEventLog)
#include "test_event_log.moc"
