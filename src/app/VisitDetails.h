#pragma once

#include "Visit.h"

#include <QString>

// A visit's details as the Site Book window shows them (HTML): who, where
// and when, the configuration found and left side by side with the changed
// settings marked, the writes, the walk-test events and the event log.
QString VisitDetailsHtml(const Visit& visit);
