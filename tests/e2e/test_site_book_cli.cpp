// The site book from the command line, end to end: the real program against
// virtual detectors at real line timing, each run recording its visits in a
// real SQLite file in a temporary folder.

#include "SimProcess.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <unistd.h>
#include <vector>

namespace {

struct Outcome {
    int status = -1;
    QStringList out;
    QString err;
};

class Site {
public:
    bool Prepare() {
        const QString program = dir.filePath("detector-config");
        return dir.isValid() &&
               QFile::copy(QCoreApplication::applicationDirPath() + "/detector-config", program);
    }
    SimProcess* Detector(const QString& name) {
        QDir(dir.path()).mkpath(name);
        sims.push_back(std::make_unique<SimProcess>(dir.filePath(name)));
        return sims.back()->Start({"--real-timing"}) ? sims.back().get() : nullptr;
    }
    QString Path(const QString& name) const { return dir.filePath(name); }

    // The program with the book named by the environment, as a script would.
    QProcess* Start(const QStringList& args, QProcessEnvironment env = {}) {
        auto* program = new QProcess;
        program->setProgram(dir.filePath("detector-config"));
        program->setArguments(args);
        program->setWorkingDirectory(dir.path());
        if (env.isEmpty()) {
            env = QProcessEnvironment::systemEnvironment();
            env.insert("DETECTOR_CONFIG_SITE_BOOK", Path("book.sqlite"));
        }
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        program->setProcessEnvironment(env);
        program->start();
        return program;
    }
    static Outcome Finish(QProcess* program) {
        std::unique_ptr<QProcess> owned(program);
        Outcome outcome;
        // A run that has ended already is not waited for (that would fail).
        if ((program->state() != QProcess::NotRunning && !program->waitForFinished(30000)) ||
            program->exitStatus() != QProcess::NormalExit)
            return outcome;
        outcome.status = program->exitCode();
        outcome.out = QString::fromLocal8Bit(program->readAllStandardOutput())
                          .split(u'\n', Qt::SkipEmptyParts);
        outcome.err = QString::fromLocal8Bit(program->readAllStandardError());
        return outcome;
    }
    Outcome Run(const QStringList& args, const QProcessEnvironment& env = {}) {
        return Finish(Start(args, env));
    }
    // --history as objects, newest first.
    QList<QJsonObject> History(const QStringList& filter = {}) {
        QList<QJsonObject> visits;
        for (const QString& line : Run(QStringList{"--history"} + filter).out)
            visits << QJsonDocument::fromJson(line.toUtf8()).object();
        return visits;
    }

    QTemporaryDir dir;
    std::vector<std::unique_ptr<SimProcess>> sims;
};

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// `record` with another MW threshold.
QByteArray WithThreshold(QByteArray record, int mwThreshold) {
    record[0] = char(mwThreshold >> 8);
    record[1] = char(mwThreshold & 0xFF);
    return record;
}

QString Hex(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex());
}

} // namespace

