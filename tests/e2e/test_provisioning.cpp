// The command line's provisioning end to end: the real program, with no
// display, against virtual detectors at real line timing, each on a link of
// its own in a temporary folder. The program is copied into that folder, so
// the error log it keeps beside itself is the test's own.

#include "SimProcess.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <vector>

namespace {

struct Outcome {
    int status = -1;
    QStringList out; // standard output, one entry per line
    QString err;
};

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

// A folder with the program, its detectors and its files.
struct Site {
    QTemporaryDir dir;
    std::vector<std::unique_ptr<SimProcess>> sims;

    bool Prepare() {
        const QString program = dir.filePath("detector-config");
        return dir.isValid() &&
               QFile::copy(QCoreApplication::applicationDirPath() + "/detector-config", program);
    }
    // A detector at real line timing in a folder of its own.
    SimProcess* Detector(const QString& name, const QStringList& args = {}) {
        QDir(dir.path()).mkpath(name);
        sims.push_back(std::make_unique<SimProcess>(dir.filePath(name)));
        if (!sims.back()->Start(QStringList{"--real-timing"} + args))
            return nullptr;
        return sims.back().get();
    }
    QString Path(const QString& name) const { return dir.filePath(name); }

    Outcome Run(const QStringList& args) {
        QProcess program;
        program.setProgram(dir.filePath("detector-config"));
        program.setArguments(args);
        program.setWorkingDirectory(dir.path());
        // Nothing to show a window on: the command line must not need one.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        // Visits go to the test's own site book, never the user's.
        env.insert("DETECTOR_CONFIG_SITE_BOOK", dir.filePath("site-book.sqlite"));
        program.setProcessEnvironment(env);
        program.start();
        Outcome outcome;
        if (!program.waitForFinished(30000) || program.exitStatus() != QProcess::NormalExit)
            return outcome;
        outcome.status = program.exitCode();
        outcome.out = QString::fromLocal8Bit(program.readAllStandardOutput())
                          .split(u'\n', Qt::SkipEmptyParts);
        outcome.err = QString::fromLocal8Bit(program.readAllStandardError());
        return outcome;
    }
};

// `record` with the MW threshold and Out #1's Time AND changed.
QByteArray Changed(QByteArray record, int mwThreshold, int timeAndMs) {
    record[0] = char(mwThreshold >> 8);
    record[1] = char(mwThreshold & 0xFF);
    record[28] = char(timeAndMs >> 8);
    record[29] = char(timeAndMs & 0xFF);
    return record;
}

} // namespace

class TestProvisioning : public QObject {
    Q_OBJECT
private slots:
    // Read, compare, apply, verify and store, as an installer would in turn.
    void readDiffApplyAndStore() {
        Site site;
        QVERIFY(site.Prepare());
        SimProcess* sim = site.Detector("a");
        QVERIFY(sim);
        const QString port = sim->LinkPath();
        const std::optional<SimSettings> factory = sim->Settings();
        QVERIFY(factory);

        Outcome read = site.Run({"--port", port, "--read", "held.bin"});
        QCOMPARE(read.status, 0);
        QCOMPARE(read.out, QStringList{port + ": read into held.bin"});
        const QByteArray held = ReadAll(site.Path("held.bin"));
        QCOMPARE(held.size(), 44);
        QCOMPARE(site.Run({"--port", port, "--diff", "held.bin"}).out,
                 QStringList{port + ": equal"});

        QVERIFY(factory->Mw.TRange != 450 && factory->Outputs[0].TimeAndMs != 5000);
        QVERIFY(WriteAll(site.Path("site.bin"), Changed(held, 450, 5000)));
        Outcome diff = site.Run({"--port", port, "--diff", "site.bin"});
        QCOMPARE(diff.status, 1);
        QCOMPARE(diff.out,
                 (QStringList{QStringLiteral("%1: MW threshold: detector %2, file 450")
                                  .arg(port)
                                  .arg(factory->Mw.TRange),
                              QStringLiteral("%1: Out #1 Time AND: detector %2 sec., file 5 sec.")
                                  .arg(port)
                                  .arg(factory->Outputs[0].TimeAndMs / 1000),
                              port + ": differs (2 settings)"}));
        QCOMPARE(sim->CountUnread("configuration written"), 0);

        Outcome apply = site.Run({"--port", port, "--apply", "site.bin"});
        QCOMPARE(apply.status, 0);
        QCOMPARE(apply.out, QStringList{port + ": applied and verified"});
        std::optional<SimSettings> written = sim->NextWrite();
        QVERIFY(written);
        QCOMPARE(written->Mw.TRange, 450);
        QCOMPARE(written->Outputs[0].TimeAndMs, 5000);
        SimSettings expected = *factory;
        expected.Mw.TRange = 450;
        expected.Outputs[0].TimeAndMs = 5000;
        QCOMPARE(DescribeSimSettings(*written), DescribeSimSettings(expected));
        QCOMPARE(sim->CountUnread("configuration stored"), 0);
        QVERIFY(!QFile::exists(sim->StatePath()));

        Outcome stored = site.Run({"--port", port, "--apply", "site.bin", "--store"});
        QCOMPARE(stored.status, 0);
        QCOMPARE(stored.out, QStringList{port + ": applied, verified and stored"});
        QVERIFY(sim->WaitFor("configuration stored to"));
        QCOMPARE(ReadAll(sim->StatePath()).size(), 44);
        QVERIFY(!QFile::exists(site.Path("LogError.txt")));
    }

