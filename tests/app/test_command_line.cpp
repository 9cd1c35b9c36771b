#include "ComSetup.h"
#include "CommandLine.h"
#include "FindControl.h"
#include "ProgramWindows.h"

#include <QAction>
#include <QScrollBar>
#include <QTest>

class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    void optionsAndTheirEndings() {
        const CommandLine run = ParseCommandLine(
            {"detector-config", "--port", "/dev/ttyUSB0", "--trace", "/tmp/t.txt"});
        QCOMPARE(run.action, CommandLine::Action::Run);
        QCOMPARE(run.port, QString("/dev/ttyUSB0"));
        QCOMPARE(run.traceFile, QString("/tmp/t.txt"));

        // The toolkit's own options belong to the application object.
        const CommandLine toolkit =
            ParseCommandLine({"detector-config", "-platform", "offscreen", "-reverse"});
        QCOMPARE(toolkit.action, CommandLine::Action::Run);
        QVERIFY(toolkit.port.isEmpty());

        for (const char* option : {"--help", "-h", "--version"}) {
            const CommandLine done = ParseCommandLine({"detector-config", option});
            QCOMPARE(done.action, CommandLine::Action::Exit);
            QCOMPARE(done.exitCode, 0);
            QVERIFY(!done.toStandardError);
            QVERIFY(!done.output.isEmpty());
        }
        QVERIFY(ParseCommandLine({"detector-config", "--version"}).output.contains("1."));