class TestSiteBookCli : public QObject {
    Q_OBJECT
private slots:
    // --read, --diff, --apply --store and --report each leave one visit with
    // what it found, left, wrote and made.
    void everyFaceRecordsItsVisit() {
        Site site;
        QVERIFY(site.Prepare());
        SimProcess* sim = site.Detector("a");
        QVERIFY(sim);
        const QString port = sim->LinkPath();
        const QStringList names{"--site", "Depot", "--detector", "Gate 1"};

        QCOMPARE(site.Run(QStringList{"--port", port, "--read", "held.bin"} + names).status, 0);
        const QByteArray held = ReadAll(site.Path("held.bin"));
        QVERIFY(WriteAll(site.Path("new.bin"), WithThreshold(held, 321)));
        QCOMPARE(site.Run(QStringList{"--port", port, "--diff", "held.bin"} + names).status, 0);
        const Outcome apply =
            site.Run(QStringList{"--port", port, "--apply", "new.bin", "--store"} + names);
        QCOMPARE(apply.out, QStringList{port + ": applied, verified and stored"});
        QCOMPARE(
            site.Run(QStringList{"--port", port, "--report", "r.pdf", "--seconds", "1"} + names)
                .status,
            0);

        const QList<QJsonObject> visits = site.History({"--detector", "Gate 1"});
        QCOMPARE(visits.size(), 4);
        QSet<QString> ids;
        for (const QJsonObject& v : visits) {
            ids << v["id"].toString();
            QCOMPARE(v["site"].toString(), QString("Depot"));
            QCOMPARE(v["port"].toString(), port);
            QCOMPARE(v["outcome"].toString(), QString("ok"));
            QCOMPARE(v["version"].toString(), QString("1.0"));
            QVERIFY(!v["user"].toString().isEmpty() && !v["host"].toString().isEmpty());
            QVERIFY(v["started"].toString() <= v["ended"].toString());
            QVERIFY(v["ended"].toString().endsWith('Z'));
        }
        QCOMPARE(ids.size(), 4);
        // Newest first: report, apply, diff, read.
        const QJsonObject &report = visits[0], &stored = visits[1], &diff = visits[2],
                          &read = visits[3];
        QCOMPARE(report["report"].toString(), QDir::toNativeSeparators(site.Path("r.pdf")));
        QCOMPARE(report["left"].toString(), Hex(WithThreshold(held, 321)));
        QCOMPARE(report["writes"].toInt(), 0);
        QCOMPARE(stored["found"].toString(), Hex(held));
        QCOMPARE(stored["left"].toString(), Hex(WithThreshold(held, 321)));
        QCOMPARE(stored["writes"].toInt(), 2);
        QCOMPARE(stored["stored"].toBool(), true);
        QVERIFY(stored["report"].isNull());
        for (const QJsonObject& v : {diff, read}) {
            QCOMPARE(v["found"].toString(), Hex(held));
            QCOMPARE(v["left"].toString(), Hex(held));
            QCOMPARE(v["writes"].toInt(), 0);
            QCOMPARE(v["stored"].toBool(), false);
        }
        QCOMPARE(read["events"].toInt(), 0);

        // Without the variable, the book is the user's data folder's.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DETECTOR_CONFIG_SITE_BOOK");
        env.insert("XDG_DATA_HOME", site.Path("data"));
        QCOMPARE(site.Run({"--port", port, "--diff", "new.bin"}, env).status, 0);
        QVERIFY(QFile::exists(site.Path("data/Configuration Tools/site-book.sqlite")));
    }

    // --check compares with what the detector's latest visit left; --restore
    // puts what its latest stored visit left into another detector.
    void checkAndRestoreFollowTheBook() {
        Site site;
        QVERIFY(site.Prepare());
        SimProcess* a = site.Detector("a");
        SimProcess* b = site.Detector("b");
        QVERIFY(a && b);
        const QString portA = a->LinkPath(), portB = b->LinkPath();
        QCOMPARE(site.Run({"--port", portA, "--read", "held.bin"}).status, 0);
        const QByteArray held = ReadAll(site.Path("held.bin"));
        QVERIFY(WriteAll(site.Path("site.bin"), WithThreshold(held, 250)));
        QVERIFY(WriteAll(site.Path("other.bin"), WithThreshold(held, 420)));
        const QStringList gate{"--site", "Depot", "--detector", "Gate 1"};

        QCOMPARE(
            site.Run(QStringList{"--port", portA, "--apply", "site.bin", "--store"} + gate).status,
            0);
        QCOMPARE(site.Run(QStringList{"--port", portA, "--check"} + gate).out,
                 QStringList{portA + ": equal"});
        // Someone changes it without naming it; the check sees it.
        QCOMPARE(site.Run({"--port", portA, "--apply", "other.bin"}).status, 0);
        const Outcome differs = site.Run(QStringList{"--port", portA, "--check"} + gate);
        QCOMPARE(differs.status, 1);
        QCOMPARE(differs.out, (QStringList{portA + ": Radar threshold: detector 420, site book 250",
                                           portA + ": differs (1 setting)"}));
        // That check left the detector as it found it, and is itself the
        // latest visit now: the next check compares with that.
        QCOMPARE(site.Run(QStringList{"--port", portA, "--check"} + gate).status, 0);

        // The replacement detector gets what the last stored visit left.
        const std::optional<SimSettings> replaced = b->Settings();
        QVERIFY(replaced);
        const Outcome restore =
            site.Run({"--port", portB, "--restore", "--site", "Depot", "--detector", "Gate 1"});
        QCOMPARE(restore.status, 0);
        QCOMPARE(restore.out, QStringList{portB + ": applied, verified and stored"});
        QCOMPARE(site.Run({"--port", portB, "--read", "restored.bin"}).status, 0);
        QCOMPARE(ReadAll(site.Path("restored.bin")), WithThreshold(held, 250));
        QVERIFY(b->WaitFor("configuration stored"));

        // Unknown names: 5, nothing written.
        const Outcome unknown =
            site.Run({"--port", portB, "--check", "--site", "Depot", "--detector", "Gate 9"});
        QCOMPARE(unknown.status, 5);
        QVERIFY(unknown.out.join('\n').contains("knows no detector \"Gate 9\""));
        QCOMPARE(site.Run({"--port", portB, "--restore", "--detector", "Gate 1"}).status, 5);
    }

