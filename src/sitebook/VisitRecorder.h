#pragma once

#include "Visit.h"

#include <QString>

#include <cstdint>
#include <functional>

class SiteBook;

// Records one visit after another into the site book as it goes: a visit
// enters the book with its first configuration read, and every later step
// (a read, a write, a store read back equal, the event log, a walk-test
// event, a report, the end) is saved at once in a transaction of its own, so
// a crash leaves the visit as far as it went, not ended. A connection that
// never read a configuration leaves nothing.
//
// A failing book never stops the work with the detector: the first failure
// is told through FailureSeen, later ones only kept in Failure().
class VisitRecorder {
public:
    // `book` may be null (none could be opened: `unavailable` says why).
    explicit VisitRecorder(SiteBook* book, QString unavailable = QString());

    // Starts a visit on `port` now; nothing is saved until ConfigRead.
    void Begin(const QString& port, const QString& site, const QString& detector,
               const QString& version);
    // The installer names (or renames) the site and the detector.
    void SetNames(const QString& site, const QString& detector);
    void ConfigRead(const QByteArray& record44);
    void WriteSent(const QByteArray& body40, bool store);
    void StoreVerified();
    void EventLogRead(const QByteArray& records);
    // A walk-test row that is final, with the time its flag rose.
    void WalkEvent(std::int64_t startMsUtc, const QString& text);
    void ReportWritten(const QString& file, const QByteArray& pdf);
    // Closes the visit; the recorder waits for the next Begin.
    void End(const QString& outcome);

    bool Active() const { return m_active; }
    // The visit is in the book (or would be, were the book writable).
    bool Recorded() const { return m_active && !m_visit.found.isEmpty(); }
    const Visit& Current() const { return m_visit; }
    // The first failure of the book since this recorder was made; empty if none.
    const QString& Failure() const { return m_failure; }

    std::function<void(const QString& error)> FailureSeen;
    // A book on a server that could not take the visit keeps it on this
    // computer: told once per visit, with why.
    std::function<void(const QString& reason)> KeptLocallySeen;
    // Notes a failure of the book found elsewhere (opening it): told through
    // FailureSeen when it is the first.
    void NoteFailure(const QString& error);

private:
    void Save(int parts);

    SiteBook* m_book;
    QString m_unavailable;
    Visit m_visit;
    bool m_active = false;
    bool m_keptLocallyTold = false;
    QString m_failure;
};

// The user running the program, as the system names them.
QString CurrentUserName();
