#include "app/FilePaths.h"
#include "app/MessageTable.h"
#include "fleet/FleetStore.h"

#include <QUrl>
#include <QUrlQuery>

namespace {

bool isPostgresUrl(const QString& url) {
    return url.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
           url.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

// The modes libpq knows; anything else would be refused by the server's client only at
// connect time, with a text that names the whole connection.
bool knownSslMode(const QString& mode) {
    static const QStringList modes{"disable", "allow",     "prefer",
                                   "require", "verify-ca", "verify-full"};
    return modes.contains(mode);
}

void fail(QString* error, const QString& text) {
    if (error)
        *error = text;
}

} // namespace

QString FleetLocation::display() const {
    if (kind == Kind::Sqlite)
        return path;
    QUrl url;
    url.setScheme(QStringLiteral("postgresql"));
    url.setUserName(user);
    url.setHost(host);
    if (port > 0)
        url.setPort(port);
    url.setPath(u'/' + databaseName);
    QUrlQuery query;
    if (!sslMode.isEmpty())
        query.addQueryItem(QStringLiteral("sslmode"), sslMode);
    if (!service.isEmpty())
        query.addQueryItem(QStringLiteral("service"), service);
    url.setQuery(query);
    // A URL without a host keeps its "//", as it was given.
    QString text = url.toString(QUrl::RemovePassword);
    if (host.isEmpty() && !text.startsWith(QLatin1String("postgresql://")))
        text.replace(0, int(qstrlen("postgresql:")), QStringLiteral("postgresql://"));
    return text;
}

std::optional<FleetLocation> ParseFleetLocation(const QString& text, QString* error) {
    FleetLocation location;
    if (text.trimmed().isEmpty()) {
        fail(error, LoadMessage(9500));
        return std::nullopt;
    }
    if (!isPostgresUrl(text)) {
        location.path = text;
        return location;
    }
    location.kind = FleetLocation::Kind::Postgres;
    const QUrl url(text, QUrl::StrictMode);
    // The message shows the URL without its password and parameters (a password may stand
    // there too), whatever is wrong with it.
    const auto refuse = [&](const QString& why) {
        QUrl shown(text, QUrl::TolerantMode);
        fail(error, LoadMessage(9501, {shown.isValid() ? shown.toString(QUrl::RemovePassword |
                                                                        QUrl::RemoveQuery)
                                                       : QStringLiteral("postgresql://..."),
                                       why}));
        return std::nullopt;
    };
    if (!url.isValid())
        return refuse(QStringLiteral("not a URL"));
    location.host = url.host(QUrl::FullyDecoded);
    location.user = url.userName(QUrl::FullyDecoded);
    location.password = url.password(QUrl::FullyDecoded);
    location.port = url.port(0);
    if (!url.authority().isEmpty() && url.authority().endsWith(u':'))
        return refuse(QStringLiteral("no port after the colon"));
    location.databaseName = url.path(QUrl::FullyDecoded).mid(1);
    if (location.databaseName.contains(u'/'))
        return refuse(QStringLiteral("a database name holds no \"/\""));
    const QUrlQuery query(url);
    for (const auto& [key, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (key == QLatin1String("sslmode")) {
            if (!knownSslMode(value))
                return refuse(QStringLiteral("sslmode %1 is none of disable, allow, prefer, "
                                             "require, verify-ca, verify-full")
                                  .arg(value));
            location.sslMode = value;
        } else if (key == QLatin1String("service")) {
            location.service = value;
        } else {
            return refuse(QStringLiteral("unknown parameter %1").arg(key));
        }
    }
    if (location.databaseName.isEmpty() && location.service.isEmpty())
        return refuse(QStringLiteral("no database name"));
    return location;
}

QString ChooseFleetUrl(const QString& option, const QString& configured,
                       const QString& dataFolder) {
    if (!option.isEmpty())
        return option;
    const QString environment = qEnvironmentVariable("TQ5800_FLEET_DB");
    if (!environment.isEmpty())
        return environment;
    if (!configured.isEmpty())
        return configured;
    return PathInFolder(dataFolder, QStringLiteral("TQ5800_Fleet.db"));
}
