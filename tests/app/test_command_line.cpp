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
