#include "SiteBookLocation.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString SiteBookLocation::Describe() const {
    if (IsServer())
        return QStringLiteral("site book \"%1\"").arg(server.shown);
    return QStringLiteral("site book \"%1\"").arg(QDir::toNativeSeparators(file));
}

QString DefaultSiteBookFile() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
        .filePath(QStringLiteral("site-book.sqlite"));
}

SiteBookLocation ResolveSiteBookLocation(const QString& given) {
    QString text = given;
    if (text.isEmpty())
        text = qEnvironmentVariable(SiteBookVariable);
    SiteBookLocation location;
    location.driver = QStringLiteral("QSQLITE");
    if (text.isEmpty()) {
        location.file = DefaultSiteBookFile();
        return location;
    }
    const QString lower = text.toLower();
    if (lower.startsWith(QStringLiteral("postgresql://")) ||
        lower.startsWith(QStringLiteral("postgres://"))) {
        location.driver = QStringLiteral("QPSQL");
        location.error = ParseServerAddress(text, location.server);
        return location;
    }
    location.file = QFileInfo(text).absoluteFilePath();
    return location;
}
