#pragma once

#include "Command.h"
#include "DetectorConfig.h"
#include "SiteBook.h"
#include "VisitRecorder.h"

#include <QString>
#include <QStringList>

#include <memory>

// One port's visit in the site book, for a command-line run: the thread
// serving the port opens its own connection to the book (connections are
// never shared between threads) and records what the port's job does.
class PortVisit {
public:
    PortVisit(const SiteBookLocation& where, const QString& port, const QString& site,
              const QString& detector);

    // The open book, or null (Finish then says why). A book on a server is
    // always given: it says itself why it cannot answer.
    SiteBook* Book() { return m_open || m_book.Location().IsServer() ? &m_book : nullptr; }
    VisitRecorder& Recorder() { return m_recorder; }

    void ConfigRead(const DetectorConfig& config);
    // A configuration write frame as sent (46 bytes).
    void WriteSent(const Command::ConfigWriteFrame& frame, bool store);

    // Ends the visit with the outcome that `status` means (`interrupted`
    // when a signal stopped the job). When the book could not be opened or
    // written, adds a line saying so and makes the status 5, unless the work
    // itself failed worse (2, 3 or 4). A visit a server could not take is
    // said to be kept locally.
    int Finish(int status, QStringList& lines, bool interrupted = false);

private:
    SiteBook m_book;
    bool m_open;
    VisitRecorder m_recorder;
    QString m_port;
};
