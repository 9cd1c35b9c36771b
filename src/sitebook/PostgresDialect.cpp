// The site book on a PostgreSQL server: what its SQL needs beside the
// standard, and which of its failures are worth another try.

#include "SiteBookSchema.h"

#include <QSqlError>

namespace {

bool PostgresBusy(const QSqlError& error) {
    // Another session got there first: a visit or a schema two laptops
    // create at once (unique_violation), or transactions that met
    // (serialization_failure, deadlock_detected, lock_not_available). A
    // second try sees what the other one committed.
    const QString state = error.nativeErrorCode();
    return state == QLatin1String("23505") || state == QLatin1String("40001") ||
           state == QLatin1String("40P01") || state == QLatin1String("55P03");
}

} // namespace

const SqlDialect& PostgresDialect() {
    static const SqlDialect dialect{
        QStringLiteral("BYTEA"),
        QStringLiteral("BEGIN"),
        // The server's notices ("already exists, skipping") are no news, and
        // a row another session holds is waited for only so long.
        {QStringLiteral("SET client_min_messages = warning"),
         QStringLiteral("SET lock_timeout = '10s'")},
        PostgresBusy,
    };
    return dialect;
}
