// The command line's provisioning end to end: the real program, with no
// display, against virtual detectors at real line timing, each on a link of
// its own in a temporary folder. The program is copied into that folder, so
// the error log it keeps beside itself is the test's own.

#include "SimProcess.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <QElapsedTimer>
#include <QFileInfo>

#include <csignal>
#include <memory>
#include <sys/types.h>
#include <unistd.h>
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
    SimProcess* Detector(const QString& name, const QStringList& args = {},
                         bool realTiming = true) {
        QDir(dir.path()).mkpath(name);
        sims.push_back(std::make_unique<SimProcess>(dir.filePath(name)));
        if (!sims.back()->Start((realTiming ? QStringList{"--real-timing"} : QStringList{}) + args))
            return nullptr;
        return sims.back().get();
    }
    QString Path(const QString& name) const { return dir.filePath(name); }

    // With `ordinaryUser`, a test run as root (which the kernel exempts from
    // a terminal's exclusive mode) runs the program as the user 65534: what
    // an installer's account meets.
    bool ordinaryUser = false;

    // Starts the program with `args` and no display.
    std::unique_ptr<QProcess> Start(const QStringList& args, const QStringList& unset = {}) {
        auto program = std::make_unique<QProcess>();
        program->setWorkingDirectory(dir.path());
        const QString self = dir.filePath("detector-config");
        if (ordinaryUser && ::geteuid() == 0 &&
            !QStandardPaths::findExecutable("setpriv").isEmpty()) {
            // Room for the error log the program keeps beside itself.
            QFile::setPermissions(dir.path(), QFileDevice::Permissions(0x7777));
            program->setProgram(QStandardPaths::findExecutable("setpriv"));
            program->setArguments(
                QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", self} + args);
        } else {
            program->setProgram(self);
            program->setArguments(args);
        }
        // Nothing to show a window on: the command line must not need one.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        // Visits go to the test's own site book, never the user's.
        env.insert("DETECTOR_CONFIG_SITE_BOOK", dir.filePath("site-book.sqlite"));
        for (const QString& name : unset)
            env.remove(name);
        program->setProcessEnvironment(env);
        program->start();
        return program;
    }
    static Outcome Finish(QProcess& program, int ms = 30000) {
        Outcome outcome;
        if (!program.waitForFinished(ms) || program.exitStatus() != QProcess::NormalExit)
            return outcome;
        outcome.status = program.exitCode();
        outcome.out = QString::fromLocal8Bit(program.readAllStandardOutput())
                          .split(u'\n', Qt::SkipEmptyParts);
        outcome.err = QString::fromLocal8Bit(program.readAllStandardError());
        return outcome;
    }
    Outcome Run(const QStringList& args, const QStringList& unset = {}) {
        return Finish(*Start(args, unset));
    }
    // A real configuration read of a fresh detector "a", recorded: its
    // request 09 and report 9 trace lines, the start of a session to replay.
    // Empty when it could not be recorded.
    QString RecordedConfigRead() {
        SimProcess* sim = Detector("a");
        if (!sim ||
            Run({"--port", sim->LinkPath(), "--read", "held.bin", "--trace", "read.txt"}).status)
            return {};
        QString exchange;
        for (const QString& line : QString::fromLatin1(ReadAll(Path("read.txt"))).split('\n'))
            if (line.contains("\trequest 09\t") || line.contains("\treport 9\t"))
                exchange += line + '\n';
        return exchange;
    }
};

// Lets the ordinary user of Site::Start open the detector's terminal, as a
// member of the dialout group could.
bool OpenToEveryone(const SimProcess& sim) {
    const QString device = QFileInfo(sim.LinkPath()).symLinkTarget();
    return !device.isEmpty() && QFile::setPermissions(device, QFileDevice::Permissions(0x6666));
}

// A received frame of `type` with `payload`, as a trace line shows its bytes.
QString FrameHex(int type, const QByteArray& payload) {
    QByteArray frame("\x02\x00", 2);
    frame += char(payload.size());
    frame += char(type);
    frame += payload;
    int sum = 0;
    for (char c : payload)
        sum += quint8(c);
    frame += char((256 - sum % 256) % 256);
    frame += '\x03';
    return QString::fromLatin1(frame.toHex(' ').toUpper());
}

// The direction and kind of each line of a trace, without times or bytes.
QStringList TraceKinds(const QByteArray& trace) {
    QStringList kinds;
    for (const QByteArray& line : trace.split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() == 4)
            kinds << QString::fromLatin1(fields[1] + ' ' + fields[2]);
    }
    return kinds;
}

