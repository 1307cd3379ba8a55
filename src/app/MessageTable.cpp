#include "app/MessageTable.h"

#include <QFile>
#include <QLocale>
#include <optional>

namespace {

QHash<int, QString> loadTable(const QString& language) {
    QHash<int, QString> table;
    QFile f(QStringLiteral(":/messages/%1.tsv").arg(language));
    if (!f.open(QIODevice::ReadOnly))
        return table;
    const QList<QByteArray> lines = f.readAll().split('\n');
    for (const QByteArray& raw : lines) {
        QByteArray line = raw;
        if (line.endsWith('\r'))
            line.chop(1);
        const qsizetype tab = line.indexOf('\t');
        if (tab <= 0)
            continue;
        bool ok = false;
        const int number = line.left(tab).toInt(&ok);
        if (ok)
            table.insert(number, QString::fromUtf8(line.mid(tab + 1)));
    }
    return table;
}

std::optional<QString>& languageOverride() {
    static std::optional<QString> lang;
    return lang;
}

constexpr int kMaxExpansions = 1000;
constexpr qsizetype kMaxLength = 65536;

} // namespace

const QHash<int, QString>& MessageTableFor(const QString& language) {
    static const QHash<int, QString> en = loadTable(QStringLiteral("en"));
    static const QHash<int, QString> ja = loadTable(QStringLiteral("ja"));
    return language == QLatin1String("ja") ? ja : en;
}

void SetMessageLanguage(const QString& language) {
    languageOverride() = language;
}

QString ChooseLanguage(const QByteArray& forced, const QStringList& uiLanguages) {
    const QByteArray f = forced.trimmed().toLower();
    if (f == "ja" || f == "en")
        return QString::fromLatin1(f);
    if (!uiLanguages.isEmpty() &&
        uiLanguages.first().startsWith(QLatin1String("ja"), Qt::CaseInsensitive))
        return QStringLiteral("ja");
    return QStringLiteral("en");
}

QString ActiveLanguage() {
    // Chosen once a run: every message looks it up, two for each exchange on the line, and
    // asking the system for its languages reads the environment each time.
    static const QString chosen =
        ChooseLanguage(qgetenv("TQ5800_LANG"), QLocale::system().uiLanguages());
    return chosen;
}

QString MessageLanguage() {
    if (languageOverride())
        return *languageOverride();
    return ActiveLanguage();
}

QString ExpandMessage(const QString& input, const QStringList& params) {
    QString text = input;
    qsizetype from = 0;
    int expansions = 0;
    while (true) {
        const qsizetype p = text.indexOf(u'~', from);
        if (p < 0)
            break;
        const QChar c = p + 1 < text.size() ? text.at(p + 1) : QChar();
        QString replacement;
        bool isParam = false;
        if (c == u'c' || c == u'C') {
            replacement = QStringLiteral("\r\n");
        } else if (c == u't' || c == u'T') {
            replacement = QStringLiteral("\t");
        } else if (c >= u'0' && c <= u'9') {
            const int index = c.unicode() - '1';
            if (index >= 0 && index < params.size())
                replacement = params.at(index);
            isParam = true;
        }
        const qsizetype removed = c.isNull() ? 1 : 2;
        text.replace(p, removed, replacement);
        ++expansions;
        // A parameter's own "~" is expanded again (the search restarts at the first "~"), but
        // only while the bound holds; past it the parameter text stays as it is.
        const bool bounded = expansions < kMaxExpansions && text.size() < kMaxLength;
        from = (isParam && !bounded) ? p + replacement.size() : p;
        if (text.size() > kMaxLength * 4) {
            text.truncate(kMaxLength * 4);
            break;
        }
    }
    return text;
}

QString LoadMessage(int number, const QStringList& params) {
    const QHash<int, QString>& table = MessageTableFor(MessageLanguage());
    return ExpandMessage(table.value(number), params);
}

QString AppTitle() {
    return LoadMessage(5001);
}
