#include "CsvText.h"

QString CsvField(const QString& text) {
    // Blanks at the ends are quoted too: several spreadsheet programs trim
    // them from unquoted fields.
    const bool quote = text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"')) ||
                       text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n')) ||
                       (!text.isEmpty() && (text.front().isSpace() || text.back().isSpace()));
    if (!quote)
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QByteArray CsvText(const QList<QStringList>& records) {
    QString text = QChar(QChar::ByteOrderMark);
    for (const QStringList& record : records) {
        QStringList fields;
        fields.reserve(record.size());
        for (const QString& field : record)
            fields << CsvField(field);
        text += fields.join(QLatin1Char(',')) + QLatin1String("\r\n");
    }
    return text.toUtf8();
}
