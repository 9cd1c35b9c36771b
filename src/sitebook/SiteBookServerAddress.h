#pragma once

#include <QString>

// A PostgreSQL server for the site book, from an address in the form libpq
// takes: postgresql://[USER[:PASSWORD]@][HOST][:PORT][/DBNAME][?KEY=VALUE&...].
// Whatever the address leaves out, libpq fills in as it always does (the
// PG* variables, a local socket, ~/.pgpass for the password).
struct SiteBookServerAddress {
    QString host; // empty: libpq's default
    int port = -1;
    QString database;
    QString user;
    QString password; // empty: PGPASSWORD or ~/.pgpass
    // The other libpq parameters, as Qt's driver takes them ("key='value';...").
    QString options;
    // postgresql://USER@HOST:PORT/DBNAME as given, never with the password.
    // It names the server in messages and says which server a visit kept on
    // this computer waits for.
    QString shown;

    // `text` with the password, wherever it appears, put out of sight.
    QString Hide(QString text) const;
};

// Fills `server` from `address`; returns why the address cannot be used, or
// an empty string.
QString ParseServerAddress(const QString& address, SiteBookServerAddress& server);
