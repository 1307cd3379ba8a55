#include "state/ConfigFile.h"

#include "app/AppDate.h"
#include "app/Errors.h"
#include "app/FieldCodec.h"
#include "app/FilePaths.h"
#include "app/MessageTable.h"
#include "app/NumberFormat.h"
#include "app/TextLineReader.h"
#include "state/AppState.h"

#include <QFile>
#include <QHash>
#include <QStringList>
#include <QUrl>
#include <QVarLengthArray>
#include <charconv>
#include <cmath>
#include <functional>
#include <limits>
#include <optional>
#include <span>
#include <tuple>

namespace {

// One tokenized line. Fields past the line's own tokens are missing: their targets keep what
// they hold (the tokenizer's stale slots never leak into the settings).
class Fields {
public:
    explicit Fields(std::span<const QStringView> t) : m_t(t) {}

    std::optional<QString> text(int n) const {
        if (!has(n))
            return std::nullopt;
        return m_t[n].isEmpty() ? QString() : m_t[n].toString();
    }
    std::optional<bool> flag(int n, QLatin1String yes = QLatin1String("TRUE")) const {
        if (!has(n))
            return std::nullopt;
        return m_t[n].compare(yes, Qt::CaseInsensitive) == 0;
    }
    std::optional<qint16> integer(int n, qint16 fallback) const {
        return whole<qint16>(n, fallback);
    }
    std::optional<qint32> longInt(int n, qint32 fallback) const {
        return whole<qint32>(n, fallback);
    }
    std::optional<float> single(int n, float fallback) const {
        if (!has(n))
            return std::nullopt;
        const SingleField f = ParseSingleField(m_t[n]);
        if (f.status == FieldStatus::NotNumber)
            return fallback;
        if (f.status == FieldStatus::OutOfRange)
            throw ConversionError("number outside the range of a single");
        return f.value;
    }
    // A table number: nothing when missing or not a number (the line is then ignored).
    std::optional<qint16> number(int n) const {
        if (!has(n))
            return std::nullopt;
        const WholeField f = ParseWholeFieldOf<qint16>(m_t[n]);
        if (f.status == FieldStatus::NotNumber)
            return std::nullopt;
        return fitted<qint16>(f);
    }

private:
    bool has(int n) const { return n >= 0 && qsizetype(n) < qsizetype(m_t.size()); }

    template <typename T> static T fitted(const WholeField& f) {
        if (f.status == FieldStatus::OutOfRange)
            throw ConversionError("number outside the range of its field");
        return T(f.value);
    }
    template <typename T> std::optional<T> whole(int n, T fallback) const {
        if (!has(n))
            return std::nullopt;
        const WholeField f = ParseWholeFieldOf<T>(m_t[n]);
        if (f.status == FieldStatus::NotNumber)
            return fallback;
        return fitted<T>(f);
    }

