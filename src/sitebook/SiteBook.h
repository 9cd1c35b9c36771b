#pragma once

#include "SiteBookLocation.h"
#include "SiteBookSchema.h"
#include "Visit.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
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
    // A book on a server that cannot take it keeps the visit, from then
    // on, in the local default book instead (true: kept; see KeptLocallyFor).
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

    // A book on a server keeps what it cannot save there in the local
    // default book, marked as not yet sent, and sends it when it next
    // reaches the server (SiteBookServer.cpp, SiteBookSync.cpp).
    struct KeptLocally {
        QString reason;          // "server unreachable (...)", or why the server refused it
        bool unreachable = true; // false: the server answered, but no
    };
    // Why the visit `id` is kept locally; null when it is not.
    const KeptLocally* KeptLocallyFor(const QString& id) const;
    // The last failure was the server out of reach (not a refusal).
    bool OutOfReach() const { return m_unreachable; }
    // What opening the server sent of the visits kept locally.
    struct SyncReport {
        int sent = 0;
        int unsent = 0; // left for a later run
        QString error;  // why they were left
    };
    const SyncReport& LastSync() const { return m_sync; }

    // The local book's side: visit `id` waits for `server` (one more step
    // of it kept), and was sent as it stood after `steps` steps.
    bool MarkUnsent(const QString& id, const QString& server, const QString& reason);
    bool Unsent(const QString& server, QList<std::pair<QString, int>>& idsAndSteps);
    bool MarkSent(const QString& id, const QString& server, int steps);

private:
    // Save in this book's own database, without falling back.
    bool SaveHere(const Visit& visit, int parts);
    bool OpenServer();
    bool FailOnServer(const QString& what, const QString& reason);
    bool KeepLocally(const Visit& visit, const KeptLocally& kept);
    void SendUnsent();
    SiteBook* Local();

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
    // A transaction is open: steps run inside it, not in one of their own.
    bool m_inTransaction = false;

    // A book on a server: the local default book, the visits kept there,
    // and when to try the server again after it was out of reach.
    std::unique_ptr<SiteBook> m_local;
    QHash<QString, KeptLocally> m_kept;
    SyncReport m_sync;
    bool m_unreachable = false;
    QString m_serverProblem;
    QDeadlineTimer m_retryAfter;
};
