#include "SiteBookSchema.h"

#include <QSqlError>

namespace {

bool SqliteBusy(const QSqlError& error) {
    // SQLITE_BUSY (5) and SQLITE_LOCKED (6), with their extended codes.
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    return ok && ((code & 0xFF) == 5 || (code & 0xFF) == 6);
}

} // namespace

const SqlDialect& SqliteDialect() {
    static const SqlDialect dialect{
        QStringLiteral("BLOB"),
        // Takes the write lock at once: a transaction that reads and then
        // writes could otherwise find another writer in between and fail
        // without the busy wait helping.
        QStringLiteral("BEGIN IMMEDIATE"),
        // Readers never wait for writers, and several processes can write
        // one after another without blocking readers.
        {QStringLiteral("PRAGMA journal_mode=WAL"), QStringLiteral("PRAGMA foreign_keys=ON")},
        SqliteBusy,
    };
    return dialect;
}

const QList<QStringList>& SiteBookMigrations() {
    // Column names of `visits` are the field names of --history, so other
    // tools read the book by the same names. "user" and "left" are reserved
    // words and always quoted.
    static const QList<QStringList> migrations{
        {
            QStringLiteral("CREATE TABLE visits ("
                           "id VARCHAR(36) NOT NULL PRIMARY KEY,"
                           "started VARCHAR(32) NOT NULL,"
                           "ended VARCHAR(32),"
                           "\"user\" VARCHAR(200) NOT NULL,"
                           "host VARCHAR(200) NOT NULL,"
                           "port VARCHAR(200) NOT NULL,"
                           "site VARCHAR(200) NOT NULL,"
                           "detector VARCHAR(200) NOT NULL,"
                           "version VARCHAR(40) NOT NULL,"
                           "found VARCHAR(88),"
                           "\"left\" VARCHAR(88),"
                           "stored INTEGER NOT NULL,"
                           "writes INTEGER NOT NULL,"
                           "events INTEGER NOT NULL,"
                           "report VARCHAR(1000),"
                           "outcome VARCHAR(20))"),
            QStringLiteral("CREATE INDEX visits_by_detector ON visits (site, detector, started)"),
            QStringLiteral("CREATE INDEX visits_by_start ON visits (started)"),
            QStringLiteral("CREATE TABLE visit_writes ("
                           "visit_id VARCHAR(36) NOT NULL REFERENCES visits (id),"
                           "seq INTEGER NOT NULL,"
                           "sent VARCHAR(32) NOT NULL,"
                           "body VARCHAR(80) NOT NULL,"
                           "store INTEGER NOT NULL,"
                           "PRIMARY KEY (visit_id, seq))"),
            QStringLiteral("CREATE TABLE visit_event_logs ("
                           "visit_id VARCHAR(36) NOT NULL PRIMARY KEY REFERENCES visits (id),"
                           "records VARCHAR(440) NOT NULL)"),
            QStringLiteral("CREATE TABLE visit_walk_events ("
                           "visit_id VARCHAR(36) NOT NULL REFERENCES visits (id),"
                           "seq INTEGER NOT NULL,"
                           "at VARCHAR(32) NOT NULL,"
                           "event VARCHAR(200) NOT NULL,"
                           "PRIMARY KEY (visit_id, seq))"),
            QStringLiteral("CREATE TABLE visit_reports ("
                           "visit_id VARCHAR(36) NOT NULL PRIMARY KEY REFERENCES visits (id),"
                           "file VARCHAR(1000) NOT NULL,"
                           "sha256 VARCHAR(64) NOT NULL,"
                           "pdf {blob})"),
        },
        {
            // Visits a server could not take, kept in the local book until
            // they are sent; the server is named as the address shows it,
            // and `steps` counts the steps kept, so a send knows whether the
            // visit went on meanwhile.
            QStringLiteral("CREATE TABLE visits_unsent ("
                           "visit_id VARCHAR(36) NOT NULL,"
                           "server VARCHAR(1000) NOT NULL,"
                           "kept VARCHAR(32) NOT NULL,"
                           "reason VARCHAR(1000) NOT NULL,"
                           "steps INTEGER NOT NULL,"
                           "PRIMARY KEY (visit_id, server))"),
        },
    };
    return migrations;
}
