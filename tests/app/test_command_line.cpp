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
