#include "WalkTestSection.h"

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
    for (const WalkEvent& e : run.Events) {
        QStringList row = WalkEventTexts(e);
        row[2] = WalkDurationShown(e, false);
        t.Rows << row;
    }
    t.Widths = {27, 20, 17, 12, 12, 12};
    return t;
}
