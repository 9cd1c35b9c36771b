#pragma once

#include "ReportFacts.h"

class QTextDocument;

// Sizes of the printed page, in the paint device's pixels.
struct ReportPage {
    qreal Dpi = 300;
    qreal TextWidth = 0;
    qreal PageHeight = 0;
};

// Fills `document` with the report: a heading, the configuration as tables
// (channels, Enable/Disable, noise reduction, outputs, PWM), the live
// readings and lit lamps, the event log and the graph picture across the
// text width. Every value is written with the text its control or label in
// the window shows. The document must already have its page size: a table
// or picture that would run over a page break while it fits on one page
// starts on the next, together with its heading.
void BuildReportDocument(QTextDocument& document, const ReportFacts& facts, const ReportPage& page);
