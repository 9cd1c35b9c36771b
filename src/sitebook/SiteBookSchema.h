#pragma once

#include <QString>
#include <QStringList>

class QSqlError;

// What differs between the databases the site book can live in. Everything
// else is standard SQL: text keys, ISO 8601 times as text, records as hex
// text, so other tools can read the tables without knowing the program.
struct SqlDialect {
    QString blobType;   // the column type of binary data
    QString beginWrite; // starts a transaction that will write
    // Statements run once on each new connection.
    QStringList connectionSetup;
    // Whether a failed statement may succeed when tried again a moment
    // later (another writer holds the database).
    bool (*isBusy)(const QSqlError& error);
};

const SqlDialect& SqliteDialect();
const SqlDialect& PostgresDialect();

// The schema's versions in order: migration n (counting from 1) brings a
// book at version n - 1 to version n. Each is run in one transaction that
// also records its number in schema_version. `{blob}` stands for the
// dialect's binary type.
const QList<QStringList>& SiteBookMigrations();
