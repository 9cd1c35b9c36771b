#include "SiteBookServerAddress.h"

#include <QMap>
#include <QStringList>
#include <QUrl>

namespace {

QString Decode(const QString& text) {
    return QUrl::fromPercentEncoding(text.toUtf8());
}

// One libpq parameter for Qt's driver, which separates them by ';' and
// hands the rest to libpq: quoted, so spaces and quotes inside stay.
QString Parameter(const QString& key, QString value) {
    value.replace(u'\\', QStringLiteral("\\\\"));
    value.replace(u'\'', QStringLiteral("\\'"));
    return QStringLiteral("%1='%2'").arg(key, value);
}

// What the field needs when the address says nothing: a laptop whose
// network is down must not wait long for the server before it keeps the
// visit itself, nor hang on a connection whose peer has gone.
const QList<std::pair<QString, QString>>& Defaults() {
    static const QList<std::pair<QString, QString>> defaults{
        {QStringLiteral("connect_timeout"), QStringLiteral("5")},
        {QStringLiteral("tcp_user_timeout"), QStringLiteral("10000")},
        {QStringLiteral("keepalives_idle"), QStringLiteral("10")},
        {QStringLiteral("keepalives_interval"), QStringLiteral("5")},
        {QStringLiteral("keepalives_count"), QStringLiteral("3")},
        {QStringLiteral("application_name"), QStringLiteral("detector-config")},
    };
    return defaults;
}

} // namespace

QString SiteBookServerAddress::Hide(QString text) const {
    if (!password.isEmpty())
        text.replace(password, QStringLiteral("********"));
    return text;
}

QString ParseServerAddress(const QString& address, SiteBookServerAddress& server) {
    server = SiteBookServerAddress{};
    const qsizetype schemeEnd = address.indexOf(QStringLiteral("://"));
    QString rest = address.mid(schemeEnd + 3);
    QString query;
    if (const qsizetype q = rest.indexOf(u'?'); q >= 0) {
        query = rest.mid(q + 1);
        rest.truncate(q);
    }
    QString path;
    if (const qsizetype slash = rest.indexOf(u'/'); slash >= 0) {
        path = rest.mid(slash + 1);
        rest.truncate(slash);
    }
    // The password may hold '@': the host starts after the last one.
    if (const qsizetype at = rest.lastIndexOf(u'@'); at >= 0) {
        const QString userInfo = rest.left(at);
        rest = rest.mid(at + 1);
        const qsizetype colon = userInfo.indexOf(u':');
        server.user = Decode(userInfo.left(colon));
        if (colon >= 0)
            server.password = Decode(userInfo.mid(colon + 1));
    }
    QString why;
    QString portText;
    if (rest.contains(u',')) {
        why = QStringLiteral("several hosts are not supported");
    } else if (rest.startsWith(u'[')) { // [IPv6 address]:port
        const qsizetype close = rest.indexOf(u']');
        server.host = rest.mid(1, close - 1);
        portText = rest.mid(close + 1);
        if (close < 0 || (!portText.isEmpty() && !portText.startsWith(u':')))
            why = QStringLiteral("the host is not understood");
        portText = portText.mid(1);
    } else {
        const qsizetype colon = rest.indexOf(u':');
        server.host = Decode(rest.left(colon));
        if (colon >= 0)
            portText = rest.mid(colon + 1);
    }
    server.database = Decode(path);

    QMap<QString, QString> parameters;
    for (const QString& pair : query.split(u'&', Qt::SkipEmptyParts)) {
        const qsizetype equals = pair.indexOf(u'=');
        const QString key = Decode(pair.left(equals));
        if (equals < 0 && why.isEmpty())
            why = QStringLiteral("the parameter \"%1\" has no value").arg(key);
        parameters[key] = Decode(pair.mid(equals + 1));
    }
    // libpq lets the parameters name what the address could say.
    if (parameters.contains(QStringLiteral("password")))
        server.password = parameters.take(QStringLiteral("password"));
    if (parameters.contains(QStringLiteral("user")))
        server.user = parameters.take(QStringLiteral("user"));
    if (parameters.contains(QStringLiteral("host")))
        server.host = parameters.take(QStringLiteral("host"));
    if (parameters.contains(QStringLiteral("port")))
        portText = parameters.take(QStringLiteral("port"));
    if (parameters.contains(QStringLiteral("dbname")))
        server.database = parameters.take(QStringLiteral("dbname"));
    if (!portText.isEmpty()) {
        bool ok = false;
        server.port = portText.toInt(&ok);
        if ((!ok || server.port < 1 || server.port > 65535) && why.isEmpty())
            why = QStringLiteral("the port \"%1\" is not a number from 1 to 65535").arg(portText);
    }
    for (const auto& [key, value] : Defaults()) {
        if (!parameters.contains(key))
            parameters[key] = value;
    }
    QStringList options;
    for (auto it = parameters.cbegin(); it != parameters.cend(); ++it) {
        // Qt's driver splits the parameters at ';', quoted or not.
        if ((it.key() + it.value()).contains(u';') && why.isEmpty())
            why = QStringLiteral("the parameter \"%1\" holds a ';'").arg(it.key());
        options << Parameter(it.key(), it.value());
    }
    server.options = options.join(u';');

    QString host = server.host.contains(u':') ? u'[' + server.host + u']' : server.host;
    if (server.port > 0)
        host += u':' + QString::number(server.port);
    server.shown =
        QStringLiteral("postgresql://%1%2/%3")
            .arg(server.user.isEmpty() ? QString() : server.user + u'@', host, server.database);
    if (!why.isEmpty())
        return QStringLiteral("site book \"%1\": the server address is not understood: %2")
            .arg(server.shown, server.Hide(why));
    return {};
}
