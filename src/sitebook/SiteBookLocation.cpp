#include "SiteBookLocation.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString SiteBookLocation::Describe() const {
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
    location.file = QFileInfo(text).absoluteFilePath();
    // A server address taken for a file name would quietly start a second,
    // local book; say plainly that this build keeps its book in a file.
    const QString lower = text.toLower();
    if (lower.startsWith(QStringLiteral("postgresql://")) ||
        lower.startsWith(QStringLiteral("postgres://"))) {
        location.file = text.section(u'@', -1); // never the password
        location.error = QStringLiteral("site book \"%1\": this version keeps the site book in "
                                        "a file; a server address is not supported")
                             .arg(location.file);
    }
    return location;
}
