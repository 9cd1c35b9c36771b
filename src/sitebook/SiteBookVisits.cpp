// The visits' side of the site book: saving a visit as it goes, and the
// questions the window and the command line ask.

#include "SiteBook.h"

#include <QSet>
#include <QSqlError>
#include <QVariant>

namespace {

const QString VisitColumns = QStringLiteral(
    "id, started, ended, \"user\", host, port, site, detector, version, found, \"left\", "
    "stored, writes, events, report, outcome");

QVariant Null() {
    return QVariant(QMetaType(QMetaType::QString));
}
QVariant Text(const QString& text) {
    return text.isEmpty() ? Null() : QVariant(text);
}
QVariant Hex(const QByteArray& bytes) {
    return bytes.isEmpty() ? Null() : QVariant(QString::fromLatin1(bytes.toHex()));
}
// A name that may be empty, for a column that holds no NULL.
QVariant Name(const QString& text) {
    return QVariant(text.isNull() ? QStringLiteral("") : text);
}
QVariant Time(const QDateTime& time) {
    return time.isValid() ? QVariant(SiteBookTime(time)) : Null();
}
QByteArray FromHex(const QVariant& value) {
    return value.isNull() ? QByteArray() : QByteArray::fromHex(value.toString().toLatin1());
}

Visit VisitFromRow(const QSqlQuery& q) {
    Visit v;
    v.id = q.value(0).toString();
    v.started = ParseSiteBookTime(q.value(1).toString());
    v.ended = ParseSiteBookTime(q.value(2).toString());
    v.user = q.value(3).toString();
    v.host = q.value(4).toString();
    v.port = q.value(5).toString();
    v.site = q.value(6).toString();
    v.detector = q.value(7).toString();
    v.version = q.value(8).toString();
    v.found = FromHex(q.value(9));
    v.left = FromHex(q.value(10));
    v.stored = q.value(11).toInt() != 0;
    v.writeCount = q.value(12).toInt();
    v.walkEventCount = q.value(13).toInt();
    v.report = q.value(14).toString();
    v.outcome = q.value(15).toString();
    return v;
}

// The values of the visit's row after its id, in VisitColumns order.
QVariantList RowValues(const Visit& v) {
    return {Time(v.started),
            Time(v.ended),
            Name(v.user),
            Name(v.host),
            Name(v.port),
            Name(v.site),
            Name(v.detector),
            Name(v.version),
            Hex(v.found),
            Hex(v.left),
            v.stored ? 1 : 0,
            std::max(v.writeCount, static_cast<int>(v.writes.size())),
            std::max(v.walkEventCount, static_cast<int>(v.walkEvents.size())),
            Text(v.report),
            Text(v.outcome)};
}

// "%" and "_" in a filter text are meant literally.
QString LikePattern(const QString& text) {
    QString escaped = text.toLower();
    escaped.replace(u'\\', QStringLiteral("\\\\"));
    escaped.replace(u'%', QStringLiteral("\\%"));
    escaped.replace(u'_', QStringLiteral("\\_"));
    return u'%' + escaped + u'%';
}

} // namespace

bool SiteBook::Run(QSqlQuery& q, const QString& what) {
    if (q.exec())
        return true;
    m_busy = m_dialect.isBusy(q.lastError());
    return Fail(what, q.lastError().text());
}

