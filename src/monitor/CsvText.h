#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Comma-separated text as spreadsheets read it (RFC 4180): fields separated
// by commas, records ended by CR LF, a field quoted when it holds a comma, a
// double quote, a line break or blanks at either end, and quotes inside a
// quoted field doubled. Encoded as UTF-8 without a byte-order mark.
QString CsvField(const QString& text);
QByteArray CsvText(const QList<QStringList>& records);
