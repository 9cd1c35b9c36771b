#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Comma-separated text as spreadsheets read it (RFC 4180): fields separated
// by commas, records ended by CR LF, a field quoted when it holds a comma, a
// double quote, a line break or blanks at either end, and quotes inside a
// quoted field doubled. Encoded as UTF-8 after a byte-order mark: without it,
// a spreadsheet opening the file by double-click on Windows takes it for the
// local 8-bit code page and shows "°C" and any other non-ASCII text wrongly.
QString CsvField(const QString& text);
QByteArray CsvText(const QList<QStringList>& records);