bool SiteBook::SaveHere(const Visit& visit, int parts) {
    if (!m_open && !Open())
        return false;
    const QString what = QStringLiteral("cannot be written");
    return InTransaction(true, [&] {
        QSqlQuery q(m_db);
        q.prepare(QStringLiteral("SELECT ended FROM visits WHERE id = ?"));
        q.addBindValue(visit.id);
        if (!Run(q, what))
            return false;
        const bool known = q.next();
        if (known && !q.value(0).isNull())
            return true; // ended: kept as it was closed
        q.finish();
        const QVariantList values = RowValues(visit);
        if (!known) {
            q.prepare(QStringLiteral("INSERT INTO visits (%1) VALUES (?%2)")
                          .arg(VisitColumns, QStringLiteral(", ?").repeated(values.size())));
            q.addBindValue(visit.id);
        } else {
            q.prepare(QStringLiteral(
                "UPDATE visits SET started = ?, ended = ?, \"user\" = ?, host = ?, port = ?, "
                "site = ?, detector = ?, version = ?, found = ?, \"left\" = ?, stored = ?, "
                "writes = ?, events = ?, report = ?, outcome = ? WHERE id = ?"));
        }
        for (const QVariant& value : values)
            q.addBindValue(value);
        if (known)
            q.addBindValue(visit.id);
        if (!Run(q, what))
            return false;

        // Numbered rows (writes, walk-test events): only those not there yet.
        auto present = [&](const QString& table, QSet<int>& seqs) {
            q.prepare(QStringLiteral("SELECT seq FROM %1 WHERE visit_id = ?").arg(table));
            q.addBindValue(visit.id);
            if (!Run(q, what))
                return false;
            while (q.next())
                seqs.insert(q.value(0).toInt());
            q.finish();
            return true;
        };
        if (parts & Writes) {
            QSet<int> seqs;
            if (!present(QStringLiteral("visit_writes"), seqs))
                return false;
            for (int i = 0; i < visit.writes.size(); ++i) {
                if (seqs.contains(i + 1))
                    continue;
                const VisitWrite& w = visit.writes[i];
                q.prepare(QStringLiteral("INSERT INTO visit_writes (visit_id, seq, sent, body, "
                                         "store) VALUES (?, ?, ?, ?, ?)"));
                for (const QVariant& value : {QVariant(visit.id), QVariant(i + 1), Time(w.sent),
                                              Hex(w.body), QVariant(w.store ? 1 : 0)})
                    q.addBindValue(value);
                if (!Run(q, what))
                    return false;
            }
        }
        if (parts & WalkEvents) {
            QSet<int> seqs;
            if (!present(QStringLiteral("visit_walk_events"), seqs))
                return false;
            for (int i = 0; i < visit.walkEvents.size(); ++i) {
                if (seqs.contains(i + 1))
                    continue;
                q.prepare(QStringLiteral("INSERT INTO visit_walk_events (visit_id, seq, at, "
                                         "event) VALUES (?, ?, ?, ?)"));
                for (const QVariant& value :
                     {QVariant(visit.id), QVariant(i + 1), Time(visit.walkEvents[i].at),
                      QVariant(visit.walkEvents[i].text)})
                    q.addBindValue(value);
                if (!Run(q, what))
                    return false;
            }
        }
        // One of each per visit: the latest replaces the one before.
        auto replace = [&](const QString& table, const QString& columns,
                           const QVariantList& values) {
            q.prepare(QStringLiteral("DELETE FROM %1 WHERE visit_id = ?").arg(table));
            q.addBindValue(visit.id);
            if (!Run(q, what))
                return false;
            q.prepare(QStringLiteral("INSERT INTO %1 (visit_id, %2) VALUES (?%3)")
                          .arg(table, columns, QStringLiteral(", ?").repeated(values.size())));
            q.addBindValue(visit.id);
            for (const QVariant& value : values)
                q.addBindValue(value);
            return Run(q, what);
        };
        if ((parts & EventLog) && !visit.eventLog.isEmpty() &&
            !replace(QStringLiteral("visit_event_logs"), QStringLiteral("records"),
                     {Hex(visit.eventLog)}))
            return false;
        if ((parts & Report) && !visit.report.isEmpty() &&
            !replace(QStringLiteral("visit_reports"), QStringLiteral("file, sha256, pdf"),
                     {visit.report, visit.reportSha256, visit.reportPdf}))
            return false;
        return true;
    });
}

bool SiteBook::History(const VisitFilter& filter, QList<Visit>& visits) {
    if (!m_open && !Open())
        return false;
    QStringList conditions;
    QVariantList values;
    if (!filter.anySite || !filter.site.isEmpty()) {
        conditions << QStringLiteral("site = ?");
        values << filter.site;
    }
    if (!filter.anyDetector || !filter.detector.isEmpty()) {
        conditions << QStringLiteral("detector = ?");
        values << filter.detector;
    }
    if (!filter.text.isEmpty()) {
        QStringList any;
        for (const char* column :
             {"site", "detector", "\"user\"", "host", "port", "report", "outcome", "started"}) {
            any << QStringLiteral("LOWER(%1) LIKE ? ESCAPE '\\'").arg(QLatin1String(column));
            values << LikePattern(filter.text);
        }
        conditions << u'(' + any.join(QStringLiteral(" OR ")) + u')';
    }
    QString sql = QStringLiteral("SELECT %1 FROM visits").arg(VisitColumns);
    if (!conditions.isEmpty())
        sql += QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    sql += QStringLiteral(" ORDER BY started DESC, id DESC");
    return InTransaction(false, [&] {
        visits.clear();
        QSqlQuery q(m_db);
        q.setForwardOnly(true);
        q.prepare(sql);
        for (const QVariant& value : values)
            q.addBindValue(value);
        if (!Run(q, QStringLiteral("cannot be read")))
            return false;
        while (q.next())
            visits << VisitFromRow(q);
        return true;
    });
}

