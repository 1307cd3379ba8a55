#pragma once

#include <QString>
#include <array>

class clsInstrument;

// The rules of zero and span adjustment that do not depend on a window: the gas labels, the
// check of a span-gas concentration, the span request text, the result texts and the reading
// text of the nitrogen step. The calibration window and tq5800-cli share them.
namespace Calibration {

constexpr int Channels = 5;
constexpr int OxygenChannel = 1;
constexpr int RangeChannel = 4; // the vol% range, zeroed in nitrogen ("TE N2 Cal")
// A span-gas concentration travels in a field of this many characters.
constexpr int ConcentrationWidth = 5;

using Flags = std::array<bool, Channels>;
using Readings = std::array<float, Channels>;

// "----(---)" for an unnamed gas; otherwise name(full scale with the gas's decimals, unit).
QString GasLabel(const clsInstrument& record, int channel);

// The concentration as it is sent: right-aligned in exactly five characters with the
// channel's decimals ("#0" .. "#0.000" for 0..3, "#0" otherwise), "*****" when negative.
// False when the number needs more than five characters: it is never cut, because the
// instrument would read another concentration than the one typed.
bool ConcentrationField(float value, int decimals, QString* field);

// Why a span request could not be built.
struct SpanRequest {
    QString text;        // "sssss,c0,c1,c2,c3,c4" when built
    int noSelection = 0; // 1 when no channel is selected (nothing may be sent)
    int tooLong = -1;    // the first selected channel whose concentration does not fit
    bool ok() const { return noSelection == 0 && tooLong < 0; }
};
// Selection mask, then each channel's AutoCalib from the calibration record ("*****" for an
// unselected channel).
SpanRequest BuildSpanRequest(const clsInstrument& calibration, const Flags& selection);

// The outcome of typing a span-gas concentration into the window's grid.
struct ConcentrationEdit {
    enum Outcome { Accepted, Refused, TooLong };
    Outcome outcome = Refused;
    bool cleared = false; // an empty text: the concentration is unset (-101)
    float value = -101.0f;
    QString text; // what the cell shows afterwards
};
// `main` holds the alarm levels the concentration is checked against; `calibration` the gas.
// Numbers outside 0..full scale, numbers the level check refuses and texts that are no number
// are refused; "--" means 0; a number is rounded to the gas's resolution. A value whose text
// would not fit its field is refused as TooLong. Refused edits show the stored value.
ConcentrationEdit EditConcentration(const QString& text, int channel,
                                    const clsInstrument& calibration, const clsInstrument& main);

// The lines of the result box after zero (asZero: every enabled channel) or span (the selected
// channels): "name  Adjustment Complete." or "name(reading) Failed", each ending in CR LF.
QString ResultText(const clsInstrument& calibration, const Flags& enabled, const Flags& selection,
                   const Flags& status, const Readings& live, bool asZero);

// The oxygen reading the nitrogen step sends: the reading text right-aligned in five.
QString NitrogenReadingText(float oxygen, int decimals);
// The nitrogen step's result line for the range channel.
QString NitrogenResultLine(const clsInstrument& calibration, bool ok, bool rangeEnabled,
                           float reading);

} // namespace Calibration