    std::span<const QStringView> m_t;
};

// A STEL or TWA of -1 in the file means "not used".
float notUsed(float v) {
    return v == -1.0f ? -101.0f : v;
}

void readGasInst(AppState& s, const Fields& f) {
    const auto no = f.number(1);
    if (!no)
        return;
    const int i = *no - 1;
    if (i < 0 || i >= clsInstrument::GasCount)
        throw ConversionError("gas number out of range");
    clsInstrument& d = s.DefaultRecord;
    if (auto v = f.text(2))
        d.setGasName(i, *v);
    if (auto v = f.flag(3))
        d.setGasEnabled(i, *v);
    if (auto v = f.flag(4))
        s.GasLocked[i] = *v;
    if (auto v = f.integer(5, 0))
        d.setGasPoint(i, *v);
    if (auto v = f.text(6))
        d.setGasUnit(i, *v);
    if (auto v = f.single(7, 0))
        d.setWarning(i, *v);
    if (auto v = f.single(8, 0))
        d.setAlarm(i, *v);
    if (auto v = f.single(9, 0))
        d.setStel(i, notUsed(*v));
    if (auto v = f.single(10, 0))
        d.setTwa(i, notUsed(*v));
    if (auto v = f.single(11, 0))
        d.setGasDesit(i, *v);
    if (auto v = f.single(12, 0))
        d.setGasFullScale(i, *v);
    if (auto v = f.single(13, 0))
        d.setAutoCalib(i, *v);
    if (auto v = f.single(14, 0))
        s.FactAutoCal[i] = *v;
    if (auto v = f.longInt(15, 0))
        s.GraphColors[i] = *v;
}

void readChgGas(AppState& s, const Fields& f) {
    const auto slot = f.number(1);
    const auto gas = slot ? f.number(2) : std::nullopt;
    if (!slot || !gas)
        return;
    if (!GasDefaultTable::inRange(*gas - 1, *slot - 1))
        throw ConversionError("gas table index out of range");
    GasDefaultEntry& e = s.GasDefaults.at(*gas - 1, *slot - 1);
    if (auto v = f.text(3))
        e.Name = *v;
    if (auto v = f.flag(4))
        e.Enabled = *v;
    if (auto v = f.flag(5))
        e.Locked = *v;
    if (auto v = f.integer(6, 0))
        e.Point = *v;
    if (auto v = f.text(7))
        e.Unit = *v;
    if (auto v = f.single(8, 0))
        e.Warning = *v;
    if (auto v = f.single(9, 0))
        e.Alarm = *v;
    if (auto v = f.single(10, 0))
        e.STEL = notUsed(*v);
    if (auto v = f.single(11, 0))
        e.TWA = notUsed(*v);
    if (auto v = f.single(12, 0))
        e.Digit = *v;
    if (auto v = f.single(13, 0))
        e.FullScale = *v;
    if (auto v = f.single(14, 0))
        e.AutoCal = *v;
}

void readDefaults1(AppState& s, const Fields& f) {
    clsInstrument& d = s.DefaultRecord;
    if (auto v = f.integer(1, 90))
        d.setCalLimit(*v);
    if (auto v = f.integer(2, 30))
        d.setLcdBackLight(*v);
    if (auto v = f.integer(3, 1))
        d.setAlarmMode(*v);
    if (auto v = f.integer(4, 5))
        d.setIntervals(*v);
    if (auto v = f.integer(5, 0))
        d.setDispCalLimit(*v);
    if (auto v = f.integer(6, 0))
        d.setCalCheck(*v);
}

void readDefaults2(AppState& s, const Fields& f) {
    clsInstrument& d = s.DefaultRecord;
    if (auto v = f.integer(1, 1))
        d.setLogOverWrite(*v);
    if (auto v = f.integer(2, 128))
        d.setFlowValue(*v);
    if (auto v = f.integer(3, 1))
        d.setAlarmO2(*v);
    if (auto v = f.integer(4, 0))
        d.setAutoZero(*v);
    if (auto v = f.integer(5, 1))
        d.setDemandZero(*v);
    if (auto v = f.integer(6, 0))
        d.setUseUserPassword(*v);
}

using Handler = std::function<void(AppState&, const Fields&)>;

const QHash<QString, Handler>& handlers() {
    static const QHash<QString, Handler> table = {
        {QStringLiteral("FACTORY RECORD SUFFIX"),
         [](AppState& s, const Fields& f) {
             if (auto v = f.text(1))
                 s.FactoryRecordSuffix = *v;
         }},
        {QStringLiteral("FLEET DB"),
         [](AppState& s, const Fields& f) {
             if (auto v = f.text(1))
                 s.FleetDb = WithoutPassword(*v);
         }},
        {QStringLiteral("EXECUTE COUNT"),
         [](AppState& s, const Fields& f) {
             if (auto v = f.longInt(1, 0))
                 s.ExecuteCount = *v;
         }},
        {QStringLiteral("SERIAL LOG FILE"),
         [](AppState& s, const Fields& f) {
             if (auto v = f.flag(1, QLatin1String("ON")))
                 s.SerialLogEnabled = *v;
         }},
        {QStringLiteral("VERIFY CHECKSUM"),
         [](AppState& s, const Fields& f) {
             if (auto v = f.flag(1))
                 s.VerifyChecksum = *v;
         }},
        {QStringLiteral("DELAY"),
         [](AppState& s, const Fields& f) {
             if (auto v = f.integer(1, 100))
                 s.CommDelay = *v;
         }},
        {QStringLiteral("TIMEOUT"),
         [](AppState& s, const Fields& f) {
             if (auto v = f.integer(1, 3))
                 s.CommTimeout = *v;
         }},
        {QStringLiteral("RETRY"),
         [](AppState& s, const Fields& f) {
             if (auto v = f.integer(1, 3))
                 s.CommRetry = *v;
         }},
        {QStringLiteral("AUTO LOAD MODE"),
         [](AppState& s, const Fields& f) {
             if (auto v = f.flag(1))
                 s.AutoLoadMode = *v;
             if (auto v = f.flag(2))
                 s.AutoRemoveData = *v;
         }},
        {QStringLiteral("FONT"),
         [](AppState& s, const Fields& f) {
             if (auto v = f.text(1))
                 s.AppFont.Name = *v;
             if (auto v = f.single(2, 9.0f))
                 s.AppFont.Size = *v;
             if (auto v = f.flag(3))
                 s.AppFont.Bold = *v;
             if (auto v = f.flag(4))
                 s.AppFont.Italic = *v;
             if (auto v = f.flag(5))
                 s.AppFont.Underline = *v;
         }},
        {QStringLiteral("LIMITDAYS"),
         [](AppState& s, const Fields& f) {
             if (auto v = f.integer(1, 0))
                 s.LimitDays = *v;
         }},
        {QStringLiteral("CALIB. RANGE"),
         [](AppState& s, const Fields& f) {
             for (int k = 0; k < 4; ++k)
                 if (auto v = f.integer(k + 1, 0))
                     s.CalibRange[k] = float(*v);
         }},
        {QStringLiteral("DEFAULTVALUE1"), readDefaults1},
        {QStringLiteral("DEFAULTVALUE2"), readDefaults2},
        {QStringLiteral("GAS INST"), readGasInst},
        {QStringLiteral("CONV PARAM"),
         [](AppState& s, const Fields& f) {
             if (auto v = f.single(1, 0.2f))
                 s.ConvParam = *v;
             // The flag of field 2 never survives a reading.
             s.ConvFlag = false;
         }},
        {QStringLiteral("CHGGAS"), readChgGas},
        {QStringLiteral("SIZE VALUES"),
         [](AppState& s, const Fields& f) {
             if (auto v = f.integer(1, 0))
                 s.WindowState = *v == 2 ? 2 : 0;
             if (auto v = f.single(2, 7680.0f))
                 s.WindowWidth = *v;
             if (auto v = f.single(3, 5760.0f))
                 s.WindowHeight = *v;
         }},
        {QStringLiteral("PRT WIDTH"),
         [](AppState& s, const Fields& f) {
             if (auto v = f.single(1, 1.0f))
                 s.PrtWidth[0] = *v;
             if (auto v = f.single(2, 1.0f))
                 s.PrtWidth[1] = *v;
         }},
        {QStringLiteral("TQ-5800"),
         [](AppState& s, const Fields& f) {
             if (auto v = f.text(1))
                 s.AccessPassword = UnscramblePassword(UnscramblePassword(*v));
         }},
        {QStringLiteral("CALUNITONWAIT"),
         [](AppState& s, const Fields& f) {
             if (auto v = f.integer(1, 120))
                 s.CalWaitTimes[0] = *v;
         }},
        {QStringLiteral("CALSPANONWAIT"),
         [](AppState& s, const Fields& f) {
             if (auto v = f.integer(1, 120))
                 s.CalWaitTimes[1] = *v;
         }},
        {QStringLiteral("CALSPANOFFWAIT"),
         [](AppState& s, const Fields& f) {
             if (auto v = f.integer(1, 30))
                 s.CalWaitTimes[2] = *v;
         }},
        {QStringLiteral("COMPLETELY VIEW"),
         [](AppState& s, const Fields& f) {
             if (auto v = f.flag(1))
                 s.CompletelyView = *v;
         }},
        {QStringLiteral("TREND SEARCH"),
         [](AppState& s, const Fields& f) {
             if (auto v = f.integer(1, 0))
                 s.TrendSearch[0] = *v;
             if (auto v = f.integer(2, 0))
                 s.TrendSearch[1] = *v;
         }},
    };
    return table;
}

QString boolText(bool b) {
    return b ? QStringLiteral("True") : QStringLiteral("False");
}
QString upperBoolText(bool b) {
    return b ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
}
// One line of the file split into its fields: tab-delimited, ";" outside quotes starts a
// comment, a field in single quotes keeps tabs, ";" and doubled quotes. Empty fields between
// tabs are skipped, as they always were; files written before quotes were doubled read as
// they did. A field is a view of the line's text; only a field built from pieces (doubled
// quotes, text after the closing quote) gets a text of its own, kept in `built`.
struct SplitLine {
    QVarLengthArray<QStringView, 32> fields;
    QStringList built;
};

// A field as it is built: one piece of the line, or a text of its own once there are more.
class FieldText {
public:
    bool isEmpty() const { return m_owning ? m_own.isEmpty() : m_view.isEmpty(); }
    void append(QStringView piece) {
        if (piece.isEmpty())
            return;
        if (!m_owning && m_view.isEmpty()) {
            m_view = piece;
            return;
        }
        if (!m_owning) {
            m_own = m_view.toString();
            m_owning = true;
        }
        m_own += piece;
    }
    void clear() {
        m_view = {};
        m_own.clear();
        m_owning = false;
    }
    void addTo(SplitLine& line) const {
        if (m_owning) {
            line.built << m_own;
            line.fields.append(line.built.constLast());
        } else {
            line.fields.append(m_view);
        }
    }

private:
    QStringView m_view;
    QString m_own;
    bool m_owning = false;
};

void splitConfigLine(QStringView all, SplitLine& out) {
    constexpr int MaxFields = 256;
    out.fields.clear();
    out.built.clear();
    FieldText field;
    bool quotedField = false;
    const auto flush = [&] {
        if (quotedField || !field.isEmpty()) {
            if (out.fields.size() >= MaxFields)
                throw std::out_of_range("too many fields on a line");
            field.addTo(out);
        }
        field.clear();
        quotedField = false;
    };
    // Whole runs of text are taken at once; a field is built from one or two of them.
    const qsizetype n = all.size();
    qsizetype i = 0;
    // Where the next tab and ";" are, found once and looked for again only once passed
    // (-1: none left): a run ends at the nearer of them.
    qsizetype nextTab = -2;
    qsizetype nextSemicolon = -2;
    const auto nextAt = [&](qsizetype& at, char16_t c) {
        if (at != -1 && at < i)
            at = all.indexOf(c, i);
        return at < 0 ? n : at;
    };
    while (i < n) {
        const QChar c = all.at(i);
        if (c == u'\t') {
            flush();
            ++i;
        } else if (c == u';') {
            // A comment takes the unquoted text before it on the same field with it.
            if (!quotedField)
                field.clear();
            break;
        } else if (c == u'\'' && field.isEmpty() && !quotedField) {
            // Quoted up to the closing quote, which may be missing; '' stands for one quote.
            quotedField = true;
            ++i;
            while (i < n) {
                const qsizetype q = all.indexOf(u'\'', i);
                if (q < 0) {
                    field.append(all.mid(i));
                    i = n;
                } else if (q + 1 < n && all.at(q + 1) == u'\'') {
                    field.append(all.mid(i, q + 1 - i));
                    i = q + 2;
                } else {
                    field.append(all.mid(i, q - i));
                    i = q + 1;
                    break;
                }
            }
        } else {
            const qsizetype end = qMin(nextAt(nextTab, u'\t'), nextAt(nextSemicolon, u';'));
            field.append(all.mid(i, end - i));
            i = end;
        }
    }
    flush();
}
// A text written in single quotes straight into the file's text; a quote it holds is doubled,
// so that a name such as "_O'K" reads back whole.
struct Quoted {
    const QString& text;
};

// A setting's line: its key and its fields, tab-separated. Holds references to the fields,
// so it is written in the expression that makes it.
template <typename... F> struct Line {
    QStringView key;
    std::tuple<const F&...> fields;
};
template <typename... F> Line<F...> line(QStringView key, const F&... fields) {
    return {key, std::tie(fields...)};
}

// The file's text in one buffer, a line at a time, each ended with CR LF. Numbers and quoted
// texts are appended in place: a file is some hundred lines of a dozen fields each, and a
// string of its own for every field was most of the cost of writing one.
class ConfigText {
public:
    ConfigText() { m_text.reserve(8 * 1024); }
    ConfigText& operator<<(QStringView text) {
        m_text += text;
        m_text += u"\r\n";
        return *this;
    }
    template <typename... F> ConfigText& operator<<(const Line<F...>& l) {
        m_text += l.key;
        std::apply([this](const auto&... f) { ((m_text += u'\t', put(f)), ...); }, l.fields);
        m_text += u"\r\n";
        return *this;
    }
    QByteArray bytes() const { return m_text.toLocal8Bit(); }

private:
    void put(const QString& t) { m_text += t; }
    void put(float v) { AppendShortestText(m_text, v); }
    void put(qint64 v) {
        char buf[24];
        const auto r = std::to_chars(buf, buf + sizeof buf, v);
        m_text += QLatin1String(buf, r.ptr - buf);
    }
    void put(const Quoted& q) {
        m_text += u'\'';
        qsizetype from = 0;
        for (qsizetype at; (at = q.text.indexOf(u'\'', from)) >= 0; from = at + 1) {
            m_text += QStringView(q.text).mid(from, at + 1 - from);
            m_text += u'\'';
        }
        m_text += QStringView(q.text).mid(from);
        m_text += u'\'';
    }

