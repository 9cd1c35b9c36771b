// The site book on a PostgreSQL server: opening it, telling a server out of
// reach from one that refuses, and keeping in the local book whatever the
// server cannot take, so the work at a site never waits for the network.

#include "SiteBook.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

namespace {

// How long a server found out of reach is left alone before the next try:
// the steps of one run do not each wait for the network again.
constexpr int RetryAfterMs = 15000;

// Whether `text` (the driver's message) says the server could not be
// reached or went away, rather than that it answered and refused.
bool ServerOutOfReach(const QString& text) {
    // The connection classes and the server going down, by their SQLSTATE.
    static const QRegularExpression state(QStringLiteral("\\((08...|57P0[123]|53300)\\)"));
    if (state.match(text).hasMatch())
        return true;
    for (const char* phrase :
         {"could not connect", "Connection refused", "timeout expired",
          "could not translate host name", "Network is unreachable", "No route to host",
          "server closed the connection", "no connection to the server",
          "connection to server was lost", "could not send data", "could not receive data",
          "SSL SYSCALL error", "Connection reset", "Connection timed out", "Broken pipe",
          "terminating connection due to administrator command", "the database system is",
          "too many clients"}) {
        if (text.contains(QLatin1String(phrase), Qt::CaseInsensitive))
            return true;
    }
    // libpq's "connection to server ... failed: <why>": a socket that is
    // not there is a server that is not running; a FATAL answer or a
    // failed authentication is the server refusing.
    return text.contains(QLatin1String("connection to server")) &&
           text.contains(QLatin1String("No such file or directory"));
}

QString FirstLine(const QString& text) {
    return text.trimmed().section(u'\n', 0, 0).simplified();
}

} // namespace

bool SiteBook::OpenServer() {
    // Still out of reach since the last try: m_error says so.
    if (m_unreachable && !m_retryAfter.hasExpired())
        return false;
    if (!QSqlDatabase::isDriverAvailable(m_location.driver))
        return Fail(QStringLiteral("cannot be opened"),
                    QStringLiteral("Qt's %1 driver is not installed").arg(m_location.driver));
    const SiteBookServerAddress& server = m_location.server;
    if (m_db.isValid())
        m_db.close();
    else
        m_db = QSqlDatabase::addDatabase(m_location.driver, m_connection);
    m_db.setHostName(server.host);
    m_db.setPort(server.port);
    m_db.setDatabaseName(server.database);
    m_db.setUserName(server.user);
    // Empty: libpq takes PGPASSWORD or ~/.pgpass, as it always does.
    m_db.setPassword(server.password);
    m_db.setConnectOptions(server.options);
    if (!m_db.open())
        return Fail(QStringLiteral("cannot be opened"), m_db.lastError().text());
    m_unreachable = false;
    for (const QString& statement : m_dialect.connectionSetup) {
        QSqlQuery q(m_db);
        if (!q.exec(statement))
            return Fail(QStringLiteral("cannot be opened"), q.lastError().text());
    }
    if (!Migrate())
        return false;
    m_open = true;
    // What waits on this computer for this server goes first; a server
    // lost while sending closes the book again.
    SendUnsent();
    return m_open;
}

bool SiteBook::FailOnServer(const QString& what, const QString& reason) {
    QString said = m_location.server.Hide(FirstLine(reason));
    // A connection lost under a statement leaves the driver closed, and
    // often nothing to say but that.
    const bool lost = m_db.isValid() && !m_db.isOpen() && m_open;
    if (said.isEmpty())
        said = QStringLiteral("the connection to the server was lost");
    m_unreachable = lost || ServerOutOfReach(reason);
    if (m_unreachable) {
        m_serverProblem = QStringLiteral("server unreachable (%1)").arg(said);
        m_error = m_location.Describe() + QStringLiteral(": ") + m_serverProblem;
        // Opened afresh at the next try: the connection is gone.
        m_open = false;
        m_retryAfter.setRemainingTime(RetryAfterMs);
    } else {
        m_serverProblem.clear();
        m_error = QStringLiteral("%1: %2: %3").arg(m_location.Describe(), what, said);
    }
    return false;
}

bool SiteBook::Save(const Visit& visit, int parts) {
    if (!m_location.IsServer())
        return SaveHere(visit, parts);
    if (!m_kept.contains(visit.id)) {
        if ((m_open || Open()) && SaveHere(visit, parts))
            return true;
        // The server could not take this step: the visit goes on in the
        // local book, whole, and waits there for the server.
        m_kept.insert(visit.id,
                      KeptLocally{m_unreachable ? m_serverProblem : m_error, m_unreachable});
    }
    return KeepLocally(visit, m_kept[visit.id]);
}

const SiteBook::KeptLocally* SiteBook::KeptLocallyFor(const QString& id) const {
    const auto it = m_kept.constFind(id);
    return it == m_kept.cend() ? nullptr : &*it;
}

SiteBook* SiteBook::Local() {
    if (!m_local) {
        SiteBookLocation local;
        local.driver = QStringLiteral("QSQLITE");
        local.file = DefaultSiteBookFile();
        m_local = std::make_unique<SiteBook>(local);
    }
    return m_local.get();
}
