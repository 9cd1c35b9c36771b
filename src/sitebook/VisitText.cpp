#include "VisitText.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

QJsonValue Optional(const QString& text) {
    return text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}
QJsonValue Record(const QByteArray& bytes) {
    return bytes.isEmpty() ? QJsonValue(QJsonValue::Null)
                           : QJsonValue(QString::fromLatin1(bytes.toHex()));
}

} // namespace

QStringList VisitFields(const Visit& v) {
    return {v.id,
            SiteBookTime(v.started),
            SiteBookTime(v.ended),
            v.user,
            v.host,
            v.port,
            v.site,
            v.detector,
            v.version,
            QString::fromLatin1(v.found.toHex()),
            QString::fromLatin1(v.left.toHex()),
            v.stored ? QStringLiteral("true") : QStringLiteral("false"),
            QString::number(v.writeCount),
            QString::number(v.walkEventCount),
            v.report,
            v.outcome};
}

QByteArray VisitJsonLine(const Visit& v) {
    QJsonObject o;
    o.insert(QStringLiteral("id"), v.id);
    o.insert(QStringLiteral("started"), Optional(SiteBookTime(v.started)));
    o.insert(QStringLiteral("ended"), Optional(SiteBookTime(v.ended)));
    o.insert(QStringLiteral("user"), v.user);
    o.insert(QStringLiteral("host"), v.host);
    o.insert(QStringLiteral("port"), v.port);
    o.insert(QStringLiteral("site"), v.site);
    o.insert(QStringLiteral("detector"), v.detector);
    o.insert(QStringLiteral("version"), v.version);
    o.insert(QStringLiteral("found"), Record(v.found));
    o.insert(QStringLiteral("left"), Record(v.left));
    o.insert(QStringLiteral("stored"), v.stored);
    o.insert(QStringLiteral("writes"), v.writeCount);
    o.insert(QStringLiteral("events"), v.walkEventCount);
    o.insert(QStringLiteral("report"), Optional(v.report));
    o.insert(QStringLiteral("outcome"), Optional(v.outcome));
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QStringList VisitColumnTitles() {
    return {QStringLiteral("id"),     QStringLiteral("started"),  QStringLiteral("ended"),
            QStringLiteral("user"),   QStringLiteral("host"),     QStringLiteral("port"),
            QStringLiteral("site"),   QStringLiteral("detector"), QStringLiteral("version"),
            QStringLiteral("found"),  QStringLiteral("left"),     QStringLiteral("stored"),
            QStringLiteral("writes"), QStringLiteral("events"),   QStringLiteral("report"),
            QStringLiteral("outcome")};
}
