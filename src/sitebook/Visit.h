#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

// How a visit ended. An open visit (still going, or left by a crash) has none.
namespace VisitOutcome {
inline const QString Ok = QStringLiteral("ok");
inline const QString Differs = QStringLiteral("differs");
inline const QString LinkFailure = QStringLiteral("link failure");
inline const QString Interrupted = QStringLiteral("interrupted");
} // namespace VisitOutcome

// One configuration write sent to the detector during a visit.
struct VisitWrite {
    QDateTime sent;     // UTC
    QByteArray body;    // the 40 bytes of the write
    bool store = false; // carried the store-to-flash request
};

// One walk-test event seen during a visit, as the walk test words it.
struct VisitWalkEvent {
    QDateTime at; // UTC
    QString text;
};

// One connection to one detector that read its configuration: who, where,
// when, what was found and left, and what happened in between.
struct Visit {
    QString id; // a UUID, the key wherever the visit is kept
    QDateTime started;
    QDateTime ended; // invalid while the visit is open
    QString user;
    QString host;
    QString port;
    QString site;
    QString detector;
    QString version;
    QByteArray found;    // the first configuration read, 44 bytes; empty when none
    QByteArray left;     // the last configuration read, 44 bytes; empty when none
    bool stored = false; // a store was read back equal
    QList<VisitWrite> writes;
    int writeCount = 0;  // writes sent (kept when `writes` is not loaded)
    QByteArray eventLog; // the 220 bytes of the event log, when it was read
    QList<VisitWalkEvent> walkEvents;
    int walkEventCount = 0;
    QString report;       // the commissioning report's file name, when one was written
    QString reportSha256; // lower-case hex
    QByteArray reportPdf; // the document itself
    QString outcome;      // empty while open

    bool Ended() const { return ended.isValid(); }
};

// Which visits a list shows: exact site and detector names when given, and
// a text found in any of the visit's names, user, host, port, report or outcome.
struct VisitFilter {
    QString site;
    QString detector;
    QString text;
    bool anySite = true;     // false: `site` must match, also when empty
    bool anyDetector = true; // false: `detector` must match, also when empty
};

// The time as the site book keeps it: ISO 8601 UTC with milliseconds, so
// that the text sorts as the time does.
QString SiteBookTime(const QDateTime& time);
QDateTime ParseSiteBookTime(const QString& text);
