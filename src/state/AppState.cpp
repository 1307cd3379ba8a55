#include "state/AppState.h"

#include <QLocale>
#include <memory>

namespace {
std::unique_ptr<AppState>& holder() {
    static std::unique_ptr<AppState> s = std::make_unique<AppState>();
    return s;
}
} // namespace

AppState& appState() {
    return *holder();
}

void resetAppState() {
    holder() = std::make_unique<AppState>();
}

QString ActiveLanguage() {
    const QByteArray forced = qgetenv("TQ5800_LANG").trimmed().toLower();
    if (forced == "ja" || forced == "en")
        return QString::fromLatin1(forced);
    const QStringList langs = QLocale::system().uiLanguages();
    if (!langs.isEmpty() && langs.first().startsWith(QLatin1String("ja"), Qt::CaseInsensitive))
        return QStringLiteral("ja");
    return QStringLiteral("en");
}
