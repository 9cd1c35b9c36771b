#pragma once

#include "SiteBookLocation.h"

#include <QString>

class ConsoleOutput;

// --history: the visits of the site book, newest first, one JSON object per
// line, for the site and detector named (all when empty).
struct HistoryRequest {
    QString site;
    QString detector;
    SiteBookLocation book;
};

// Returns 0, or 5 when the site book cannot be read (said on standard error).
int RunHistory(const HistoryRequest& request, ConsoleOutput& out);