    QString m_text;
};

} // namespace

QString WithoutPassword(const QString& fleetDb) {
    if (!fleetDb.startsWith(QLatin1String("postgres"), Qt::CaseInsensitive))
        return fleetDb;
    QUrl url(fleetDb, QUrl::TolerantMode);
    if (url.password().isEmpty())
        return fleetDb;
    url.setPassword(QString());
    return url.toString();
}

QString ConfigFilePath() {
    return PathInFolder(appState().StartFolder, QString::fromLatin1(ConfigFileName));
}

ConfigReadResult ReadConfig(AppState& s, QIODevice& in) {
    ConfigReadResult result;
    result.found = true;
    TextLineReader reader(in);
    QString text;
    SplitLine split;
    bool cut = false;
    while (reader.next(&text, &cut)) {
        // An absurdly long line is no setting this program wrote; it is passed over.
        if (cut)
            continue;
        try {
            splitConfigLine(text, split);
            if (split.fields.size() < 2)
                continue;
            const auto it = handlers().constFind(split.fields.at(0).toString().toUpper());
            if (it != handlers().constEnd())
                (*it)(s, Fields(std::span(split.fields.constData(), size_t(split.fields.size()))));
        } catch (const std::exception& e) {
            result.stopped = true;
            result.stopLine = reader.lineNumber();
            result.reason = QString::fromLocal8Bit(e.what());
            break;
        }
    }
    return result;
}