    // Files that are not one configuration the controls take as it is are
    // refused before any port is opened.
    void refusedFilesReachNoDetector() {
        Site site;
        QVERIFY(site.Prepare());
        SimProcess* sim = site.Detector("a");
        QVERIFY(sim);
        const QString port = sim->LinkPath();
        QVERIFY(site.Run({"--port", port, "--read", "held.bin"}).status == 0);
        const QByteArray held = ReadAll(site.Path("held.bin"));
        QVERIFY(sim->WaitFor("the tool closed the port"));

        QVERIFY(WriteAll(site.Path("short.bin"), held.left(43)));
        Outcome shortFile = site.Run({"--port", port, "--apply", "short.bin"});
        QCOMPARE(shortFile.status, 4);
        QVERIFY2(shortFile.err.contains("holds 43 bytes"), qPrintable(shortFile.err));

        QVERIFY(WriteAll(site.Path("odd.bin"), Changed(held, 600, 2500)));
        Outcome odd = site.Run({"--port", port, "--apply", "odd.bin", "--store"});
        QCOMPARE(odd.status, 4);
        QVERIFY(odd.out.isEmpty());
        QVERIFY2(odd.err.contains("odd.bin: MW threshold 600 (the control takes 10 to 500)") &&
                     odd.err.contains("odd.bin: Out #1 Time AND 2500 ms") &&
                     odd.err.contains("nothing was written"),
                 qPrintable(odd.err));

        QCOMPARE(site.Run({"--port", port, "--apply", "missing.bin"}).status, 4);
        QTest::qWait(200);
        QCOMPARE(sim->CountUnread("the tool opened the port"), 0);
    }

