#include "HistoryCommand.h"

#include "ConsoleOutput.h"
#include "SiteBook.h"
#include "VisitText.h"

int RunHistory(const HistoryRequest& request, ConsoleOutput& out) {
    SiteBook book(request.book);
    VisitFilter filter;
    filter.site = request.site;
    filter.detector = request.detector;
    QList<Visit> visits;
    if (!book.Open() || !book.History(filter, visits)) {
        out.PrintError({QStringLiteral("detector-config: ") + book.Error()});
        return ExitStatus::SiteBookError;
    }
    QStringList lines;
    lines.reserve(visits.size());
    for (const Visit& visit : visits)
        lines << QString::fromUtf8(VisitJsonLine(visit));
    out.Print(lines);
    return ExitStatus::Done;
}
