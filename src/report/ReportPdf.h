#pragma once

#include "ReportFacts.h"

#include <QString>

// Writes the report for `facts` to `path` as an A4 portrait PDF. The new
// file is written beside the old one and takes its place only when complete,
// so a failed write leaves an earlier file of that name whole. Returns the
// text for the user, naming the path and the reason, or empty on success.
QString WriteReportPdf(const QString& path, const ReportFacts& facts);

// Whether a report could be written to `path` now, tried without touching an
// existing file: empty if so, else the same text WriteReportPdf would give.
// Lets a caller find a wrong name before it spends time gathering facts.
QString CheckReportTarget(const QString& path);
