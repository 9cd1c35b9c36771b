#include "PortVisit.h"

#include "ConsoleOutput.h"

PortVisit::PortVisit(const SiteBookLocation& where, const QString& port, const QString& site,
                     const QString& detector)
    : m_book(where), m_open(m_book.Open()),
      // A book on a server keeps the visit on this computer when the
      // server cannot take it: it records also when it could not open.
      m_recorder(m_open || where.IsServer() ? &m_book : nullptr, m_book.Error()), m_port(port) {
    m_recorder.Begin(port, site, detector, QStringLiteral(DCT_VERSION));
}

void PortVisit::ConfigRead(const DetectorConfig& config) {
    m_recorder.ConfigRead(
        QByteArray(reinterpret_cast<const char*>(config.Bytes.data()), DetectorConfig::Size));
}

void PortVisit::WriteSent(const Command::ConfigWriteFrame& frame, bool store) {
    // The body between the envelope's four leading bytes and its checksum and end.
    m_recorder.WriteSent(
        QByteArray(reinterpret_cast<const char*>(frame.data()) + 4, Command::ConfigBodyLength),
        store);
}

int PortVisit::Finish(int status, QStringList& lines, bool interrupted) {
    QString outcome = VisitOutcome::Ok;
    if (interrupted)
        outcome = VisitOutcome::Interrupted;
    else if (status == ExitStatus::Differs)
        outcome = VisitOutcome::Differs;
    else if (status == ExitStatus::LinkFailure)
        outcome = VisitOutcome::LinkFailure;
    m_recorder.End(outcome);
    // Out of the server's reach the visit waits on this computer: the work
    // was done and nothing is lost. A server that refused it (a wrong
    // password, say) needs someone to act.
    if (const SiteBook::KeptLocally* kept = m_book.KeptLocallyFor(m_recorder.Current().id)) {
        lines << m_port + QStringLiteral(": visit kept locally: ") + kept->reason;
        if (!kept->unreachable && status <= ExitStatus::Differs)
            status = ExitStatus::SiteBookError;
    }
    const bool server = m_book.Location().IsServer();
    const QString failure = m_open || server ? m_recorder.Failure() : m_book.Error();
    if (failure.isEmpty())
        return status;
    lines << m_port + QStringLiteral(": not recorded: ") + failure;
    return status <= ExitStatus::Differs ? ExitStatus::SiteBookError : status;
}
