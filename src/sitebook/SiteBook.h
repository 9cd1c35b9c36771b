#pragma once

#include "SiteBookLocation.h"
#include "SiteBookSchema.h"
#include "Visit.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// The site book through Qt SQL: the record of every visit to every detector.
// One object holds one connection and is used on the thread that made it;
// each thread that records visits opens its own. Several processes and
// threads may write one book at once: every change is one transaction, tried
// again while another writer holds the book. Every method returns false on
// failure, with Error() naming the book and the reason.
class SiteBook {
public:
    explicit SiteBook(SiteBookLocation location);
    ~SiteBook();
    SiteBook(const SiteBook&) = delete;
    SiteBook& operator=(const SiteBook&) = delete;

    // Opens the book, creating it (and its folder) when missing and bringing
    // its schema to this program's version.
    bool Open();
    bool IsOpen() const { return m_open; }
    const QString& Error() const { return m_error; }
    const SiteBookLocation& Location() const { return m_location; }

    // What a Save writes besides the visit's own row.
    enum Part { Writes = 1, EventLog = 2, WalkEvents = 4, Report = 8, Everything = 15 };
    // Records `visit` as it stands, in one transaction: inserted when the
    // book does not hold its id yet, else brought up to date; writes and
    // walk-test events already there are kept, not added twice. A visit
    // the book holds as ended is never changed (true: it is there).
    bool Save(const Visit& visit, int parts = Everything);

    // The visits that `filter` selects, newest first, without their writes,
    // event log, walk-test events and document.
    bool History(const VisitFilter& filter, QList<Visit>& visits);
    // The whole visit; nullopt when the book holds no such id.
    bool Load(const QString& id, std::optional<Visit>& visit);
    // The latest visit of this site and detector that read a configuration
    // (with `storedOnly`: that also stored one), as History gives it.
    bool Latest(const QString& site, const QString& detector, bool storedOnly,
                std::optional<Visit>& visit);
    // The site and detector names in the book, sorted, for completion.
    bool Names(QStringList& sites, QStringList& detectors);

    // The schema version the open book is at.
    int SchemaVersion() const { return m_schemaVersion; }

private:
    // Runs `step` in a transaction (writing or reading), again while the
    // book is busy, up to a deadline.
    bool InTransaction(bool write, const std::function<bool()>& step);
    bool Migrate();
    bool Fail(const QString& what, const QString& reason);
    // Executes a prepared `q`; on failure records why (and whether the book
    // was only busy) under `what`.
    bool Run(QSqlQuery& q, const QString& what);

    SiteBookLocation m_location;
    const SqlDialect& m_dialect;
    QString m_connection;
    QSqlDatabase m_db;
    bool m_open = false;
    int m_schemaVersion = 0;
    QString m_error;
    // The last statement's failure, for the retry decision.
    bool m_busy = false;
};
