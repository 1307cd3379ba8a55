#include "link/ResponseDecoder.h"

#include "app/Conversions.h"
#include "app/FieldCodec.h"
#include "app/MessageTable.h"
#include "app/NumberFormat.h"
#include "app/ReadingFormat.h"
#include "link/CommLog.h"
#include "link/Frame.h"
#include "model/GasInfo.h"
#include "model/Payloads.h"
#include "model/clsInstrument.h"
#include "state/AppState.h"

#include <QDateTime>
#include <cmath>
#include <exception>
#include <limits>

namespace {

const QString kFormatError = QStringLiteral("<<< Format error >>>");
const QString kResponseError = QStringLiteral("<<< Response error >>>");
const QString kChecksumError = QStringLiteral("<<< Checksum error >>>");
const QString kStars = QStringLiteral("*****");

bool allDigits(QStringView t) {
    for (const QChar c : t)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

bool allHex(QStringView t) {
    for (const QChar c : t) {
        const char16_t u = c.unicode();
        if (!((u >= '0' && u <= '9') || (u >= 'A' && u <= 'F') || (u >= 'a' && u <= 'f')))
            return false;
    }
    return true;
}

// "YYMMDDhhnnss" as a date in 20YY; invalid when any part is not a date.
std::optional<AppDate> date12(QStringView t) {
    if (t.size() != 12 || !allDigits(t))
        return std::nullopt;
    const auto part = [&](int at) { return t.mid(at, 2).toInt(); };
    const QDate d(2000 + part(0), part(2), part(4));
    const QTime tm(part(6), part(8), part(10));
    if (!d.isValid() || !tm.isValid())
        return std::nullopt;
    return AppDate::fromDateTime(QDateTime(d, tm));
}

} // namespace

ResponseDecoder::ResponseDecoder(LinkState& state, Events events)
    : m_state(state), m_events(std::move(events)) {
    m_token.ClearComments();
    m_token.ClearDelimiters();
    m_token.ClearStrings();
    m_token.AddDelimiters(QStringLiteral("\r"));
    m_token.AddDelimiters(QStringLiteral(","));
}

quint32 ResponseDecoder::packKey(const char* k) {
    return quint32(quint8(k[0])) << 24 | quint32(quint8(k[1])) << 16 | quint32(quint8(k[2])) << 8 |
           quint32(quint8(k[3]));
}

bool ResponseDecoder::IsKnownKey(const QByteArray& key) {
    return key.size() == 4 && keyTable().contains(packKey(key.constData()));
}

const QHash<quint32, ResponseDecoder::Handler>& ResponseDecoder::keyTable() {
    static const QHash<quint32, Handler> table = buildKeyTable();
    return table;
}

QHash<quint32, ResponseDecoder::Handler> ResponseDecoder::buildKeyTable() {
    QHash<quint32, Handler> t;
    const auto add = [&t](const QByteArray& key, Handler h) { t.insert(packKey(key), h); };
    const auto same = [&](std::initializer_list<const char*> keys, bool (ResponseDecoder::*fn)()) {
        for (const char* k : keys)
            add(k, [fn](ResponseDecoder& d) { return (d.*fn)(); });
    };
    const auto ruleHandler = [](ReplyRule rule) -> bool (ResponseDecoder::*)() {
        using D = ResponseDecoder;
        switch (rule) {
        case ReplyRule::Acknowledge:
            return &D::acknowledge;
        case ReplyRule::AcceptAny:
            return &D::acceptAny;
        case ReplyRule::StationEntry:
            return &D::stationRead;
        case ReplyRule::GasTable:
            return &D::gasTableRead;
        case ReplyRule::ClockRead:
            return &D::clockRead;
        case ReplyRule::ClockEcho:
            return &D::clockWrite;
        case ReplyRule::History:
            return &D::historyRead;
        case ReplyRule::Live:
            return &D::liveRead;
        case ReplyRule::RomNumber:
            return &D::romNumberRead;
        case ReplyRule::Sum:
            return &D::sumRead;
        case ReplyRule::Connect:
            return &D::connectRead;
        case ReplyRule::Channels:
            return &D::channelRead;
        case ReplyRule::Analog:
            return &D::analogRead;
        case ReplyRule::UserGas:
            return &D::userGasRead;
        case ReplyRule::Library:
            return &D::libraryRead;
        case ReplyRule::ZeroSpanFields:
            return &D::zeroSpanRead;
        case ReplyRule::SpanResult:
            return &D::spanWrite;
        case ReplyRule::ZeroResult:
            return &D::zeroPoll;
        case ReplyRule::Completion:
            return &D::completion;
        case ReplyRule::Nitrogen:
            return &D::nitrogenWrite;
        case ReplyRule::DumpList:
            return &D::dumpList;
        case ReplyRule::SwitchEcho:
            return &D::switchWrite;
        }
        return nullptr;
    };

    for (const IdentityCommand& c : IdentityCommands()) {
        add(QByteArray(c.code) + ",R", [&c](ResponseDecoder& d) { return d.identityRead(c); });
        add(QByteArray(c.code) + ",W", [&c](ResponseDecoder& d) { return d.identityWrite(c); });
    }
    for (const NumericSetting& s : NumericSettings()) {
        add(QByteArray(s.code) + ",R", [&s](ResponseDecoder& d) { return d.settingRead(s); });
        add(QByteArray(s.code) + ",W", [&s](ResponseDecoder& d) { return d.settingWrite(s); });
    }
    for (const LevelCommand& c : LevelCommands()) {
        add(QByteArray(c.code) + ",R", [&c](ResponseDecoder& d) { return d.levelsRead(c); });
        if (c.writable)
            add(QByteArray(c.code) + ",W", [](ResponseDecoder& d) { return d.levelsWrite(); });
    }
    for (const SwitchCommand& c : SwitchCommands())
        add(QByteArray(c.code) + ",R", [&c](ResponseDecoder& d) { return d.switchRead(c); });
    for (const RangedGroupCommand& g : RangedGroupCommands())
        add(QByteArray(g.code) + ",R", [&g](ResponseDecoder& d) { return d.rangedRead(g); });
    for (const CoefficientCommand& c : CoefficientCommands()) {
        add(QByteArray(c.code) + ",R",
            [&c](ResponseDecoder& d) { return d.coefficients(c, false); });
        add(QByteArray(c.code) + ",W",
            [&c](ResponseDecoder& d) { return d.coefficients(c, c.writeReplyChars > 0); });
    }
    for (const CommandKeyRow& row : CommandKeyRows())
        if (const auto fn = ruleHandler(row.reply))
            same({row.key}, fn);
    return t;
}

bool ResponseDecoder::DecodeResponse(const QByteArray& block) {
    if (block.size() < MinBlockLength)
        return formatError();
    if (m_state.VerifyChecksum && !BlockChecksumOk(block)) {
        WriteSerialLog(kChecksumError);
        return false;
    }
    const BlockParts parts = SplitBlock(block);
    const auto it = parts.key.size() == 4 ? keyTable().constFind(packKey(parts.key.constData()))
                                          : keyTable().constEnd();
    if (it == keyTable().constEnd() || !m_state.Instrument)
        return false;
    m_block = &block;
    m_status = parts.status;
    m_data = QString::fromLatin1(parts.data);
    try {
        m_token.setSource(m_data);
        return it.value()(*this);
    } catch (const std::exception&) {
        // Too many tokens, an index the record refuses, a text that does not convert.
        return formatError();
    }
}

QString ResponseDecoder::tok(int i) const {
    return i >= 0 && i < count() ? m_token.Tokens(i) : QString();
}

bool ResponseDecoder::formatError() {
    WriteSerialLog(kFormatError);
    return false;
}

bool ResponseDecoder::responseError() {
    WriteSerialLog(kResponseError);
    return false;
}

bool ResponseDecoder::acceptAny() {
    return true;
}

bool ResponseDecoder::acknowledge() {
    return m_status == Ctl::ACK ? true : responseError();
}

std::optional<qint32> ResponseDecoder::integerField(const QString& text, FieldEncoding enc,
                                                    qint32 min, qint32 max) {
    WholeField f;
    switch (enc) {
    case FieldEncoding::Hex:
        f = ParseWholeField(QStringLiteral("&H") + text, min, max);
        break;
    case FieldEncoding::FirstCharFlag:
        if (!IsNumericText(text))
            return std::nullopt;
        f = ParseWholeField(text.startsWith(u'1') ? u"1" : u"0", min, max);
        break;
    default:
        f = ParseWholeField(text, min, max);
    }
    if (f.status != FieldStatus::Ok)
        return std::nullopt;
    return qint32(f.value);
}

std::optional<float> ResponseDecoder::levelField(const QString& text) {
    if (text.trimmed() == kStars)
        return -101.0f;
    if (ParseSingleField(text).status != FieldStatus::Ok)
        return std::nullopt;
    return ParseReadingText(text);
}

std::optional<float> ResponseDecoder::hexSingleField(const QString& text) {
    if (text.size() != 8 || !allHex(text))
        return std::nullopt;
    const float f = HexToSingle(text);
    if (!std::isfinite(f))
        return std::nullopt;
    return f;
}

std::optional<ResponseDecoder::TableRecord> ResponseDecoder::tableRecord(int first,
                                                                         qint32 elemVolMax) const {
    TableRecord r;
    r.name = tok(first).trimmed();
    r.unit = tok(first + 3).trimmed();
    const auto fs = levelField(tok(first + 1));
    const auto digit = levelField(tok(first + 2));
    const auto elem = integerField(tok(first + 4), FieldEncoding::Hex, 0, elemVolMax);
    const auto ratio = hexSingleField(tok(first + 5));
    if (r.name.size() > 10 || r.unit.size() > 4 || !fs || !digit || !elem || !ratio)
        return std::nullopt;
    r.fullScale = *fs;
    r.digit = *digit;
    r.point = qint16(DecimalsOfText(tok(first + 2).trimmed()));
    r.elemVol = *elem;
    r.ratio = *ratio;
    return r;
}

bool ResponseDecoder::identityRead(const IdentityCommand& c) {
    const QString t = tok(0).trimmed();
    if (t.size() > c.width)
        return formatError();
    (rec().*(c.set))(t);
    (rec().*(c.setFlag))(false);
    return true;
}

bool ResponseDecoder::identityWrite(const IdentityCommand& c) {
    // The instrument echoes the text it took, which is the text sent: cut to its field.
    return tok(0).trimmed() == TextN((rec().*(c.get))(), c.width).trimmed();
}

bool ResponseDecoder::stationRead() {
    // An entry without a name comes as the index alone: an empty station, not a bad reply.
    if (count() < 1)
        return formatError();
    const QString index = tok(0);
    const QString text = count() >= 2 ? tok(1) : QString();
    if (text.trimmed().size() > 16)
        return formatError();
    if (index == QLatin1String("****")) {
        rec().setStationID(text.trimmed());
        rec().setChange_StationID(false);
        return true;
    }
    const auto i = integerField(index, FieldEncoding::Hex, 0, clsInstrument::StationCount - 1);
    if (!i)
        return formatError();
    rec().setStationList(*i, text);
    rec().setChange_StationList(*i, false);
    return true;
}

bool ResponseDecoder::settingRead(const NumericSetting& s) {
    if (s.read == FieldEncoding::Text) {
        const QString t = tok(0);
        if (t != QLatin1String("0") && t != QLatin1String("1") && t != QLatin1String("2"))
            return formatError();
        rec().setSpecType(t);
        s.setFlag(rec(), false);
        return true;
    }
    const auto v = integerField(tok(0), s.read, s.min, s.max);
    if (!v)
        return formatError();
    s.set(rec(), *v);
    s.setFlag(rec(), false);
    return true;
}

bool ResponseDecoder::settingWrite(const NumericSetting& s) {
    if (s.write == FieldEncoding::Text)
        return tok(0) == rec().SpecType();
    if (s.write == FieldEncoding::FlagDigit)
        return tok(0).trimmed() == (s.get(rec()) != 0 ? QLatin1String("1") : QLatin1String("0"));
    const auto v = integerField(tok(0), s.read, s.min, s.max);
    if (!v)
        return formatError();
    return *v == s.get(rec());
}

bool ResponseDecoder::levelsRead(const LevelCommand& c) {
    if (count() != clsInstrument::GasCount)
        return false;
    bool ok = true;
    for (int i = 0; i < clsInstrument::GasCount; ++i) {
        const auto v = levelField(tok(i));
        if (!v) {
            ok = false;
            continue;
        }
        c.set(rec(), i, *v);
        c.setFlag(rec(), i, false);
    }
    return ok;
}

bool ResponseDecoder::levelsWrite() {
    if (count() != clsInstrument::GasCount)
        return false;
    for (int i = 0; i < clsInstrument::GasCount; ++i)
        if (!levelField(tok(i)))
            return false;
    return true;
}

bool ResponseDecoder::switchRead(const SwitchCommand& c) {
    const QString t = tok(0);
    if (t.size() != 4)
        return formatError();
    for (int k = 0; k < 4; ++k) {
        const QChar ch = t.at(k);
        if (ch < u'0' || ch > u'9')
            continue;
        c.set(rec(), k, ch == u'1' ? 1 : 0);
        c.setFlag(rec(), k, false);
    }
    return true;
}

bool ResponseDecoder::switchWrite() {
    return tok(0).size() == 4 ? true : responseError();
}

bool ResponseDecoder::gasTableRead() {
    if (count() != clsInstrument::GasCount)
        return formatError();
    const QString none(25, u'*');
    for (int i = 0; i < clsInstrument::GasCount; ++i) {
        const QString f = tok(i);
        if (f.size() != 25)
            return false;
        if (f != none && (!IsNumericText(f.mid(11, 5)) || !IsNumericText(f.mid(16, 5))))
            return formatError();
    }
    for (int i = 0; i < clsInstrument::GasCount; ++i) {
        ApplyGasInfoRecord(tok(i), rec(), i);
        rec().setChange_GasEnable(i, false);
    }
    return true;
}

bool ResponseDecoder::rangedRead(const RangedGroupCommand& g) {
    if (count() != g.fieldCount)
        return g.logCountError ? formatError() : false;
    for (int i = 0; i < g.fieldCount; ++i) {
        const RangedField& f = g.fields[std::size_t(i)];
        const auto v = integerField(tok(i), FieldEncoding::Decimal, f.min, f.max);
        if (!v)
            continue;
        f.set(rec(), qint16(*v));
        f.setFlag(rec(), false);
    }
    return true;
}

bool ResponseDecoder::clockRead() {
    const QString t = tok(0);
    if (t.size() != 12)
        return false;
    const auto when = date12(t);
    if (!when) {
        rec().setFailLine(QString::fromLatin1(KeyText(Key::ClockRead)));
        WriteSerialLog(QStringLiteral("<<< improper date at HC >>> ") + t);
        return false;
    }
    rec().setSysDate(*when);
    rec().setSysDateOffset(AppDate(when->serial() - AppDate::now().serial()));
    return true;
}

bool ResponseDecoder::clockWrite() {
    return *m_block == m_state.LastFrame ? true : responseError();
}

bool ResponseDecoder::historyRead() {
    if (count() != clsInstrument::GasCount)
        return false;
    const auto reading = [](const QString& t) -> float {
        const SingleField f = ParseSingleField(t);
        return t.contains(u'-') || f.status != FieldStatus::Ok ? -101.0f : f.value;
    };
    for (int i = 0; i < clsInstrument::GasCount; ++i) {
        const QString f = tok(i);
        if (f.size() != 22)
            continue;
        if (const auto when = date12(QStringView(f).left(12)))
            rec().setCalibDate(i, *when);
        rec().setCalibBefore(i, reading(f.mid(12, 5)));
        rec().setCalibAfter(i, reading(f.mid(17, 5)));
    }
    return true;
}

bool ResponseDecoder::liveRead() {
    std::array<float, 5> values{};
    for (int i = 0; i < clsInstrument::GasCount; ++i) {
        if (const SingleField f = ParseSingleField(tok(i)); f.status == FieldStatus::Ok)
            rec().setLimitValue(i, f.value);
        values[std::size_t(i)] = rec().LimitValue(i);
    }
    if (m_events.Densty)
        m_events.Densty(values);
    return true;
}

bool ResponseDecoder::romNumberRead() {
    const auto v = integerField(tok(0), FieldEncoding::Decimal, std::numeric_limits<qint32>::min(),
                                std::numeric_limits<qint32>::max());
    if (!v)
        return formatError();
    rec().setRomNumber(*v);
    return true;
}

bool ResponseDecoder::sumRead() {
    const QString t = tok(0);
    if (!IsNumericText(QStringLiteral("&H") + t))
        return formatError();
    rec().setSUM(t);
    return true;
}

bool ResponseDecoder::connectRead() {
    m_state.ConnectReply = m_data;
    if (m_state.LinkMode != ConnectMode::Connected) {
        m_state.LinkMode = ConnectMode::Connected;
        WriteSerialLog(LoadMessage(5514));
        if (m_events.Connected)
            m_events.Connected();
    }
    return true;
}

bool ResponseDecoder::channelRead() {
    const QString t = tok(0);
    if (t.size() != 2)
        return false;
    rec().setCN_ir(t.left(1));
    rec().setCN_o2(t.mid(1, 1));
    return true;
}

bool ResponseDecoder::analogRead() {
    for (int i = 0; i < 8; ++i) {
        const auto v = integerField(tok(i), FieldEncoding::Hex, std::numeric_limits<qint16>::min(),
                                    std::numeric_limits<qint16>::max());
        if (v)
            rec().setAnalogValue(i, qint16(*v));
    }
    if (const auto f = hexSingleField(tok(8)))
        rec().setAdrealValue(*f);
    return true;
}

bool ResponseDecoder::userGasRead() {
    if (count() != 14)
        return formatError();
    std::array<TableRecord, 2> records;
    std::array<qint16, 2> numbers{};
    for (int r = 0; r < 2; ++r) {
        const auto no = integerField(tok(7 * r), FieldEncoding::Hex, 0, 0xFF);
        const auto t = tableRecord(7 * r + 1, std::numeric_limits<qint32>::max());
        if (!no || !t)
            return formatError();
        numbers[std::size_t(r)] = qint16(*no);
        records[std::size_t(r)] = *t;
    }
    clsInstrument& c = rec();
    for (int r = 0; r < 2; ++r) {
        const TableRecord& t = records[std::size_t(r)];
        c.setLS_No(r, numbers[std::size_t(r)]);
        c.setLS_Name(r, t.name);
        c.setLS_FullScale(r, t.fullScale);
        c.setLS_Digit(r, t.digit);
        c.setLS_Point(r, t.point);
        c.setLS_Unit(r, t.unit);
        c.setLS_elem_vol(r, t.elemVol);
        c.setLS_Ratio(r, t.ratio);
        c.setChange_LSData(r, false);
    }
    return true;
}

bool ResponseDecoder::libraryRead() {
    if (count() != 13)
        return formatError();
    // Table n holds the gas's two measuring ranges: library entries n and n + 15.
    const auto table = integerField(tok(0), FieldEncoding::Hex, 1, 15);
    const auto first = tableRecord(1, std::numeric_limits<qint16>::max());
    const auto second = tableRecord(7, std::numeric_limits<qint16>::max());
    if (!table || !first || !second)
        return formatError();
    clsInstrument& c = rec();
    const std::array<std::pair<int, const TableRecord*>, 2> entries{
        std::pair{*table, &*first}, std::pair{*table + 15, &*second}};
    for (const auto& [e, t] : entries) {
        c.setLI_Name(e, t->name);
        c.setLI_FullScale(e, t->fullScale);
        c.setLI_Digit(e, t->digit);
        c.setLI_Point(e, t->point);
        c.setLI_Unit(e, t->unit);
        c.setLI_elem_vol(e, qint16(t->elemVol));
        c.setLI_Ratio(e, t->ratio);
    }
    return true;
}

bool ResponseDecoder::coefficients(const CoefficientCommand& c, bool firstCharsOnly) {
    if (firstCharsOnly)
        m_token.setSource(m_data.left(c.writeReplyChars));
    if (count() != c.count)
        return formatError();
    if (c.numeric && !IsNumericText(tok(0)))
        return formatError();
    for (int i = 0; i < c.count; ++i)
        (rec().*(c.set[std::size_t(i)]))(tok(i));
    if (c.setFlag)
        (rec().*(c.setFlag))(false);
    return true;
}

bool ResponseDecoder::zeroSpanRead() {
    return count() == 4 ? true : formatError();
}

bool ResponseDecoder::spanWrite() {
    const QString t = tok(0).trimmed();
    m_state.SpanResult = t.size() == 5 ? t : QString();
    return true;
}

bool ResponseDecoder::zeroPoll() {
    const QString t = tok(0).trimmed();
    if (t.size() == 5) {
        m_state.ZeroResult = t;
        return true;
    }
    if (m_status == Ctl::SUB) {
        m_state.ZeroResult.clear();
        return true;
    }
    return responseError();
}

bool ResponseDecoder::completion() {
    m_state.Completion = m_status == Ctl::ACK;
    return true;
}

bool ResponseDecoder::nitrogenWrite() {
    if (m_status == Ctl::NAK) {
        m_state.ReturnedText.clear();
        return false;
    }
    m_state.ReturnedText = tok(0);
    return true;
}

bool ResponseDecoder::dumpList() {
    const QString number = tok(1);
    const QString hex = tok(3);
    double n = 0;
    if (!ParseNumber(number, &n) || hex.isEmpty())
        return true;
    const QByteArray digits = hex.toLatin1();
    if (n != std::trunc(n) || n < 1 || n > 1e9 || !HexListBuffer::isValidBlock(qint64(n), digits))
        return formatError();
    if (qint64(n) == m_state.DumpList.lastBlock())
        return true; // the block again, after the acknowledgement was lost: taken once
    // Token 0 announces how many blocks the listing has; the hex list checks that all came.
    double announced = 0;
    if (!ParseNumber(tok(0), &announced) || announced != std::trunc(announced) || announced < 1 ||
        announced > 1e9)
        announced = 0;
    m_state.DumpList.addBlock(qint64(n), digits, qint64(announced));
    return true;
}
