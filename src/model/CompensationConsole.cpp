#include "model/CompensationConsole.h"

#include "app/MessageTable.h"
#include "model/clsInstrument.h"

#include <QRegularExpression>
#include <vector>

namespace CompensationConsole {

namespace {

using Get = QString (clsInstrument::*)() const;

struct Section {
    int label;        // message number
    bool execute;     // the header row sends the group's execute form (code + ",E,")
    const char* code; // the group's command code
    bool writable;    // a write row follows the read row; otherwise a free row or none
    bool secondRow;   // the section has a second data row
    std::vector<const char*> headings; // texts; "#nnnn" takes message nnnn
    std::vector<Get> values;
};

#define P(name) &clsInstrument::name
const char* const Flg8[] = {"LEL ZERO FLG", "LEL ZERO", "LEL SPAN FLG", "LEL SPAN",
                            "vol ZERO FLG", "vol ZERO", "vol SPAN FLG", "vol SPAN"};

// clang-format off
const std::vector<Section>& sections() {
    static const std::vector<Section> table = {
        // label execute  code  write  2nd    headings / values
        {9300, false,    "CN", false, false, {"IR", "Oxy"}, {P(CN_ir), P(CN_o2)}},
        {9303, false,    "OG", false, false, {"LO", "HI"}, {P(OG_lo), P(OG_hi)}},
        {9304, false,    "VG", false, false, {"LO", "HI"}, {P(VG_lo), P(VG_hi)}},
        {9305, false,    "V2", false, false, {"#9306", "#9307", "#9308", "#9309", "#9310", "#9311"},
            {P(V2_lo_sq), P(V2_lo_th), P(V2_lo_cn), P(V2_hi_sq), P(V2_hi_th), P(V2_hi_cn)}},
        {9340, true,     "C2", true,  true, {std::begin(Flg8), std::end(Flg8)},
            {P(C2_lel_zero_f), P(C2_lel_zero), P(C2_lel_span_f), P(C2_lel_span),
             P(C2_vol_zero_f), P(C2_vol_zero), P(C2_vol_span_f), P(C2_vol_span)}},
        {9341, true,     "C1", true,  true, {std::begin(Flg8), std::end(Flg8)},
            {P(C1_lel_zero_f), P(C1_lel_zero), P(C1_lel_span_f), P(C1_lel_span),
             P(C1_vol_zero_f), P(C1_vol_zero), P(C1_vol_span_f), P(C1_vol_span)}},
        {9313, false,    "CC", true,  true, {"#9322", "#9323", "#9324", "#9325"},
            {P(CC_lel_sq), P(CC_lel_th), P(CC_vol_sq), P(CC_vol_th)}},
        {9314, false,    "CF", true,  true, {"#9326"}, {P(CF_span)}},
        {9315, false,    "CM", true,  true, {"#9326"}, {P(CM_span)}},
        {9316, false,    "CA", true,  true, {"#9327", "#9328", "#9329", "#9330"},
            {P(CA_lel_sq), P(CA_lel_th), P(CA_vol_sq), P(CA_vol_th)}},
        {9317, false,    "CD", true,  true, {"#9326"}, {P(CD_span)}},
        {9318, false,    "CL", true,  true, {"#9326"}, {P(CL_span)}},
        {9331, false,    "CB", true,  true, {"#9334", "#9335", "#9336", "#9337"},
            {P(CB_lel_sq), P(CB_lel_th), P(CB_vol_sq), P(CB_vol_th)}},
        {9338, false,    "CE", true,  true, {"#9326"}, {P(CE_span)}},
        {9339, false,    "CK", true,  true, {"#9326"}, {P(CK_span)}},
        {9319, false,    "C3", true,  true, {"#9322", "#9323", "#9324", "#9325"},
            {P(C3_lel_sq), P(C3_lel_th), P(C3_vol_sq), P(C3_vol_th)}},
        {9320, false,    "C4", true,  true, {"#9327", "#9328", "#9329", "#9330"},
            {P(C4_lel_sq), P(C4_lel_th), P(C4_vol_sq), P(C4_vol_th)}},
        // The last four headings are the instrument's own and are not translated.
        {9321, true,     "C5", false, true,
            {"LEL ZERO FLG", "LEL ZERO", "vol ZERO FLG", "vol ZERO", "高温LEL ZERO FLG",
             "高温LEL ZERO", "高温vol ZERO FLG", "高温vol ZERO"},
            {P(C5_lel_zero_f), P(C5_lel_zero), P(C5_vol_zero_f), P(C5_vol_zero),
             P(C5_lel_zero_fh), P(C5_lel_zeroh), P(C5_vol_zero_fh), P(C5_vol_zeroh)}},
    };
    return table;
}
// clang-format on
#undef P

// Where a grid row falls: its section and the row's place in it (0 header, 1 read, 2 second).
struct Place {
    const Section* section = nullptr;
    int offset = 0;
};

Place placeOf(int row) {
    int first = 0;
    for (const Section& s : sections()) {
        const int size = s.secondRow ? 3 : 2;
        if (row >= first && row < first + size)
            return {&s, row - first};
        first += size;
    }
    return {};
}

QString heading(const char* h) {
    const QString t = QString::fromUtf8(h);
    return t.startsWith(u'#') ? LoadMessage(t.mid(1).toInt()) : t;
}

} // namespace

RowInfo Row(int row) {
    RowInfo info;
    const Place p = placeOf(row);
    if (!p.section)
        return info;
    const Section& s = *p.section;
    info.label = LoadMessage(s.label);
    const QString code = QString::fromLatin1(s.code);
    switch (p.offset) {
    case 0:
        info.kind = RowKind::Header;
        info.command = s.execute ? code + QStringLiteral(",E,") : QString();
        for (const char* h : s.headings)
            info.cells << heading(h);
        break;
    case 1:
        info.kind = RowKind::Read;
        info.command = code + QStringLiteral(",R,");
        break;
    default:
        info.kind = s.writable ? RowKind::Write : RowKind::Free;
        info.command = s.writable ? code + QStringLiteral(",W,") : QString();
        break;
    }
    return info;
}

QStringList Values(int row, const clsInstrument& record) {
    const Place p = placeOf(row);
    QStringList out;
    if (!p.section || p.offset == 0)
        return out;
    for (const Get g : p.section->values)
        out << (record.*g)();
    return out;
}

Command BuildCommand(const QString& commandText, const QStringList& values) {
    static const QRegularExpression decimal(QStringLiteral(R"(^\s*[+-]?(\d+\.?\d*|\.\d+)\s*$)"));
    Command c;
    c.payload = commandText;
    if (commandText.contains(QStringLiteral(",W,"))) {
        for (const QString& v : values) {
            if (v.isEmpty())
                continue;
            if (!decimal.match(v).hasMatch()) {
                c.badValue = v;
                c.payload.clear();
                return c;
            }
            c.payload += v + u',';
        }
        c.payload.chop(1);
    }
    c.ok = !c.payload.isEmpty();
    return c;
}

} // namespace CompensationConsole