        for (const QStringList& wrong :
             {QStringList{"detector-config", "--prot", "COM1"},
              QStringList{"detector-config", "--port"}, QStringList{"detector-config", "COM1"}}) {
            const CommandLine refused = ParseCommandLine(wrong);
            QCOMPARE(refused.action, CommandLine::Action::Exit);
            QCOMPARE(refused.exitCode, 2);
            QVERIFY(refused.toStandardError);
            QVERIFY2(refused.output.contains("--port <name>"), qPrintable(refused.output));
        }
    }

    void provisioningOptionsGoTogether() {
        const CommandLine apply =
            ParseCommandLine({"detector-config", "--port", "/dev/ttyUSB0", "--port", "/dev/ttyUSB1",
                              "--apply", "site.bin", "--store", "--timeout", "200"});
        QCOMPARE(apply.action, CommandLine::Action::Run);
        QVERIFY(apply.provision);
        QCOMPARE(apply.provision->action, ProvisionRequest::Action::Apply);
        QCOMPARE(apply.provision->ports, QStringList({"/dev/ttyUSB0", "/dev/ttyUSB1"}));
        QCOMPARE(apply.provision->file, QString("site.bin"));
        QVERIFY(apply.provision->store);
        QCOMPARE(apply.provision->timeoutMs, 200);
        QCOMPARE(ParseCommandLine({"detector-config", "--port", "A", "--read", "x"})
                     .provision->timeoutMs,
                 90);
        QVERIFY(!ParseCommandLine({"detector-config", "--port", "COM1"}).provision); // the window

        const QList<QStringList> wrong{
            {"--port", "A", "--apply", "x", "--diff", "y"},
            {"--apply", "x"},
            {"--port", "A", "--port", "B", "--read", "x"},
            {"--port", "A", "--diff", "x", "--store"},
            {"--port", "A", "--diff", "x", "--timeout", "49"},
            {"--port", "A", "--diff", "x", "--timeout", "501"},
            {"--port", "A", "--diff", "x", "--timeout", "9O"},
            {"--port", "A", "--port", "A", "--diff", "x"},
            {"--port", "COM1", "--port", "com1", "--apply", "x"}, // one port, two spellings
            {"--port", "", "--diff", "x"},
            {"--port", "A", "--port", "B"},
            {"--port", "A", "--timeout", "90"},
            {"--port", "A", "--port", "B", "--diff", "x", "--trace", "t.txt"}};
        for (const QStringList& args : wrong) {
            const CommandLine refused = ParseCommandLine(QStringList{"detector-config"} + args);
            QVERIFY2(refused.action == CommandLine::Action::Exit && refused.exitCode == 2 &&
                         refused.toStandardError && !refused.provision,
                     qPrintable(args.join(' ')));
        }
    }

    // The n-th --detector names the n-th --port; --check and --restore need
    // one for each port.
    void siteBookOptions() {
        const CommandLine check =
            ParseCommandLine({"detector-config", "--port", "A", "--detector", "Gate 1", "--port",
                              "B", "--detector", "Gate 2", "--site", "Depot", "--check"});
        QVERIFY(check.provision);
        QCOMPARE(check.provision->action, ProvisionRequest::Action::Check);
        QCOMPARE(check.provision->ports, QStringList({"A", "B"}));
        QCOMPARE(check.provision->detectors, QStringList({"Gate 1", "Gate 2"}));
        QCOMPARE(check.provision->site, QString("Depot"));
        const CommandLine history = ParseCommandLine(
            {"detector-config", "--history", "--detector", "Gate 1", "--site-book", "b.sqlite"});
        QVERIFY(history.history && !history.provision);
        QCOMPARE(history.history->detector, QString("Gate 1"));
        QCOMPARE(history.siteBook, QString("b.sqlite"));

        const QStringList refused[] = {
            {"--port", "A", "--port", "B", "--detector", "Gate 1", "--restore"},
            {"--port", "A", "--detector", "X", "--detector", "Y", "--diff", "a.bin"},
            {"--history", "--port", "A"},
            {"--history", "--check", "--port", "A", "--detector", "X"},
            {"--port", "A", "--restore", "--store", "--detector", "X"},
            // --sync sends to a server, alone.
            {"--sync"},
            {"--sync", "--site-book", "book.sqlite"},
            {"--sync", "--site-book", "postgresql://h/db", "--port", "A"},
            {"--sync", "--site-book", "postgresql://h/db", "--history"},
        };
        for (const QStringList& args : refused) {
            const CommandLine run = ParseCommandLine(QStringList{"detector-config"} + args);
            QVERIFY2(run.action == CommandLine::Action::Exit && run.exitCode == 2,
                     qPrintable(args.join(' ')));
        }
    }

    void syncTakesTheServer() {
        const CommandLine sync =
            ParseCommandLine({"detector-config", "--sync", "--site-book", "postgresql://h/db"});
        QCOMPARE(sync.action, CommandLine::Action::Run);
        QVERIFY(sync.sync && !sync.provision && !sync.history);
        QCOMPARE(sync.siteBook, QString("postgresql://h/db"));
    }

    void reportOptions() {
        const CommandLine report = ParseCommandLine(
            {"detector-config", "--port", "COM3", "--report", "site.pdf", "--timeout", "120"});
        QCOMPARE(report.action, CommandLine::Action::Run);
        QVERIFY(report.report && !report.provision);
        QCOMPARE(report.report->port, QString("COM3"));
        QCOMPARE(report.report->file, QString("site.pdf"));
        QCOMPARE(report.report->seconds, 10);
        QCOMPARE(report.report->timeoutMs, 120);
        QCOMPARE(ParseCommandLine(
                     {"detector-config", "--port", "COM3", "--report", "a.pdf", "--seconds", "600"})
                     .report->seconds,
                 600);

        const QStringList refused[] = {
            {"--port", "COM3", "--report", "a.pdf", "--seconds", "0"},
            {"--port", "COM3", "--report", "a.pdf", "--seconds", "601"},
            {"--port", "COM3", "--report", "a.pdf", "--seconds", "ten"},
            {"--port", "COM3", "--seconds", "5"},
            {"--port", "COM3", "--port", "COM4", "--report", "a.pdf"},
            {"--report", "a.pdf"},
            {"--port", "COM3", "--report", "a.pdf", "--diff", "a.bin"},
        };
        for (const QStringList& args : refused) {
            const CommandLine run = ParseCommandLine(QStringList{"detector-config"} + args);
            QVERIFY2(run.action == CommandLine::Action::Exit && run.exitCode == 2,
                     qPrintable(args.join(' ')));
            QVERIFY(!run.report);
        }
    }

    void walkTestOptions() {
        const CommandLine walk = ParseCommandLine({"detector-config", "--port", "COM3",
                                                   "--walk-test", "3600", "--csv", "w.csv"});
        QVERIFY(walk.walkTest && !walk.report && !walk.provision);
        QCOMPARE(walk.walkTest->seconds, 3600);
        QCOMPARE(walk.walkTest->csvFile, QString("w.csv"));
        const QStringList refused[] = {
            {"--port", "COM3", "--walk-test", "0"},
            {"--port", "COM3", "--walk-test", "3601"},
            {"--port", "COM3", "--csv", "w.csv"},
            {"--port", "COM3", "--report", "a.pdf", "--csv", "w.csv"},
            {"--port", "COM3", "--port", "COM4", "--walk-test", "5"},
            {"--port", "COM3", "--walk-test", "5", "--read", "a.bin"},
            {"--port", "COM3", "--walk-test", "5", "--store"},
        };
        for (const QStringList& args : refused) {
            const CommandLine run = ParseCommandLine(QStringList{"detector-config"} + args);
            QVERIFY2(run.action == CommandLine::Action::Exit && run.exitCode == 2,
                     qPrintable(args.join(' ')));
            QVERIFY(!run.walkTest);
        }
    }

    void chosenPortIsAsIfTyped() {
        ProgramWindows windows = CreateProgramWindows(TMainForm::Wiring::Full,
                                                      [](const auto&) { return QStringList{}; });
        auto* connect = FindControl<QAction>(windows.mainForm.get(), "Action2");
        QVERIFY(!connect->isEnabled());
        FindControl<QScrollBar>(windows.formCom, "ScrollBar1")->setValue(120);
        windows.formCom->ChoosePort("/dev/ttyUSB3");
        QCOMPARE(windows.formCom->COM, QString("/dev/ttyUSB3"));
        QCOMPARE(windows.formCom->TimeOut, 120);
        QVERIFY(connect->isEnabled());
        QCOMPARE(connect->text(), QString("Connect")); // chosen, not connected
    }
};

QTEST_MAIN(TestCommandLine)
#include "test_command_line.moc"
