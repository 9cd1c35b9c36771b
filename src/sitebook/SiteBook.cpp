#include "SiteBook.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QThread>
#include <QVariant>

#include <atomic>

namespace {

// How long a change waits for other writers before it gives up.
constexpr int BusyDeadlineMs = 20000;

} // namespace

SiteBook::SiteBook(SiteBookLocation location)
    : m_location(std::move(location)),
      m_dialect(m_location.IsServer() ? PostgresDialect() : SqliteDialect()) {
    static std::atomic<int> counter{0};
    m_connection = QStringLiteral("site-book-%1").arg(counter.fetch_add(1));
}

SiteBook::~SiteBook() {
    if (m_db.isValid()) {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connection);
    }
}

bool SiteBook::Fail(const QString& what, const QString& reason) {
    if (m_location.IsServer())
        return FailOnServer(what, reason);
    m_error = QStringLiteral("%1: %2: %3").arg(m_location.Describe(), what, reason.trimmed());
    return false;
}

bool SiteBook::Open() {
    if (m_open)
        return true;
    if (!m_location.error.isEmpty()) {
        m_error = m_location.error;
        return false;
    }
    if (m_location.IsServer())
        return OpenServer();
    const QFileInfo file(m_location.file);
    if (!QDir().mkpath(file.absolutePath()))
        return Fail(QStringLiteral("cannot be created"),
                    QStringLiteral("its folder cannot be made"));
    if (!QSqlDatabase::isDriverAvailable(m_location.driver))
        return Fail(QStringLiteral("cannot be opened"),
                    QStringLiteral("Qt's %1 driver is not installed").arg(m_location.driver));
    m_db = QSqlDatabase::addDatabase(m_location.driver, m_connection);
    m_db.setDatabaseName(m_location.file);
    // The driver waits this long for a lock itself; InTransaction waits more.
    m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!m_db.open())
        return Fail(QStringLiteral("cannot be opened"), m_db.lastError().text());
    for (const QString& statement : m_dialect.connectionSetup) {
        QSqlQuery q(m_db);
        // The journal mode needs a moment's exclusive access: wait for it.
        const QDeadlineTimer deadline(BusyDeadlineMs);
        while (!q.exec(statement)) {
            if (!m_dialect.isBusy(q.lastError()) || deadline.hasExpired())
                return Fail(QStringLiteral("cannot be opened"), q.lastError().text());
            QThread::msleep(20);
        }
    }
    if (!Migrate())
        return false;
    m_open = true;
    return true;
}

bool SiteBook::InTransaction(bool write, const std::function<bool()>& step) {
    // Inside another step's transaction: part of it, tried again with it.
    if (m_inTransaction)
        return step();
    const QDeadlineTimer deadline(BusyDeadlineMs);
    for (;;) {
        m_busy = false;
        QSqlQuery begin(m_db);
        bool done = begin.exec(write ? m_dialect.beginWrite : QStringLiteral("BEGIN"));
        if (!done) {
            m_busy = m_dialect.isBusy(begin.lastError());
            Fail(QStringLiteral("cannot be written"), begin.lastError().text());
        } else {
            m_inTransaction = true;
            done = step();
            m_inTransaction = false;
            QSqlQuery end(m_db);
            if (done && !end.exec(QStringLiteral("COMMIT"))) {
                m_busy = m_dialect.isBusy(end.lastError());
                Fail(QStringLiteral("cannot be written"), end.lastError().text());
                done = false;
            }
            // (A connection lost meanwhile has nothing to roll back.)
            if (!done && m_db.isOpen())
                QSqlQuery(m_db).exec(QStringLiteral("ROLLBACK"));
        }
        if (done)
            return true;
        if (!m_busy || deadline.hasExpired())
            return false;
        // Another writer holds the book: try again after a short, varied
        // pause, so that waiting writers do not wake in step.
        QThread::msleep(10 + QRandomGenerator::global()->bounded(40));
    }
}

bool SiteBook::Migrate() {
    const QList<QStringList>& migrations = SiteBookMigrations();
    const int latest = static_cast<int>(migrations.size());
    auto readVersion = [this](int& version) {
        version = 0;
        if (!m_db.tables().contains(QStringLiteral("schema_version")))
            return true;
        QSqlQuery q(m_db);
        if (!q.exec(QStringLiteral("SELECT MAX(version) FROM schema_version"))) {
            m_busy = m_dialect.isBusy(q.lastError());
            return Fail(QStringLiteral("cannot be read"), q.lastError().text());
        }
        version = q.next() ? q.value(0).toInt() : 0;
        return true;
    };
    // A book already at this version is only read: a book on read-only
    // media still answers questions.
    int version = 0;
    if (!InTransaction(false, [&] { return readVersion(version); }))
        return false;
    if (version < latest) {
        const bool migrated = InTransaction(true, [&] {
            // Another process may have migrated since the first look.
            QSqlQuery q(m_db);
            if (!q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS schema_version ("
                                       "version INTEGER NOT NULL PRIMARY KEY,"
                                       "applied VARCHAR(32) NOT NULL)"))) {
                m_busy = m_dialect.isBusy(q.lastError());
                return Fail(QStringLiteral("cannot be created"), q.lastError().text());
            }
            if (!readVersion(version))
                return false;
            for (int n = version + 1; n <= latest; ++n) {
                for (QString statement : migrations[n - 1]) {
                    statement.replace(QStringLiteral("{blob}"), m_dialect.blobType);
                    if (!q.exec(statement)) {
                        m_busy = m_dialect.isBusy(q.lastError());
                        return Fail(QStringLiteral("cannot be created"), q.lastError().text());
                    }
                }
                q.prepare(
                    QStringLiteral("INSERT INTO schema_version (version, applied) VALUES (?, ?)"));
                q.addBindValue(n);
                q.addBindValue(SiteBookTime(QDateTime::currentDateTimeUtc()));
                if (!q.exec()) {
                    m_busy = m_dialect.isBusy(q.lastError());
                    return Fail(QStringLiteral("cannot be created"), q.lastError().text());
                }
            }
            return true;
        });
        if (!migrated)
            return false;
        version = latest;
    }
    if (version > latest)
        return Fail(QStringLiteral("cannot be used"),
                    QStringLiteral("it was made by a newer version of this program (schema %1, "
                                   "this program knows %2)")
                        .arg(version)
                        .arg(latest));
    m_schemaVersion = version;
    return true;
}
