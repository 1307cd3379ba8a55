#pragma once

#include "app/clsToken.h"
#include "link/LinkState.h"
#include "model/CommandSet.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <functional>
#include <optional>

// Checks a received block and stores its data in the link's current instrument record.
// Dispatch is by the block's four-character command key through one key table; every field
// from the wire is checked before it is stored, and an error thrown by the record or the
// tokenizer rejects the block instead of escaping.
class ResponseDecoder {
public:
    struct Events {
        // The connect reply made the link connected (LinkMode is already 3).
        std::function<void()> Connected;
        // A live-reading reply was decoded: the five current readings.
        std::function<void(const std::array<float, 5>&)> Densty;
    };

    explicit ResponseDecoder(LinkState& state, Events events = {});

    // True when the block was accepted (and its data stored); false when it was rejected.
    // A block that fails a check may already have stored the fields before the failing one,
    // as each command's rules say.
    bool DecodeResponse(const QByteArray& block);

    // Whether a key has an entry in the table (code, comma, form letter).
    static bool IsKnownKey(const QByteArray& key);

private:
    using Handler = std::function<bool(ResponseDecoder&)>;
    static quint32 packKey(const char* key);
    static const QHash<quint32, Handler>& keyTable();
    static QHash<quint32, Handler> buildKeyTable();

    clsInstrument& rec() { return *m_state.Instrument; }
    int count() const { return m_token.TokenCount(); }
    QString tok(int i) const; // empty past the token count (the tokenizer keeps stale slots)
    bool formatError();
    bool responseError();
    bool acknowledge();
    bool acceptAny();

    // Field readers; empty when the text does not hold a value of the kind.
    static std::optional<qint32> integerField(const QString& text, FieldEncoding enc, qint32 min,
                                              qint32 max);
    static std::optional<float> levelField(const QString& text);
    static std::optional<float> hexSingleField(const QString& text);

    // One gas-table record (name, full scale, resolution, unit, element volume, ratio) read
    // from six tokens starting at `first`.
    struct TableRecord {
        QString name;
        float fullScale = 0;
        float digit = 0;
        qint16 point = 0;
        QString unit;
        qint32 elemVol = 0;
        float ratio = 0;
    };
    std::optional<TableRecord> tableRecord(int first, qint32 elemVolMax) const;

    bool identityRead(const IdentityCommand& c);
    bool identityWrite(const IdentityCommand& c);
    bool stationRead();
    bool settingRead(const NumericSetting& s);
    bool settingWrite(const NumericSetting& s);
    bool levelsRead(const LevelCommand& c);
    bool levelsWrite();
    bool switchRead(const SwitchCommand& c);
    bool switchWrite();
    bool gasTableRead();
    bool rangedRead(const RangedGroupCommand& g);
    bool clockRead();
    bool clockWrite();
    bool historyRead();
    bool liveRead();
    bool romNumberRead();
    bool sumRead();
    bool connectRead();
    bool channelRead();
    bool analogRead();
    bool userGasRead();
    bool libraryRead();
    bool coefficients(const CoefficientCommand& c, bool firstCharsOnly);
    bool zeroSpanRead();
    bool spanWrite();
    bool zeroPoll();
    bool completion();
    bool nitrogenWrite();
    bool dumpList();

    LinkState& m_state;
    Events m_events;
    clsToken m_token;
    const QByteArray* m_block = nullptr;
    char m_status = 0;
    QString m_data;
};