    // Two runs of three ports each write one book at once while --history
    // reads it: every visit is there exactly once.
    void twoProcessesWriteOneBookAtOnce() {
        Site site;
        QVERIFY(site.Prepare());
        QStringList ports;
        for (int n = 0; n < 6; ++n) {
            SimProcess* sim = site.Detector(QString("d%1").arg(n));
            QVERIFY(sim);
            ports << sim->LinkPath();
        }
        QCOMPARE(site.Run({"--port", ports[0], "--read", "held.bin"}).status, 0);
        std::vector<QProcess*> runs;
        for (int half = 0; half < 2; ++half) {
            QStringList args{"--diff", "held.bin", "--site", "Hub"};
            for (int n = half * 3; n < half * 3 + 3; ++n)
                args << "--port" << ports[n] << "--detector" << QString("D%1").arg(n);
            runs.push_back(site.Start(args));
        }
        int readsWhileWriting = 0;
        while (runs[0]->state() != QProcess::NotRunning ||
               runs[1]->state() != QProcess::NotRunning) {
            const Outcome history = site.Run({"--history", "--site", "Hub"});
            QCOMPARE(history.status, 0);
            for (const QString& line : history.out)
                QVERIFY2(QJsonDocument::fromJson(line.toUtf8()).isObject(), qPrintable(line));
            ++readsWhileWriting;
            QTest::qWait(10);
        }
        for (QProcess* run : runs) {
            const Outcome outcome = Site::Finish(run);
            QCOMPARE(outcome.status, 0);
            QCOMPARE(outcome.out.size(), 3);
        }
        QVERIFY(readsWhileWriting > 0);
        QSet<QString> ids, detectors;
        const QList<QJsonObject> visits = site.History({"--site", "Hub"});
        for (const QJsonObject& v : visits) {
            ids << v["id"].toString();
            detectors << v["detector"].toString();
            QCOMPARE(v["port"].toString(), ports[v["detector"].toString().mid(1).toInt()]);
            QVERIFY(!v["ended"].isNull());
        }
        QCOMPARE(visits.size(), 6);
        QCOMPARE(ids.size(), 6);
        QCOMPARE(detectors, (QSet<QString>{"D0", "D1", "D2", "D3", "D4", "D5"}));
    }

    // A book that cannot be written: the provisioning is done all the same,
    // the run says why it was not recorded and ends with 5.
    void unwritableBookStillProvisions() {
        Site site;
        QVERIFY(site.Prepare());
        SimProcess* sim = site.Detector("a");
        QVERIFY(sim);
        const QString port = sim->LinkPath();
        QCOMPARE(site.Run({"--port", port, "--read", "held.bin"}).status, 0);
        QVERIFY(
            WriteAll(site.Path("site.bin"), WithThreshold(ReadAll(site.Path("held.bin")), 260)));
        const QString folder = site.Path("locked");
        QVERIFY(QDir().mkpath(folder));
        // Permissions do not stop the superuser; an immutable folder does.
        const bool root = geteuid() == 0;
        const QStringList lockArgs{root ? "+i" : "a-w", folder};
        QCOMPARE(QProcess::execute(root ? "chattr" : "chmod", lockArgs), 0);
        const Outcome outcome = site.Run({"--port", port, "--apply", "site.bin", "--store",
                                          "--site-book", folder + "/book.sqlite"});
        QProcess::execute(root ? "chattr" : "chmod", {root ? "-i" : "u+w", folder});
        QCOMPARE(outcome.status, 5);
        QCOMPARE(outcome.out.value(0), port + ": applied, verified and stored");
        QVERIFY2(outcome.out.value(1).startsWith(port + ": not recorded: site book \"" +
                                                 QDir::toNativeSeparators(folder)),
                 qPrintable(outcome.out.join('\n')));
        QCOMPARE(site.Run({"--port", port, "--read", "after.bin"}).status, 0);
        QCOMPARE(ReadAll(site.Path("after.bin")), ReadAll(site.Path("site.bin")));
    }
};

QTEST_GUILESS_MAIN(TestSiteBookCli)
#include "test_site_book_cli.moc"
