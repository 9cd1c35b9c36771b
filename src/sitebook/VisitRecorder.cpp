#include "VisitRecorder.h"

#include "SiteBook.h"

#include <QCryptographicHash>
#include <QDir>
#include <QSysInfo>
#include <QUuid>

QString CurrentUserName() {
    for (const char* name : {"USER", "USERNAME", "LOGNAME"}) {
        const QString user = qEnvironmentVariable(name);
        if (!user.isEmpty())
            return user;
    }
    // Services and some shells set none of them: the home folder is named
    // after the user.
    return QDir::home().dirName();
}

VisitRecorder::VisitRecorder(SiteBook* book, QString unavailable)
    : m_book(book), m_unavailable(std::move(unavailable)) {}

void VisitRecorder::Begin(const QString& port, const QString& site, const QString& detector,
                          const QString& version) {
    m_visit = Visit{};
    m_visit.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    m_visit.started = QDateTime::currentDateTimeUtc();
    m_visit.user = CurrentUserName();
    m_visit.host = QSysInfo::machineHostName();
    m_visit.port = port;
    m_visit.site = site.trimmed();
    m_visit.detector = detector.trimmed();
    m_visit.version = version;
    m_active = true;
    m_keptLocallyTold = false;
}

void VisitRecorder::SetNames(const QString& site, const QString& detector) {
    if (!m_active || (m_visit.site == site.trimmed() && m_visit.detector == detector.trimmed()))
        return;
    m_visit.site = site.trimmed();
    m_visit.detector = detector.trimmed();
    Save(0);
}

void VisitRecorder::ConfigRead(const QByteArray& record44) {
    if (!m_active)
        return;
    const bool first = m_visit.found.isEmpty();
    if (first)
        m_visit.found = record44;
    const bool changed = m_visit.left != record44;
    m_visit.left = record44;
    // The first read puts the visit in the book; later ones only when the
    // detector holds something new, so reading again costs nothing.
    if (first || changed)
        Save(SiteBook::Everything);
}

void VisitRecorder::WriteSent(const QByteArray& body40, bool store) {
    if (!Recorded())
        return;
    m_visit.writes << VisitWrite{QDateTime::currentDateTimeUtc(), body40, store};
    m_visit.writeCount = static_cast<int>(m_visit.writes.size());
    Save(SiteBook::Writes);
}

void VisitRecorder::StoreVerified() {
    if (!Recorded() || m_visit.stored)
        return;
    m_visit.stored = true;
    Save(0);
}

void VisitRecorder::EventLogRead(const QByteArray& records) {
    if (!Recorded() || m_visit.eventLog == records)
        return;
    m_visit.eventLog = records;
    Save(SiteBook::EventLog);
}

void VisitRecorder::WalkEvent(std::int64_t startMsUtc, const QString& text) {
    if (!Recorded())
        return;
    m_visit.walkEvents << VisitWalkEvent{QDateTime::fromMSecsSinceEpoch(startMsUtc, Qt::UTC), text};
    m_visit.walkEventCount = static_cast<int>(m_visit.walkEvents.size());
    Save(SiteBook::WalkEvents);
}

void VisitRecorder::ReportWritten(const QString& file, const QByteArray& pdf) {
    if (!Recorded())
        return;
    m_visit.report = file;
    m_visit.reportSha256 =
        QString::fromLatin1(QCryptographicHash::hash(pdf, QCryptographicHash::Sha256).toHex());
    m_visit.reportPdf = pdf;
    Save(SiteBook::Report);
}

void VisitRecorder::End(const QString& outcome) {
    if (!m_active)
        return;
    if (Recorded()) {
        m_visit.ended = QDateTime::currentDateTimeUtc();
        m_visit.outcome = outcome;
        Save(0);
    }
    m_active = false;
}

void VisitRecorder::Save(int parts) {
    QString error;
    if (!m_book)
        error = m_unavailable;
    else if (!m_book->Save(m_visit, parts))
        error = m_book->Error();
    else if (const SiteBook::KeptLocally* kept = m_book->KeptLocallyFor(m_visit.id);
             kept && !m_keptLocallyTold) {
        m_keptLocallyTold = true;
        if (KeptLocallySeen)
            KeptLocallySeen(kept->reason);
    }
    if (!error.isEmpty())
        NoteFailure(error);
}

void VisitRecorder::NoteFailure(const QString& error) {
    const bool first = m_failure.isEmpty();
    if (first)
        m_failure = error;
    if (first && FailureSeen)
        FailureSeen(error);
}
