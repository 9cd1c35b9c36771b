#pragma once

#include "Visit.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// A visit as one line of JSON, with the fields --history prints: id,
// started, ended, user, host, port, site, detector, version, found, left
// (88 hex digits or null), stored, writes, events, report, outcome.
QByteArray VisitJsonLine(const Visit& visit);

// The visit list's columns for a table or a CSV file: the same fields, in the
// same order, as text.
QStringList VisitColumnTitles();
QStringList VisitFields(const Visit& visit);