bool SiteBook::Latest(const QString& site, const QString& detector, bool storedOnly,
                      std::optional<Visit>& visit) {
    if (!m_open && !Open())
        return false;
    return InTransaction(false, [&] {
        visit.reset();
        QSqlQuery q(m_db);
        q.setForwardOnly(true);
        q.prepare(
            QStringLiteral("SELECT %1 FROM visits WHERE site = ? AND detector = ? AND "
                           "\"left\" IS NOT NULL%2 ORDER BY started DESC, id DESC")
                .arg(VisitColumns, storedOnly ? QStringLiteral(" AND stored = 1") : QString()));
        q.addBindValue(site);
        q.addBindValue(detector);
        if (!Run(q, QStringLiteral("cannot be read")))
            return false;
        if (q.next())
            visit = VisitFromRow(q);
        return true;
    });
}

bool SiteBook::Load(const QString& id, std::optional<Visit>& visit) {
    if (!m_open && !Open())
        return false;
    const QString what = QStringLiteral("cannot be read");
    return InTransaction(false, [&] {
        visit.reset();
        QSqlQuery q(m_db);
        q.setForwardOnly(true);
        q.prepare(QStringLiteral("SELECT %1 FROM visits WHERE id = ?").arg(VisitColumns));
        q.addBindValue(id);
        if (!Run(q, what))
            return false;
        if (!q.next())
            return true;
        Visit v = VisitFromRow(q);
        q.prepare(QStringLiteral(
            "SELECT sent, body, store FROM visit_writes WHERE visit_id = ? ORDER BY seq"));
        q.addBindValue(id);
        if (!Run(q, what))
            return false;
        while (q.next())
            v.writes << VisitWrite{ParseSiteBookTime(q.value(0).toString()), FromHex(q.value(1)),
                                   q.value(2).toInt() != 0};
        q.prepare(QStringLiteral(
            "SELECT at, event FROM visit_walk_events WHERE visit_id = ? ORDER BY seq"));
        q.addBindValue(id);
        if (!Run(q, what))
            return false;
        while (q.next())
            v.walkEvents << VisitWalkEvent{ParseSiteBookTime(q.value(0).toString()),
                                           q.value(1).toString()};
        q.prepare(QStringLiteral("SELECT records FROM visit_event_logs WHERE visit_id = ?"));
        q.addBindValue(id);
        if (!Run(q, what))
            return false;
        if (q.next())
            v.eventLog = FromHex(q.value(0));
        q.prepare(QStringLiteral("SELECT file, sha256, pdf FROM visit_reports WHERE visit_id = ?"));
        q.addBindValue(id);
        if (!Run(q, what))
            return false;
        if (q.next()) {
            v.reportSha256 = q.value(1).toString();
            v.reportPdf = q.value(2).toByteArray();
        }
        visit = v;
        return true;
    });
}

bool SiteBook::Names(QStringList& sites, QStringList& detectors) {
    if (!m_open && !Open())
        return false;
    return InTransaction(false, [&] {
        sites.clear();
        detectors.clear();
        QSqlQuery q(m_db);
        for (auto [column, names] : {std::pair{"site", &sites}, {"detector", &detectors}}) {
            q.prepare(QStringLiteral("SELECT DISTINCT %1 FROM visits WHERE %1 <> '' ORDER BY %1")
                          .arg(QLatin1String(column)));
            if (!Run(q, QStringLiteral("cannot be read")))
                return false;
            while (q.next())
                *names << q.value(0).toString();
        }
        return true;
    });
}