    // Several ports at once: each gets its own outcome and log record, a
    // failing one stops no other, results come as each port finishes, and
    // the exit status is the worst.
    void severalPortsAtOnce() {
        Site site;
        QVERIFY(site.Prepare());
        SimProcess* good = site.Detector("good");
        SimProcess* silent = site.Detector("silent", {"--fault", "silent"});
        SimProcess* damaged = site.Detector("damaged", {"--fault", "bad-checksum"});
        SimProcess* gone = site.Detector("gone", {"--fault", "hangup", "--hangup-after", "0"});
        QVERIFY(good && silent && damaged && gone);
        QVERIFY(site.Run({"--port", good->LinkPath(), "--read", "site.bin"}).status == 0);
        const QString missing = site.Path("none/ttyVD0");

        // The silent port takes six time-outs of half a second; the others
        // are done long before, and say so at once although the silent port
        // was named first.
        Outcome run = site.Run({"--port", silent->LinkPath(), "--port", good->LinkPath(), "--port",
                                damaged->LinkPath(), "--port", gone->LinkPath(), "--port", missing,
                                "--apply", "site.bin", "--timeout", "500"});
        QCOMPARE(run.status, 3);
        QCOMPARE(run.out.size(), 5);
        QCOMPARE(run.out.constLast(), silent->LinkPath() + ": failed: Error Time Out");
        QVERIFY(run.out.contains(good->LinkPath() + ": applied and verified"));
        QVERIFY(run.out.contains(
            damaged->LinkPath() +
            ": failed: No valid answer: 6 damaged or unexpected answers to request 09 in a row."));
        QVERIFY(
            run.out.contains(gone->LinkPath() + ": failed: Error Time Out: Input/output error"));
        QVERIFY(run.out.contains(missing + ": failed: No such file or directory"));

        for (SimProcess* failing : {silent, damaged, gone})
            QCOMPARE(failing->CountUnread("configuration written"), 0);
        QVERIFY(good->NextWrite());
        const QString log = QString::fromLocal8Bit(ReadAll(site.Path("LogError.txt")));
        QCOMPARE(log.count("Error Time Stamp: "), 4);
        QVERIFY2(log.contains(silent->LinkPath() +
                              ": BuffRX[0]= 0 LenRX= 46 message: Timeout during operation\r\n"),
                 qPrintable(log));
        for (const QString& port : {damaged->LinkPath(), gone->LinkPath(), missing})
            QVERIFY2(log.contains("Error String:  " + port + ":"), qPrintable(log));
    }

    // The report reads the detector for a few seconds at line speed and
    // writes nothing to it. A target it cannot write is found before the
    // port is opened; a detector that is not there is a link failure.
    void reportReadsTheDetectorAndWritesNothing() {
        Site site;
        QVERIFY(site.Prepare());
        SimProcess* sim = site.Detector("a");
        QVERIFY(sim);
        const QString port = sim->LinkPath();
        const std::optional<SimSettings> held = sim->Settings();
        QVERIFY(held);

        Outcome report = site.Run({"--port", port, "--report", "site.pdf", "--seconds", "2"});
        QCOMPARE(report.status, 0);
        QCOMPARE(report.out, QStringList{port + ": report written to site.pdf"});
        QVERIFY(ReadAll(site.Path("site.pdf")).startsWith("%PDF-"));
        QVERIFY(sim->WaitFor("the tool closed the port"));
        QCOMPARE(sim->CountUnread("configuration written"), 0);
        if (!QStandardPaths::findExecutable("pdftotext").isEmpty()) {
            QProcess text;
            text.start("pdftotext", {"-layout", site.Path("site.pdf"), "-"});
            QVERIFY(text.waitForFinished(30000));
            const QString words = QString::fromUtf8(text.readAllStandardOutput());
            QVERIFY2(words.contains(QRegularExpression("Pir Down Under\\s+" +
                                                       QString::number(held->Pir2.TRange) + "\\s+" +
                                                       QString::number(held->Pir2.Nconv))),
                     qPrintable(words));
            QVERIFY(words.contains("ALLARM") && words.contains("Radar level"));
        }

        QVERIFY(WriteAll(site.Path("old.pdf"), "the earlier report"));
        Outcome refused = site.Run({"--port", port, "--report", "none/site.pdf"});
        QCOMPARE(refused.status, 4);
        QVERIFY2(refused.err.contains("none"), qPrintable(refused.err));
        QTest::qWait(200);
        QCOMPARE(sim->CountUnread("the tool opened the port"), 0);

        Outcome missing =
            site.Run({"--port", site.Path("none/ttyVD0"), "--report", "old.pdf", "--seconds", "1"});
        QCOMPARE(missing.status, 3);
        QCOMPARE(ReadAll(site.Path("old.pdf")), QByteArray("the earlier report"));
    }
};

QTEST_GUILESS_MAIN(TestProvisioning)
#include "test_provisioning.moc"
