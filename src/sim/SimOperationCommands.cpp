#include "sim/SimOperationCommands.h"

#include "sim/SimDeviceState.h"
#include "sim/SimFields.h"

#include <algorithm>

namespace {

bool isSelectionMask(const QByteArray& t) {
    if (t.size() != SimDeviceState::GasSlots)
        return false;
    for (char c : t) {
        if (c != '0' && c != '1')
            return false;
    }
    return true;
}

} // namespace

void SimOperationCommands::install(QHash<QByteArray, SimHandler>& t) {
    SimDeviceState& s = m_state;
    t.insert("XC,W", [this](const SimRequest& r) {
        return startTimed(r, [](SimDeviceState& d) { d.memory.clearLogger(); });
    });
    t.insert("XY,W", [this](const SimRequest& r) {
        return startTimed(r, [](SimDeviceState& d) { d.memory.clearPowerLog(); });
    });
    t.insert("UX,W", [this](const SimRequest& r) {
        return startTimed(r, [](SimDeviceState& d) { d.restoreDefaultSettings(); });
    });
    for (const char* key : {"XC,C", "XY,C", "UX,C"})
        t.insert(key, [this](const SimRequest& r) { return pollTimed(r); });

    t.insert("XH,E", [&s](const SimRequest& r) {
        s.memory.writeCheckData();
        return SimReply::ack(r.key);
    });
    t.insert("RO,W", [this](const SimRequest& r) {
        m_poweredOff = true;
        return SimReply::ack(r.key);
    });
    // Saving and update are acknowledged; their effect is internal. The factory executes
    // derive coefficients (SimConfigCommands).
    for (const char* key : {"DW,W", "UD,W", "UP,W", "UG,W"})
        t.insert(key, [](const SimRequest& r) { return SimReply::ack(r.key); });

    t.insert("BP,W", [&s](const SimRequest& r) {
        const QByteArray v = r.data.trimmed();
        if (v != "0" && v != "1")
            return SimReply::nak(r.key);
        s.pumpOn = v == "1";
        s.sensors.pumpSwitched(s.pumpOn);
        return SimReply::ack(r.key);
    });
    t.insert("BP,R",
             [&s](const SimRequest& r) { return SimReply::frame(r.key, s.pumpOn ? "1" : "0"); });
    t.insert("UG,R", [](const SimRequest& r) { return SimReply::frame(r.key, "0"); });
    // Service counters, one per letter A..V: plausible values, not interpreted by the PC.
    for (char c = 'A'; c <= 'V'; ++c) {
        const QByteArray key = QByteArray("Y") + c + ",R";
        const quint32 value = quint32(c - 'A') * 0x0111u + 0x0010u;
        t.insert(key, [value](const SimRequest& r) {
            return SimReply::frame(r.key, SimFields::hex(value, 4));
        });
    }

    t.insert("SZ,W", [this](const SimRequest& r) { return startZero(r); });
    t.insert("SZ,C", [this](const SimRequest& r) { return pollZero(r); });
    t.insert("SZ,R", [this](const SimRequest& r) {
        return SimReply::frame(r.key, adjustmentText(m_zero));
    });
    t.insert("S1,W", [this](const SimRequest& r) { return span(r); });
    t.insert("S2,W", [this](const SimRequest& r) { return span(r); });
    t.insert("S1,R", [this](const SimRequest& r) {
        return SimReply::frame(r.key, adjustmentText(m_span));
    });
    t.insert("SN,W", [this](const SimRequest& r) { return nitrogen(r); });

    t.insert("EP,R", [this](const SimRequest& r) { return memoryBlock(r); });
    t.insert("EF,R", [this](const SimRequest& r) { return startListing(r); });
}

SimReply SimOperationCommands::startTimed(const SimRequest& r, void (*effect)(SimDeviceState&)) {
    effect(m_state);
    m_busyPolls.insert(r.code, pollsWhileBusy);
    return SimReply::ack(r.key);
}

SimReply SimOperationCommands::pollTimed(const SimRequest& r) {
    int& left = m_busyPolls[r.code];
    if (left > 0) {
        --left;
        return SimReply::frame(r.key, QByteArray(1, SimFrame::SUB));
    }
    return SimReply::ack(r.key);
}

SimReply SimOperationCommands::startZero(const SimRequest& r) {
    const QByteArray mask = r.data.trimmed();
    if (!isSelectionMask(mask))
        return SimReply::nak(r.key);
    m_zeroPolls = pollsWhileBusy;
    m_zero.request = mask;
    m_zero.when = m_state.clock();
    ++m_zero.count;
    // '0' marks a sensor that was adjusted; one without a sensor cannot be.
    m_zero.result.clear();
    SimSensors& sensors = m_state.sensors;
    bool adjusted = false;
    for (int i = 0; i < SimDeviceState::GasSlots; ++i) {
        const SimGas& g = m_state.gases[i];
        const bool ok = mask[i] == '1' && g.enabled && sensors.zero(i, g.fullScaleValue());
        m_zero.result.append(ok ? '0' : '1');
        adjusted = adjusted || ok;
    }
    if (adjusted && sensors.connectAfterZero && !sensors.cylinderConnected())
        sensors.connectCylinder(true);
    return SimReply::ack(r.key);
}

