#include "WalkTestSection.h"

#include <QDateTime>

WalkTestSectionText WalkTestSection(const ReportFacts& facts) {
    WalkTestSectionText t;
    if (!facts.WalkTest) {
        t.Paragraphs << QStringLiteral("No walk test was run on this connection.");
        return t;
    }
    const WalkTestRun& run = *facts.WalkTest;
    t.Paragraphs << QStringLiteral("Started %1; %2 events.")
                        .arg(WalkTimeText(run.StartedMs))
                        .arg(run.Events.size());
    if (run.LinkLostMs)
        t.Paragraphs
            << QStringLiteral("Ended by the link, lost at %1.").arg(WalkTimeText(*run.LinkLostMs));
    t.Paragraphs << QStringLiteral("Count per name: ") + WalkCountsText(WalkCounts(run.Events));
    if (run.Events.empty())
        return t;
    t.Header = WalkCsvHeader();
    const QDate day = QDateTime::fromMSecsSinceEpoch(run.StartedMs).date();
    for (const WalkEvent& e : run.Events) {
        QStringList row = WalkEventTexts(e);
        // The date is in the line above; a row repeats it only past midnight.
        const QDateTime start = QDateTime::fromMSecsSinceEpoch(e.StartMs);
        if (start.date() == day)
            row[0] = start.toString(QStringLiteral("HH:mm:ss.zzz"));
        row[2] = WalkDurationShown(e, false);
        t.Rows << row;
    }
    t.Widths = {20, 24, 20, 12, 12, 12};
    return t;
}
