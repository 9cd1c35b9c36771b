#include "Visit.h"

#include <QTimeZone>

QString SiteBookTime(const QDateTime& time) {
    if (!time.isValid())
        return QString();
    return time.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
}

QDateTime ParseSiteBookTime(const QString& text) {
    if (text.isEmpty())
        return QDateTime();
    QDateTime time = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (time.isValid())
        time = time.toUTC();
    return time;
}