ConfigReadResult ReadConfigFile(AppState& s, const QString& path) {
    QFile f(path);
    if (!f.exists() || !f.open(QIODevice::ReadOnly))
        return {};
    return ReadConfig(s, f);
}

ConfigReadResult ReadConfigFile() {
    return ReadConfigFile(appState(), ConfigFilePath());
}

QByteArray ConfigFileText(const AppState& s, const AppDate& now) {
    ConfigText out;
    out << QStringLiteral(";") << QStringLiteral(";            TQ-5800 Data logger program")
        << QStringLiteral(";      Last update = ") + now.general()
        << QStringLiteral(";         Delimiter is tab,comma(,) character")
        << QStringLiteral(";           This file is changed set menu") << QStringLiteral(";");
    out << (LoadMessage(101) == QLatin1String("EN")
                ? QStringLiteral("; Copyright (C) Norvel, Inc. All rights reserved.")
                : QStringLiteral("; Copyright (C) Selvane CO.,LTD. All rights reserved."))
        << QStringLiteral(";") << QString();

    // Saturates rather than writing a count the reader would refuse as out of range.
    const qint64 count = qMin<qint64>(qint64(s.ExecuteCount) + 1, 2147483647);
    out << line(QStringLiteral("Execute Count"), count);
    out << line(QStringLiteral("Serial Log File"),
                s.SerialLogEnabled ? QStringLiteral("ON") : QStringLiteral("OFF"));
    // Quoted only when it would not read back otherwise; plain suffixes stay unquoted.
    const bool quoteSuffix = s.FactoryRecordSuffix.contains(u'\t') ||
                             s.FactoryRecordSuffix.contains(u';') ||
                             s.FactoryRecordSuffix.startsWith(u'\'');
    if (quoteSuffix)
        out << line(QStringLiteral("Factory Record Suffix"), Quoted{s.FactoryRecordSuffix});
    else
        out << line(QStringLiteral("Factory Record Suffix"), s.FactoryRecordSuffix);
    out << line(QStringLiteral("IrCOMM Num"), qint64(s.IrCommNum));
    out << line(QStringLiteral("COMM Settings"), s.CommSettings);
    out << line(QStringLiteral("Verify Checksum"), boolText(s.VerifyChecksum));
    out << line(QStringLiteral("Timeout"), qint64(s.CommTimeout == 0 ? 3 : s.CommTimeout));
    out << line(QStringLiteral("Delay"), qint64(s.CommDelay == 0 ? 300 : s.CommDelay));
    out << line(QStringLiteral("Retry"), qint64(s.CommRetry == 0 ? 3 : s.CommRetry));
    // Only when chosen, so that a file written for an earlier version stays as it was.
    if (!s.FleetDb.isEmpty())
        out << line(QStringLiteral("Fleet DB"), Quoted{WithoutPassword(s.FleetDb)});
    out << QString();

    out << QStringLiteral(";")
        << QStringLiteral("; Formats = Autoload enable, Auto remove data enable")
        << QStringLiteral(";");
    out << line(QStringLiteral("Auto Load Mode"), boolText(s.AutoLoadMode),
                boolText(s.AutoRemoveData));
    out << QString();

    out << QStringLiteral(";")
        << QStringLiteral("; Formats = Name , Size , Bold , Italic , Underline (Font setting)")
        << QStringLiteral(";");
    out << line(QStringLiteral("Font"), Quoted{s.AppFont.Name}, s.AppFont.Size,
                boolText(s.AppFont.Bold), boolText(s.AppFont.Italic),
                boolText(s.AppFont.Underline));
    out << QString();

    out << QStringLiteral(";")
        << QStringLiteral(
               "; Formats = Scale , Back , Cursor (RGB) (Color datas), Gas1, Gas2, Gas3, Gas4")
        << QStringLiteral(";");
    out << QStringLiteral("Graph Color\t0\t0\t0\t0\t1\t0\t0") << QString();

    out << QStringLiteral(";")
        << QStringLiteral("; Formats = Gas1...Gas4 (Calibration Range ... Serial Value Format)")
        << QStringLiteral(";");
    out << line(QStringLiteral("Calib. Range"), s.CalibRange[0], s.CalibRange[1], s.CalibRange[2],
                s.CalibRange[3]);
    out << QString();

    const clsInstrument& d = s.DefaultRecord;
    out << QStringLiteral(";") << QStringLiteral("; Gas Instrument Information.")
        << QStringLiteral(";")
        << QStringLiteral("; CalibLimit, BackLightTime, AlarmPattern, IntervalCycle, Cal Disp,  "
                          "Cal Proc");
    out << line(QStringLiteral("DefaultValue1"), qint64(d.CalLimit()), qint64(d.LcdBackLight()),
                qint64(d.AlarmMode()), qint64(d.Intervals()), qint64(d.DispCalLimit()),
                qint64(d.CalCheck()));
    out << QStringLiteral("; Overwrite, FlowDA, Oxy alarm type, Auto Zero, Demand Zero, Enabled "
                          "UserPassword");
    out << line(QStringLiteral("DefaultValue2"), qint64(d.LogOverWrite()), qint64(d.FlowValue()),
                qint64(d.AlarmO2()), qint64(d.AutoZero()), qint64(d.DemandZero()),
                qint64(d.UseUserPassword()));

    out << QStringLiteral(";") << QStringLiteral("; Gas Instrument Information.")
        << QStringLiteral("; Format = No , Name , Enabled , Locked , Points , Unit , Warning , "
                          "Alarm , STEL , TWA , Digit , FullSacle , AutoCal ,  Fact AutoCal. , "
                          "GraphColor")
        << QStringLiteral(";");
    for (int i = 0; i < clsInstrument::GasCount; ++i) {
        out << line(QStringLiteral("Gas Inst"), qint64(i + 1), Quoted{d.GasName(i)},
                    upperBoolText(d.GasEnabled(i)), boolText(s.GasLocked[i]), qint64(d.GasPoint(i)),
                    Quoted{d.GasUnit(i)}, d.Warning(i), d.Alarm(i), d.Stel(i), d.Twa(i),
                    d.GasDesit(i), d.GasFullScale(i), d.AutoCalib(i), s.FactAutoCal[i],
                    qint64(s.GraphColors[i]));
    }
    out << QString();
    out << line(QStringLiteral("Conv Param"), s.ConvParam, boolText(s.ConvFlag));
    out << QString();

    out << QStringLiteral(";") << QStringLiteral(";Changed Gas Lists")
        << QStringLiteral("; Format = GasNo , No , Name , Enabled , Locked , Points , Unit , "
                          "Warning , Alarm , STEL , TWA , Digit , FullSacle , AutoCal")
        << QStringLiteral(";");
    for (int slot = 0; slot < 5; ++slot) {
        out << QStringLiteral("; GasNo ") + QString::number(slot + 1);
        for (int code = 0; code < 16; ++code) {
            const GasDefaultEntry& e = s.GasDefaults.at(code, slot);
            out << line(QStringLiteral("ChgGas"), qint64(slot + 1), qint64(code + 1),
                        Quoted{e.Name}, upperBoolText(e.Enabled), boolText(e.Locked),
                        qint64(e.Point), Quoted{e.Unit}, e.Warning, e.Alarm, e.STEL, e.TWA, e.Digit,
                        e.FullScale, e.AutoCal);
        }
    }

    out << QStringLiteral(";")
        << QStringLiteral(
               "; Calibration Timer 1 : Cal.Unit On After Zero Calib, Bitween wait time.")
        << line(QStringLiteral("CalUnitOnWait"), qint64(s.CalWaitTimes[0]))
        << QStringLiteral(
               "; Calibration Timer 2 : Span Gas valve On To Span Calib, Bitween wait time.")
        << line(QStringLiteral("CalSpanOnWait"), qint64(s.CalWaitTimes[1]))
        << QStringLiteral(
               "; Calibration Timer 3 : Span valve Off After Cal.Unit Off, Bitween wait time.")
        << line(QStringLiteral("CalSpanOffWait"), qint64(s.CalWaitTimes[2])) << QString();

    out << QStringLiteral("; ") << QStringLiteral("; Format = SerialNo,StationID,UserID")
        << QStringLiteral("Data Select\tFalse\tFalse\tFalse") << QString();

    out << QStringLiteral(";")
        << QStringLiteral("; Formats = Form status , Form Width , Form Height (Twips value)")
        << QStringLiteral(";")
        << line(QStringLiteral("Size Values"), qint64(s.WindowState), s.WindowWidth, s.WindowHeight)
        << QString();

    out << QStringLiteral(";")
        << QStringLiteral("; Formats = Printing Data Line Width, Printing Scale Line Width")
        << QStringLiteral(";") << line(QStringLiteral("Prt Width"), s.PrtWidth[0], s.PrtWidth[1])
        << QString();

    out << QStringLiteral(";") << QStringLiteral("; Format = True or False") << QStringLiteral(";")
        << line(QStringLiteral("Completely View"), boolText(s.CompletelyView)) << QString();

    out << QStringLiteral(";") << QStringLiteral("; ; Format = Before Event , After Event")
        << QStringLiteral(";")
        << line(QStringLiteral("Trend Search"), qint64(s.TrendSearch[0]), qint64(s.TrendSearch[1]))
        << QString();

    out << QStringLiteral(";")
        << line(QStringLiteral("TQ-5800"), ScramblePassword(ScramblePassword(s.AccessPassword)));

    return out.bytes();
}

bool WriteConfigFile(const AppState& s, const QString& path, QString* error) {
    return WriteFileAtomically(path, ConfigFileText(s, AppDate::now()), error);
}

bool WriteConfigFile(QString* error) {
    return WriteConfigFile(appState(), ConfigFilePath(), error);
}

QString ScramblePassword(const QString& text) {
    QString out;
    out.reserve(text.size() * 2);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qint64 v = i + text.at(i).unicode();
        out += QChar(char16_t(v % 16 + 70));
        out += QChar(char16_t(v / 16 + 70));
    }
    return out;
}

QString UnscramblePassword(const QString& text) {
    QString out;
    out.reserve(text.size() / 2);
    for (qsizetype i = 0; i + 1 < text.size(); i += 2) {
        const qint64 lo = text.at(i).unicode();
        const qint64 hi = text.at(i + 1).unicode();
        // Truncating remainder, so a character below "F" gives a negative low part.
        const qint64 code = (hi - 70) * 16 + (lo - 70) % 16 - i / 2;
        if (code < -32768 || code > 65535)
            throw ConversionError("password character out of range");
        out += QChar(char16_t(code < 0 ? code + 65536 : code));
    }
    return out;
}
