// The site book's storage on real SQLite files.

#include "SiteBook.h"
#include "VisitRecorder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray Record(char fill) {
    return QByteArray(44, fill);
}

} // namespace

class TestSiteBook : public QObject {
    Q_OBJECT
private slots:
    // A visit is saved as it goes: a crash leaves it open as far as it went;
    // saving again adds nothing twice; once closed it never changes; loading
    // gives back every part.
    void visitsAreKeptAsTheyWent() {
        QTemporaryDir dir;
        const SiteBookLocation where = ResolveSiteBookLocation(dir.filePath("book.sqlite"));
        SiteBook book(where);
        QVERIFY2(book.Open(), qPrintable(book.Error()));
        QString id;
        {
            VisitRecorder crashed(&book);
            crashed.Begin("COM3", "Depot", "Gate 1", "1.0");
            crashed.WriteSent(QByteArray(40, 'w'), false); // before any read: not a visit yet
            crashed.ConfigRead(Record('a'));
            crashed.WriteSent(QByteArray(40, 'x'), false);
            crashed.ConfigRead(Record('b'));
            id = crashed.Current().id;
        } // never ended
        QList<Visit> visits;
        QVERIFY(book.History({}, visits));
        QCOMPARE(visits.size(), 1);
        QVERIFY(!visits[0].Ended());
        QVERIFY(visits[0].outcome.isEmpty());
        QCOMPARE(visits[0].found, Record('a'));
        QCOMPARE(visits[0].left, Record('b'));
        QCOMPARE(visits[0].writeCount, 1);

        VisitRecorder recorder(&book);
        recorder.Begin("COM4", "Depot", "Gate 2", "1.0");
        recorder.ConfigRead(Record('c'));
        recorder.WriteSent(QByteArray(40, 's'), true);
        recorder.StoreVerified();
        QByteArray log(220, '\0');
        log[0] = 1;
        recorder.EventLogRead(log);
        recorder.WalkEvent(1765000000000, "MW alarm");
        recorder.ReportWritten("/tmp/r.pdf", "%PDF-1.4 body");
        Visit sent = recorder.Current();
        recorder.End(VisitOutcome::Ok);
        const Visit closed = recorder.Current();
        // Sent again in whole (a second copy, a retry): one visit, one write.
        QVERIFY(book.Save(closed));
        QVERIFY(book.Save(sent));
        sent.outcome = VisitOutcome::LinkFailure;
        sent.ended = QDateTime::currentDateTimeUtc();
        sent.writes << VisitWrite{QDateTime::currentDateTimeUtc(), QByteArray(40, 'z'), false};
        QVERIFY(book.Save(sent));

        std::optional<Visit> loaded;
        QVERIFY(book.Load(closed.id, loaded) && loaded);
        QCOMPARE(loaded->outcome, VisitOutcome::Ok);
        QCOMPARE(loaded->ended, closed.ended);
        QCOMPARE(loaded->writes.size(), 1);
        QCOMPARE(loaded->writes[0].body, QByteArray(40, 's'));
        QVERIFY(loaded->writes[0].store);
        QVERIFY(loaded->stored);
        QCOMPARE(loaded->eventLog, log);
        QCOMPARE(loaded->walkEvents.size(), 1);
        QCOMPARE(loaded->walkEvents[0].text, QString("MW alarm"));
        QCOMPARE(loaded->walkEvents[0].at.toMSecsSinceEpoch(), Q_INT64_C(1765000000000));
        QCOMPARE(loaded->walkEventCount, 1);
        QCOMPARE(loaded->report, QString("/tmp/r.pdf"));
        QCOMPARE(loaded->reportPdf, QByteArray("%PDF-1.4 body"));
        QCOMPARE(
            loaded->reportSha256,
            QString::fromLatin1(
                QCryptographicHash::hash("%PDF-1.4 body", QCryptographicHash::Sha256).toHex()));

        // The latest stored visit of a detector, and the names for completion.
        std::optional<Visit> latest;
        QVERIFY(book.Latest("Depot", "Gate 2", true, latest) && latest);
        QCOMPARE(latest->id, closed.id);
        QVERIFY(book.Latest("Depot", "Gate 1", true, latest) && !latest);
        QStringList sites, detectors;
        QVERIFY(book.Names(sites, detectors));
        QCOMPARE(sites, QStringList{"Depot"});
        QCOMPARE(detectors, (QStringList{"Gate 1", "Gate 2"}));
    }

    // A book a newer program has migrated further is refused, not written
    // with an older idea of its tables.
    void newerSchemaIsRefused() {
        QTemporaryDir dir;
        const SiteBookLocation where = ResolveSiteBookLocation(dir.filePath("book.sqlite"));
        {
            SiteBook book(where);
            QVERIFY(book.Open());
            QCOMPARE(book.SchemaVersion(), static_cast<int>(SiteBookMigrations().size()));
        }
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "newer");
            db.setDatabaseName(where.file);
            QVERIFY(db.open());
            QVERIFY(QSqlQuery(db).exec(
                "INSERT INTO schema_version (version, applied) VALUES (99, 'later')"));
            db.close();
        }
        QSqlDatabase::removeDatabase("newer");
        SiteBook book(where);
        QVERIFY(!book.Open());
        QVERIFY2(book.Error().contains("newer version of this program"), qPrintable(book.Error()));
        QVERIFY(book.Error().contains(QDir::toNativeSeparators(where.file)));
    }
};

QTEST_GUILESS_MAIN(TestSiteBook)
#include "test_site_book.moc"