QString PdfText(const QString& path) {
    QProcess text;
    text.start("pdftotext", {"-layout", path, "-"});
    return text.waitForFinished(30000) ? QString::fromUtf8(text.readAllStandardOutput())
                                       : QString();
}

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
                 (QStringList{QStringLiteral("%1: Radar threshold: detector %2, file 450")
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
        QVERIFY2(odd.err.contains("odd.bin: Radar threshold 600 (the control takes 10 to 500)") &&
                     odd.err.contains("odd.bin: Out #1 Time AND 2500 ms") &&
                     odd.err.contains("nothing was written"),
                 qPrintable(odd.err));

        QByteArray one = held;
        one[0] = char(600 >> 8);
        one[1] = char(600 & 0xFF);
        QVERIFY(WriteAll(site.Path("one.bin"), one));
        Outcome single = site.Run({"--port", port, "--apply", "one.bin"});
        QCOMPARE(single.status, 4);
        QVERIFY2(single.err.contains("would change 1 setting; nothing was written"),
                 qPrintable(single.err));

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
        SimProcess* sim =
            site.Detector("a", {"--walk-every", "0", "--play", "quiet:400 mw:600 quiet:300"});
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
            // Its seconds of statuses are the report's walk test.
            QVERIFY2(words.contains(QRegularExpression("Count per name:\\s+MW 1\\s")),
                     qPrintable(words));
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

    // The walk test of a scripted walk: each event printed as it ends, the
    // one still set at the end, the counts, the CSV; nothing written to the
    // detector. Then the ways it ends early, each keeping its rows.
    void walkTestOfAScriptedWalk() {
        Site site;
        QVERIFY(site.Prepare());
        const QStringList walk{"--walk-every", "0", "--play",
                               "quiet:600 mw:500 quiet:400 pir2+out1:700 quiet:400 tamper:9000"};
        SimProcess* sim = site.Detector("a", walk);
        QVERIFY(sim);
        const QString port = sim->LinkPath();

        Outcome run = site.Run({"--port", port, "--walk-test", "4", "--csv", "walk.csv"});
        QCOMPARE(run.status, 0);
        const QString t = "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}";
        const QString peaks = ", peaks MW \\d+, Pir High above \\d+, Pir Down Under \\d+";
        const QStringList expected{
            "%1 MW (4|5|6)\\d\\d ms" + peaks, "%1 Pir Down Under (6|7|8)\\d\\d ms" + peaks,
            "%1 Out #1 (6|7|8)\\d\\d ms" + peaks, "%1 Tamper still set at the end" + peaks};
        QCOMPARE(run.out.size(), expected.size() + 2);
        for (int i = 0; i < expected.size(); ++i)
            QVERIFY2(QRegularExpression("^" + QRegularExpression::escape(port) + ": " +
                                        expected[i].arg(t) + "$")
                         .match(run.out[i])
                         .hasMatch(),
                     qPrintable(run.out[i]));
        QCOMPARE(run.out[4],
                 port + ": walk test of 4 s: MW 1, Pir Down Under 1, Tamper 1, Out #1 1");
        QCOMPARE(run.out[5], port + ": walk test written to walk.csv");
        const QByteArray bytes = ReadAll(site.Path("walk.csv"));
        QVERIFY(bytes.startsWith("\xEF\xBB\xBFStart,Event,"));
        const QStringList csv = QString::fromUtf8(bytes).split("\r\n", Qt::SkipEmptyParts);
        QCOMPARE(csv.size(), 5);
        QVERIFY(QRegularExpression("^" + t + ",MW,\\d+,\\d+,\\d+,\\d+$").match(csv[1]).hasMatch());
        QVERIFY(QRegularExpression("^" + t + ",Tamper,,\\d+,\\d+,\\d+$").match(csv[4]).hasMatch());
        QVERIFY(sim->WaitFor("the tool closed the port"));
        QCOMPARE(sim->CountUnread("configuration written"), 0);

        // A file that cannot be written is found before the port is opened.
        Outcome refused = site.Run({"--port", port, "--walk-test", "1", "--csv", "none/w.csv"});
        QCOMPARE(refused.status, 4);
        QTest::qWait(200);
        QCOMPARE(sim->CountUnread("the tool opened the port"), 0);

        // Ctrl-C ends it in order, with its rows.
        const std::unique_ptr<QProcess> started =
            site.Start({"--port", port, "--walk-test", "60", "--csv", "stopped.csv"});
        QProcess& program = *started;
        QVERIFY(sim->WaitFor("the tool opened the port"));
        QTest::qWait(1600); // into the MW step
        ::kill(static_cast<pid_t>(program.processId()), SIGINT);
        QVERIFY(program.waitForFinished(2000));
        QCOMPARE(program.exitCode(), 130);
        const QString said = QString::fromLocal8Bit(program.readAllStandardOutput());
        QVERIFY2(said.contains(port + ": walk test interrupted after 1 s: MW 1"), qPrintable(said));
        QVERIFY(ReadAll(site.Path("stopped.csv")).contains(",MW,"));

        // A link that fails ends it with 3; the rows seen are kept and marked.
        SimProcess* failing = site.Detector("b", {"--walk-every", "0", "--play",
                                                  "quiet:600 mw:500 quiet:300 out2:20000",
                                                  "--fault", "hangup", "--hangup-after", "60"});
        QVERIFY(failing);
        Outcome lost =
            site.Run({"--port", failing->LinkPath(), "--walk-test", "8", "--csv", "lost.csv"});
        QCOMPARE(lost.status, 3);
        const QString lines = lost.out.join('\n');
        QVERIFY2(lines.contains(" Out #2 still set when the link was lost at ") &&
                     lines.contains("walk test ended by the link after") &&
                     lines.contains(": MW 1, Out #2 1"),
                 qPrintable(lines));
        QVERIFY(QRegularExpression(",MW,\\d+,").match(ReadAll(site.Path("lost.csv"))).hasMatch());

        // Each run that read a configuration is a visit with its events as
        // they ended, newest first; the refused one never reached the port.
        QStringList visits;
        for (const QString& line : site.Run({"--history"}).out) {
            const QJsonObject v = QJsonDocument::fromJson(line.toUtf8()).object();
            QCOMPARE(v["writes"].toInt(), 0);
            // How far the interrupted run got into the walk depends on timing.
            const int events = v["events"].toInt();
            visits << v["outcome"].toString() + ' ' +
                          (v["outcome"] == "interrupted" && events > 0 ? "some"
                                                                       : QString::number(events));
        }
        QCOMPARE(visits, QStringList({"link failure 2", "interrupted some", "ok 4"}));
    }

    // A store whose read-back differs from the file: the line says that the
    // store went out and that the detector runs what was read back. Played
    // back from a recording whose last configuration differs.
    void storeThatReadsBackOtherwiseIsTold() {
        Site site;
        QVERIFY(site.Prepare());
        const QString exchange = site.RecordedConfigRead();
        QVERIFY(!exchange.isEmpty());
        const QStringList fields = exchange.split('\n')[1].split('\t');
        QCOMPARE(fields.size(), 4);
        QByteArray payload = QByteArray::fromHex(fields[3].toLatin1()).mid(4, 40);
        payload[1] = char(payload[1] + 1); // the Radar threshold, one more
        QString changed = exchange;
        changed.replace(fields[3], FrameHex(9, payload));
        QVERIFY(WriteAll(site.Path("changed.txt"), (exchange + exchange + changed).toLatin1()));
        SimProcess* replay = site.Detector("b", {"--replay", site.Path("changed.txt")}, false);
        QVERIFY(replay);

        Outcome stored = site.Run({"--port", replay->LinkPath(), "--apply", "held.bin", "--store"});
        QCOMPARE(stored.status, 1);
        QCOMPARE(stored.out.size(), 2);
        QVERIFY2(stored.out[0].startsWith(replay->LinkPath() + ": Radar threshold: detector "),
                 qPrintable(stored.out[0]));
        QCOMPARE(stored.out[1], replay->LinkPath() +
                                    ": differs after writing and storing (1 setting): the store "
                                    "was sent; the detector runs the settings read back");
        QVERIFY(replay->WaitFor("store to flash asked"));
    }

    // Ctrl+C, SIGTERM and SIGHUP: the exchange on the line ends, the port is
    // closed (its exclusive mode cleared, so the same ordinary user opens it
    // again at once), the line says what the detector runs, and the program
    // ends within 2 s with 128 + the signal.
    void signalsStopThePortJobsInOrder() {
        Site site;
        QVERIFY(site.Prepare());
        // Slow answers, so that a signal surely comes during a run.
        SimProcess* sim = site.Detector("a", {"--reaction-ms", "300"});
        QVERIFY(sim);
        site.ordinaryUser = true;
        const QString port = sim->LinkPath();
        if (::geteuid() == 0) {
            // Refused at first: the system's reason and the hint are two
            // sentences on the one line.
            Outcome refused = site.Run({"--port", port, "--read", "held.bin"});
            QCOMPARE(refused.status, 3);
            QVERIFY2(refused.out.size() == 1 &&
                         refused.out[0].startsWith(port +
                                                   ": failed: Permission denied. You need "
                                                   "access to the serial device " +
                                                   port),
                     qPrintable(refused.out.join('\n')));
            QVERIFY(QFile::remove(site.Path("LogError.txt")));
        }
        QVERIFY(OpenToEveryone(*sim));
        Outcome read = site.Run({"--port", port, "--read", "held.bin", "--timeout", "500"});
        QCOMPARE(read.status, 0);
        QVERIFY(
            WriteAll(site.Path("site.bin"), Changed(ReadAll(site.Path("held.bin")), 450, 5000)));
        QVERIFY(sim->WaitFor("the tool closed the port"));

        const auto interrupt = [&](const QStringList& args, const QString& after, int signal) {
            std::unique_ptr<QProcess> program = site.Start(args + QStringList{"--timeout", "500"});
            Outcome outcome;
            if (!program->waitForStarted(5000) || !sim->WaitFor(after, 5000))
                return outcome;
            QElapsedTimer stopping;
            stopping.start();
            ::kill(static_cast<pid_t>(program->processId()), signal);
            outcome = Site::Finish(*program, 5000);
            if (stopping.elapsed() > 2000)
                outcome.status = -2;
            sim->WaitFor("the tool closed the port");
            return outcome;
        };

        // After the write, before the store: the detector runs the file's
        // settings until its next power cycle, and the user is told.
        Outcome apply = interrupt({"--port", port, "--apply", "site.bin", "--store"},
                                  "configuration written", SIGINT);
        QCOMPARE(apply.status, 130);
        QCOMPARE(apply.out, QStringList{port + ": interrupted after writing: the detector runs "
                                               "the file's settings, not stored"});
        QCOMPARE(sim->CountUnread("configuration stored"), 0);
        // Its visit in the site book ends as interrupted, with the write sent.
        const QJsonObject visit =
            QJsonDocument::fromJson(site.Run({"--history"}).out.value(0).toUtf8()).object();
        QCOMPARE(visit["outcome"].toString(), QString("interrupted"));
        QCOMPARE(visit["writes"].toInt(), 1);
        QCOMPARE(visit["stored"].toBool(), false);

        Outcome report = interrupt({"--port", port, "--report", "site.pdf", "--seconds", "20"},
                                   "the tool opened the port", SIGTERM);
        QCOMPARE(report.status, 143);
        QCOMPARE(report.out, QStringList{port + ": interrupted, nothing written"});
        QVERIFY(!QFile::exists(site.Path("site.pdf")));

        // During the first read: the write that would have come is not sent.
        Outcome hangUp =
            interrupt({"--port", port, "--apply", "site.bin"}, "the tool opened the port", SIGHUP);
        QCOMPARE(hangUp.status, 129);
        QCOMPARE(hangUp.out, QStringList{port + ": interrupted, nothing written"});
        QCOMPARE(sim->CountUnread("configuration written"), 0);

        // The same user opens the port again; an interruption is no link
        // failure to log.
        Outcome next = site.Run({"--port", port, "--diff", "site.bin", "--timeout", "500"});
        QCOMPARE(next.status, 0);
        QCOMPARE(next.out, QStringList{port + ": equal"});
        QVERIFY(!QFile::exists(site.Path("LogError.txt")));
    }

    // A detector that answers the live-status request with report 7 or type
    // 11 (played back from a recording) and never answers the event-log
    // request still gets its report, which says what it could not read.
    void reportTakesEveryAcceptedAnswer() {
        Site site;
        QVERIFY(site.Prepare());
        QString trace = site.RecordedConfigRead();
        QVERIFY(!trace.isEmpty());
        const QString time = trace.left(23);
        const QString ask = time + "\ttx\trequest 08\t02 00 01 08 F8 03\n";
        const QByteArray pwm = QByteArray::fromHex("8000401F") + QByteArray(54, 0);
        trace += ask + time + "\trx\treport 7\t" + FrameHex(7, pwm) + '\n';
        trace += ask + time + "\trx\treport 11\t" + FrameHex(11, QByteArray(58, 0x11)) + '\n';
        QVERIFY(WriteAll(site.Path("type7.txt"), trace.toLatin1()));
        SimProcess* replay =
            site.Detector("b", {"--replay", site.Path("type7.txt"), "--loop"}, false);
        QVERIFY(replay);

        Outcome report =
            site.Run({"--port", replay->LinkPath(), "--report", "site.pdf", "--seconds", "2"});
        QCOMPARE(report.status, 0);
        QCOMPARE(report.out, QStringList{replay->LinkPath() + ": report written to site.pdf"});
        QVERIFY(ReadAll(site.Path("site.pdf")).startsWith("%PDF-"));
        if (!QStandardPaths::findExecutable("pdftotext").isEmpty()) {
            const QString words = PdfText(site.Path("site.pdf"));
            QVERIFY2(words.contains("No live status was received.") &&
                         words.contains("The event log could not be read: Error Time Out") &&
                         words.contains(QRegularExpression("PIR UP\\(.*\\)\\s+\\w+\\s+"
                                                           "configuration")),
                     qPrintable(words));
        }
    }

    // A session recorded at line speed and played back at once gives the
    // tool the same frames: the 226-byte event log (118 ms on the line) is
    // there within the default 90 ms time-out.
    void replayGivesTheRecordedFrames() {
        Site site;
        QVERIFY(site.Prepare());
        SimProcess* sim = site.Detector("a");
        QVERIFY(sim);
        QCOMPARE(site.Run({"--port", sim->LinkPath(), "--report", "site.pdf", "--seconds", "1",
                           "--trace", "site.txt"})
                     .status,
                 0);
        const QStringList recorded = TraceKinds(ReadAll(site.Path("site.txt")));
        QVERIFY2(recorded.size() > 8 && recorded[3] == "rx report 12",
                 qPrintable(recorded.join(',')));

        SimProcess* replay =
            site.Detector("b", {"--replay", site.Path("site.txt"), "--loop"}, false);
        QVERIFY(replay);
        QCOMPARE(site.Run({"--port", replay->LinkPath(), "--report", "again.pdf", "--seconds", "1",
                           "--trace", "again.txt"})
                     .status,
                 0);
        const QStringList replayed = TraceKinds(ReadAll(site.Path("again.txt")));
        QVERIFY(replayed.size() > 8);
        QCOMPARE(replayed.mid(0, 8), recorded.mid(0, 8));
    }

    // Command lines that cannot be meant are told as usage errors before any
    // port is touched; a port that is no terminal is named as such.
    void oddCommandLinesAreToldFirst() {
        Site site;
        QVERIFY(site.Prepare());
        SimProcess* sim = site.Detector("a");
        QVERIFY(sim);
        const QString port = sim->LinkPath();
        QVERIFY(site.Run({"--port", port, "--read", "held.bin"}).status == 0);
        QVERIFY(sim->WaitFor("the tool closed the port"));

        Outcome empty = site.Run({"--port", "", "--read", "x.bin"});
        QCOMPARE(empty.status, 2);
        QVERIFY2(empty.err.startsWith("--port needs a name"), qPrintable(empty.err));
        QVERIFY(!QFile::exists(site.Path("LogError.txt")));

        const QString sameDevice = QFileInfo(port).symLinkTarget();
        const QString dotted = site.Path("a/./ttyVD0");
        for (const QString& other : {dotted, sameDevice}) {
            Outcome twice = site.Run({"--port", port, "--port", other, "--diff", "held.bin"});
            QCOMPARE(twice.status, 2);
            QVERIFY2(twice.err.contains("are one port"), qPrintable(twice.err));
        }
        Outcome noStore = site.Run({"--port", port, "--store"});
        QCOMPARE(noStore.status, 2);
        QVERIFY2(noStore.err.startsWith("--store goes with --apply."), qPrintable(noStore.err));

        Outcome trace = site.Run({"--port", port, "--diff", "held.bin", "--trace", "none/t.txt"});
        QCOMPARE(trace.status, 4);
        QVERIFY2(trace.err.startsWith("detector-config: Cannot open the trace file"),
                 qPrintable(trace.err));

        Outcome window = site.Run({"--port", port});
        QCOMPARE(window.status, 2);
        QCOMPARE(window.err,
                 QString("detector-config: no display; the window needs one. Without "
                         "a window use --apply, --diff, --read, --report or --walk-test\n"));
        QTest::qWait(200);
        QCOMPARE(sim->CountUnread("the tool opened the port"), 0);

        QVERIFY(WriteAll(site.Path("plain"), "not a port"));
        for (const QString& notPort : {site.Path("plain"), QString("/dev/null")}) {
            Outcome refused = site.Run({"--port", notPort, "--read", "x.bin"});
            QCOMPARE(refused.status, 3);
            QCOMPARE(refused.out,
                     QStringList{notPort + ": failed: " + notPort + " is not a serial port."});
        }

        // Over SSH or from cron: only the program's own lines.
        Outcome quiet = site.Run({"--port", port, "--report", "site.pdf", "--seconds", "1"},
                                 {"XDG_RUNTIME_DIR"});
        QCOMPARE(quiet.status, 0);
        QCOMPARE(quiet.err, QString());
    }
};

QTEST_GUILESS_MAIN(TestProvisioning)
#include "test_provisioning.moc"
