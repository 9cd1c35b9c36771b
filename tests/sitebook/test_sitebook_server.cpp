// The site book on a PostgreSQL server, end to end: the real program against
// virtual detectors and a throw-away server the test starts, stops and kills
// itself. Each case has its own database and its own home folder, so the
// local book that keeps visits while the server is away is its own too.

#include "PgCluster.h"
#include "SimProcess.h"
#include "SiteBook.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <vector>

namespace {

struct Outcome {
    int status = -1;
    QStringList out;
    QString err;
    QString All() const { return out.join(u'\n') + u'\n' + err; }
};

// A laptop: a home folder (with the local default book under it) and
// detectors on links of their own.
struct Laptop {
    QTemporaryDir home;
    std::vector<std::unique_ptr<SimProcess>> sims;
    QMap<QString, QString> env;

    QString Path(const QString& name) const { return home.filePath(name); }
    QString Detector() {
        const QString folder = home.filePath(QStringLiteral("sim%1").arg(sims.size()));
        QDir().mkpath(folder);
        sims.push_back(std::make_unique<SimProcess>(folder));
        return sims.back()->Start() ? sims.back()->LinkPath() : QString();
    }
    QProcessEnvironment Environment() const {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        for (const char* name :
             {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "PGPASSWORD", "PGPASSFILE", "PGUSER",
              "PGHOST", "PGPORT", "PGDATABASE", "DETECTOR_CONFIG_SITE_BOOK"})
            e.remove(QString::fromLatin1(name));
        e.insert(QStringLiteral("HOME"), home.path());
        e.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        for (auto it = env.cbegin(); it != env.cend(); ++it)
            e.insert(it.key(), it.value());
        return e;
    }
    void Start(QProcess& program, const QStringList& args) const {
        program.setProgram(QCoreApplication::applicationDirPath() + "/detector-config");
        program.setArguments(args);
        program.setWorkingDirectory(home.path());
        program.setProcessEnvironment(Environment());
        program.start();
    }
    static Outcome Finish(QProcess& program) {
        Outcome outcome;
        if (!program.waitForFinished(60000) || program.exitStatus() != QProcess::NormalExit)
            return outcome;
        outcome.status = program.exitCode();
        outcome.out = QString::fromLocal8Bit(program.readAllStandardOutput())
                          .split(u'\n', Qt::SkipEmptyParts);
        outcome.err = QString::fromLocal8Bit(program.readAllStandardError());
        return outcome;
    }
    Outcome Run(const QStringList& args) const {
        QProcess program;
        Start(program, args);
        return Finish(program);
    }
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

} // namespace

class TestSiteBookServer : public QObject {
    Q_OBJECT
    std::unique_ptr<PgCluster> m_pg;

    int Count(const QString& db, const QString& sql) {
        bool ok = false;
        const int n = m_pg->Query(db, sql).toInt(&ok);
        return ok ? n : -1;
    }

private slots:
    void initTestCase() {
        m_pg = std::make_unique<PgCluster>();
        QVERIFY2(m_pg->IsCreated(), qPrintable(m_pg->Error()));
        QVERIFY2(m_pg->Start(), qPrintable(m_pg->Error()));
    }
    void cleanupTestCase() { m_pg.reset(); }

    // The server away before a run: the visit waits on the laptop, the run
    // ends as it would have, the server's questions fail plainly; back
    // again, --sync sends it once, and the next run sends what waits.
    void serverAwayThenSync() {
        QVERIFY(m_pg->CreateDatabase("offline"));
        const QString uri = m_pg->Uri("offline");
        Laptop laptop;
        const QString port = laptop.Detector();
        QVERIFY(!port.isEmpty());
        const QStringList names{"--site", "Depot", "--detector", "Gate", "--site-book", uri};

        Outcome read = laptop.Run(QStringList{"--port", port, "--read", "held.bin"} + names);
        QCOMPARE(read.status, 0);
        QCOMPARE(read.out, QStringList{port + ": read into held.bin"});
        QCOMPARE(Count("offline", "SELECT COUNT(*) FROM visits WHERE site = 'Depot' AND "
                                  "detector = 'Gate' AND ended IS NOT NULL"),
                 1);

        QVERIFY(m_pg->Stop());
        QByteArray changed = ReadAll(laptop.Path("held.bin"));
        QCOMPARE(changed.size(), 44);
        changed[1] = char(changed[1] ^ 0x10);
        QVERIFY(WriteAll(laptop.Path("changed.bin"), changed));
        // Differs (1) stays 1: the server being away is no failure of the work.
        Outcome away = laptop.Run(QStringList{"--port", port, "--diff", "changed.bin"} + names);
        QCOMPARE(away.status, 1);
        QVERIFY2(away.out.contains(port + ": visit kept locally: server unreachable (" +
                                   away.out.last().section("server unreachable (", 1)),
                 qPrintable(away.All()));
        QVERIFY(away.out.last().startsWith(port + ": visit kept locally: server unreachable ("));
        QVERIFY(!away.All().contains(m_pg->Password()));
        // The laptop's copy holds it; the server's questions are not
        // answered from it.
        Outcome local = laptop.Run({"--history"});
        QCOMPARE(local.status, 0);
        QCOMPARE(local.out.size(), 1);
        for (const QStringList& question :
             {QStringList{"--history"}, QStringList{"--check", "--port", port},
              QStringList{"--restore", "--port", port}}) {
            const Outcome asked = laptop.Run(question + names);
            QCOMPARE(asked.status, 5);
            QVERIFY2(asked.All().contains("server unreachable"), qPrintable(asked.All()));
        }
        Outcome unreached = laptop.Run({"--sync", "--site-book", uri});
        QCOMPARE(unreached.status, 5);

        QVERIFY(m_pg->Start());
        Outcome sync = laptop.Run({"--sync", "--site-book", uri});
        QCOMPARE(sync.status, 0);
        QVERIFY2(sync.out.join("").contains("1 visit sent"), qPrintable(sync.All()));
        QCOMPARE(Count("offline", "SELECT COUNT(*) FROM visits"), 2);
        QCOMPARE(Count("offline", "SELECT COUNT(*) FROM visits WHERE outcome = 'differs'"), 1);
        Outcome again = laptop.Run({"--sync", "--site-book", uri});
        QCOMPARE(again.status, 0);
        QVERIFY2(again.out.join("").contains("0 visits sent"), qPrintable(again.All()));
        QCOMPARE(Count("offline", "SELECT COUNT(*) FROM visits"), 2);

        // Away again; the next run that reaches the server sends first.
        QVERIFY(m_pg->Stop());
        QCOMPARE(laptop.Run(QStringList{"--port", port, "--diff", "held.bin"} + names).status, 0);
        QVERIFY(m_pg->Start());
        Outcome history = laptop.Run(QStringList{"--history"} + names);
        QCOMPARE(history.status, 0);
        QCOMPARE(history.out.size(), 3);
        QCOMPARE(Count("offline", "SELECT COUNT(*) FROM visits"), 3);
    }
};

QTEST_GUILESS_MAIN(TestSiteBookServer)
#include "test_sitebook_server.moc"
