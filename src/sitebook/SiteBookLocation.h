#pragma once

#include <QString>

#include "SiteBookServerAddress.h"

// Where the site book lives: a database file (SQLite) or a PostgreSQL server,
// named by the command line's --site-book, else by DETECTOR_CONFIG_SITE_BOOK,
// else the default file in the user's application data folder.
struct SiteBookLocation {
    QString driver; // the Qt SQL driver: "QSQLITE" or "QPSQL"
    QString file;   // the database file
    QString error;  // why the named location cannot be used; empty when it can
    // The server, with driver "QPSQL".
    SiteBookServerAddress server;

    bool IsServer() const { return driver == QLatin1String("QPSQL"); }

    // What messages call it.
    QString Describe() const;
};

inline constexpr const char* SiteBookVariable = "DETECTOR_CONFIG_SITE_BOOK";

// The default file: site-book.sqlite in QStandardPaths::AppDataLocation (the
// application's name must be set first).
QString DefaultSiteBookFile();

// `given` is the --site-book value (empty when the option is absent).
SiteBookLocation ResolveSiteBookLocation(const QString& given);
