#include "SyncCommand.h"

#include "ConsoleOutput.h"
#include "SiteBook.h"

namespace {

QString Visits(int count) {
    return count == 1 ? QStringLiteral("1 visit") : QStringLiteral("%1 visits").arg(count);
}

} // namespace

int RunSync(const SiteBookLocation& book, ConsoleOutput& out) {
    // Opening a book on a server sends what waits for it.
    SiteBook server(book);
    const bool reached = server.Open();
    const SiteBook::SyncReport& sync = server.LastSync();
    if (sync.sent > 0 || (reached && sync.error.isEmpty()))
        out.Print({QStringLiteral("%1: %2 sent").arg(book.Describe(), Visits(sync.sent))});
    if (!sync.error.isEmpty()) {
        out.PrintError({QStringLiteral("detector-config: ") + sync.error,
                        QStringLiteral("detector-config: %1 not sent; they go with the next run "
                                       "that reaches the server")
                            .arg(Visits(sync.unsent))});
        return ExitStatus::SiteBookError;
    }
    if (!reached) {
        out.PrintError({QStringLiteral("detector-config: ") + server.Error()});
        return ExitStatus::SiteBookError;
    }
    return ExitStatus::Done;
}
