#pragma once

#include "ReportFacts.h"

#include <QList>
#include <QString>
#include <QStringList>

// The report's "Walk test" section in words: what to say, then the rows as a
// table (none when there is nothing to list).
struct WalkTestSectionText {
    QStringList Paragraphs;
    QStringList Header;
    QList<QStringList> Rows;
    QList<qreal> Widths; // percent of the text width, one per column
};

WalkTestSectionText WalkTestSection(const ReportFacts& facts);
