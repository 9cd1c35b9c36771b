// Visits a server could not take: kept in the local default book with a
// mark naming the server, and sent when a run next reaches it. The visit
// and its mark change in one transaction, and a send removes the mark only
// when the visit has not gone on since it was read, so a visit is never
// left behind; the server keeps each visit once, under its id, so a send
// that is repeated or cut short makes no second one.

#include "SiteBook.h"

#include <QFileInfo>
#include <QSet>
#include <QSqlQuery>
#include <QVariant>

#include <mutex>

namespace {

// The servers this process has sent the waiting visits to. The port
// threads of one run open the book each: one sends, the others find it
// done. A visit kept locally later takes its server off the list again.
std::mutex& SyncLock() {
    static std::mutex lock;
    return lock;
}
QSet<QString>& SyncDone() {
    static QSet<QString> done;
    return done;
}

} // namespace

bool SiteBook::KeepLocally(const Visit& visit, const KeptLocally& kept) {
    const QString& server = m_location.server.shown;
    {
        const std::lock_guard guard(SyncLock());
        SyncDone().remove(server);
    }
    SiteBook* local = Local();
    if ((local->IsOpen() || local->Open()) && local->InTransaction(true, [&] {
            return local->SaveHere(visit, Everything) &&
                   local->MarkUnsent(visit.id, server, kept.reason);
        }))
        return true;
    m_error = QStringLiteral("%1: %2; nor can the visit be kept locally: %3")
                  .arg(m_location.Describe(), kept.reason, local->Error());
    return false;
}

void SiteBook::SendUnsent() {
    m_sync = SyncReport{};
    const QString& server = m_location.server.shown;
    const std::lock_guard guard(SyncLock());
    if (SyncDone().contains(server))
        return;
    // No local book: nothing was ever kept (and none is made for asking).
    if (!QFileInfo::exists(DefaultSiteBookFile())) {
        SyncDone().insert(server);
        return;
    }
    SiteBook* local = Local();
    QList<std::pair<QString, int>> waiting;
    if (!local->Unsent(server, waiting)) {
        m_sync.error = local->Error();
        return;
    }
    for (qsizetype n = 0; n < waiting.size(); ++n) {
        const auto& [id, steps] = waiting[n];
        std::optional<Visit> visit;
        QString why;
        if (!local->Load(id, visit))
            why = local->Error();
        else if (visit && !SaveHere(*visit, Everything))
            why = m_error;
        // A mark whose visit is gone has nothing to send: dropped too.
        else if (!local->MarkSent(id, server, steps))
            why = local->Error();
        if (!why.isEmpty()) {
            m_sync.error = why;
            m_sync.unsent = static_cast<int>(waiting.size() - n);
            return;
        }
        ++m_sync.sent;
    }
    SyncDone().insert(server);
}

bool SiteBook::MarkUnsent(const QString& id, const QString& server, const QString& reason) {
    if (!m_open && !Open())
        return false;
    const QString what = QStringLiteral("cannot be written");
    return InTransaction(true, [&] {
        QSqlQuery q(m_db);
        q.prepare(QStringLiteral("UPDATE visits_unsent SET steps = steps + 1, kept = ?, reason = ? "
                                 "WHERE visit_id = ? AND server = ?"));
        for (const QVariant& value : {QVariant(SiteBookTime(QDateTime::currentDateTimeUtc())),
                                      QVariant(reason), QVariant(id), QVariant(server)})
            q.addBindValue(value);
        if (!Run(q, what))
            return false;
        if (q.numRowsAffected() > 0)
            return true;
        q.prepare(QStringLiteral("INSERT INTO visits_unsent (visit_id, server, kept, reason, "
                                 "steps) VALUES (?, ?, ?, ?, 1)"));
        for (const QVariant& value :
             {QVariant(id), QVariant(server),
              QVariant(SiteBookTime(QDateTime::currentDateTimeUtc())), QVariant(reason)})
            q.addBindValue(value);
        return Run(q, what);
    });
}

bool SiteBook::Unsent(const QString& server, QList<std::pair<QString, int>>& idsAndSteps) {
    if (!m_open && !Open())
        return false;
    return InTransaction(false, [&] {
        idsAndSteps.clear();
        QSqlQuery q(m_db);
        q.setForwardOnly(true);
        q.prepare(QStringLiteral(
            "SELECT visit_id, steps FROM visits_unsent WHERE server = ? ORDER BY kept, visit_id"));
        q.addBindValue(server);
        if (!Run(q, QStringLiteral("cannot be read")))
            return false;
        while (q.next())
            idsAndSteps.append({q.value(0).toString(), q.value(1).toInt()});
        return true;
    });
}

bool SiteBook::MarkSent(const QString& id, const QString& server, int steps) {
    if (!m_open && !Open())
        return false;
    return InTransaction(true, [&] {
        QSqlQuery q(m_db);
        q.prepare(QStringLiteral(
            "DELETE FROM visits_unsent WHERE visit_id = ? AND server = ? AND steps = ?"));
        for (const QVariant& value : {QVariant(id), QVariant(server), QVariant(steps)})
            q.addBindValue(value);
        return Run(q, QStringLiteral("cannot be written"));
    });
}