SimReply SimOperationCommands::pollZero(const SimRequest& r) {
    if (m_zeroPolls > 0) {
        --m_zeroPolls;
        return SimReply::frame(r.key, QByteArray(1, SimFrame::SUB));
    }
    return SimReply::frame(r.key, m_zero.result);
}

SimReply SimOperationCommands::span(const SimRequest& r) {
    // "sssss,c0,c1,c2,c3,c4": selection mask, then each channel's span gas concentration.
    const QList<QByteArray> f = SimFields::split(r.data);
    if (f.isEmpty() || !isSelectionMask(f[0].trimmed()))
        return SimReply::nak(r.key);
    const QByteArray mask = f[0].trimmed();
    QByteArray result;
    for (int i = 0; i < SimDeviceState::GasSlots; ++i) {
        const SimGas& g = m_state.gases[i];
        float conc = -101;
        const bool given = i + 1 < f.size() && SimFields::parseLevel(f[i + 1], &conc);
        const bool wanted =
            mask[i] == '1' && g.enabled && given && conc > 0 && conc <= g.fullScaleValue();
        const float step = g.stepValue() > 0 ? g.stepValue() : 1.0f;
        const float before =
            SimFields::roundToStep(std::max(m_state.sensors.reading(i), 0.0f), step);
        const bool ok = wanted && m_state.sensors.span(i, conc);
        result.append(ok ? '0' : '1');
        if (!ok)
            continue;
        m_state.history[i] = SimCalibration{m_state.clock(), before, conc};
        m_state.autoCal[i] = conc;
    }
    m_span.request = mask;
    m_span.result = result;
    m_span.when = m_state.clock();
    ++m_span.count;
    return SimReply::frame(r.key, result);
}

SimReply SimOperationCommands::nitrogen(const SimRequest& r) {
    // The nitrogen zero of the vol% range needs the range set for it ("LP" 2) and the oxygen
    // reading the PC saw, as a plausibility mark.
    const QByteArray value = r.data.trimmed();
    float o2 = 0;
    if (value.isEmpty() || !SimFields::parseLevel(r.data, &o2) || o2 < 0 ||
        m_state.settings.value("LP") != 2 || !m_state.gases[SimSensors::RangeChannel].enabled ||
        !m_state.sensors.nitrogenZero())
        return SimReply::nak(r.key);
    return SimReply::frame(r.key, value);
}

QByteArray SimOperationCommands::adjustmentText(const Adjustment& a) {
    const QByteArray when = a.when.isValid() ? SimFields::date12(a.when) : QByteArray(12, '0');
    return a.result + ',' + when + ',' + QByteArray::number(a.count) + ',' + a.request;
}

SimReply SimOperationCommands::memoryBlock(const SimRequest& r) {
    quint32 block = 0;
    if (r.data.size() != 4 || !SimFields::parseHex(r.data, &block) ||
        block >= quint32(SimLoggerMemory::Blocks))
        return {}; // raw replies have no frame to refuse with
    SimReply reply = SimReply::raw(m_state.memory.block(int(block)));
    reply.memoryBlock = int(block);
    return reply;
}

SimReply SimOperationCommands::startListing(const SimRequest&) {
    m_listingBlock = 1;
    return listingReply(m_listingBlock);
}

SimReply SimOperationCommands::listingReply(int number) const {
    const QByteArray bytes = m_state.memory.listingBlock(number);
    const bool last = number >= SimLoggerMemory::ListingBlocks;
    const QByteArray data =
        QByteArray::number(SimLoggerMemory::ListingBlocks) + ',' + QByteArray::number(number) +
        ',' + SimFields::hex(quint32((number - 1) * SimLoggerMemory::ListingBlockSize), 6) + ',' +
        bytes.toHex().toUpper();
    SimReply reply = SimReply::frame("EF,R", data, last ? SimFrame::EOT : SimFrame::ETB);
    reply.listingBlock = number;
    return reply;
}

SimReply SimOperationCommands::acknowledge(const SimRequest& r) {
    if (m_listingBlock < 1)
        return {};
    if (r.key == "NAK")
        return listingReply(m_listingBlock);
    if (m_listingBlock >= SimLoggerMemory::ListingBlocks) {
        m_listingBlock = 0; // the EOT block needs no acknowledgement
        return {};
    }
    return listingReply(++m_listingBlock);
}
