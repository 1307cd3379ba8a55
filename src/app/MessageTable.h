#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

// The numbered message table in the active language. Texts carry "~" escapes: "~c" line break
// (CR LF), "~t" tab, "~1".."~9" parameters, "~" with any other character removed.
QString LoadMessage(int number, const QStringList& params = {});
QString AppTitle();

// Expands the escapes of one text. Each replacement is searched again from the first "~", so
// a "~" a parameter brings in is expanded too; past a bound the parameters are inserted
// literally so that the expansion always ends and the text stays a sane size.
QString ExpandMessage(const QString& text, const QStringList& params);

// The table of one language ("en" or "ja"), loaded once from the resources.
const QHash<int, QString>& MessageTableFor(const QString& language);
// Switches the language LoadMessage uses (tests; the program uses ActiveLanguage()).
void SetMessageLanguage(const QString& language);
QString MessageLanguage();
// The user-interface language: "ja" or "en". TQ5800_LANG overrides the system's choice.
// Chosen once, at the first call of a run.
QString ActiveLanguage();
// The rule behind it: a forced "ja" or "en" (any case, spaces around), else Japanese when the
// system's first user-interface language is, else English.
QString ChooseLanguage(const QByteArray& forced, const QStringList& uiLanguages);
