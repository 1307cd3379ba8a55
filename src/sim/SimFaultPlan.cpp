#include "sim/SimFaultPlan.h"

#include <QStringList>

namespace {

// A sensor slower than an hour is a dead one.
constexpr int MaxSlowSeconds = 3600;

bool positive(const QString& text, int min, int* value) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok || v < min)
        return false;
    *value = v;
    return true;
}

bool pair(const QString& text, int* a, int minA, int* b, int minB, bool secondOptional) {
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() == 1 && secondOptional)
        return positive(parts[0], minA, a);
    return parts.size() == 2 && positive(parts[0], minA, a) && positive(parts[1], minB, b);
}

} // namespace

QString SimFaultPlan::syntaxHelp() {
    return QStringLiteral(
        "Faults (comma-separated, e.g. \"drop=3,delay=200\"):\n"
        "  drop=N        drop every Nth reply\n"
        "  delay=MS      hold every reply back MS milliseconds\n"
        "  corrupt=N     corrupt one byte of every Nth reply (framed replies: a command\n"
        "                letter, so checksum and key are both wrong)\n"
        "  split=N:MS    send replies in chunks of N bytes, MS milliseconds apart\n"
        "  garbage=N     send N bytes of garbage without terminator instead of the next\n"
        "                reply, once; garbage=N:K instead of every Kth reply\n"
        "  noise=N:K     send N random bytes (any value) before every Kth framed reply\n"
        "  silent=N      answer N replies, then nothing more\n"
        "  withhold=B    withhold memory block B once (EP: half the block; EF: listing\n"
        "                block B is not sent the first time)\n"
        "  failfirst     ignore the first try of every distinct command\n"
        "  failcal=C     gas channel C (0..4) fails its zero, span and nitrogen\n"
        "                adjustments; repeat for more channels\n"
        "  deadsensor=C  the sensor of channel C does not respond to gas: it reads clean\n"
        "                air whatever flows (passes a zero, fails a span and a bump test)\n"
        "  slowsensor=C:S  the sensor of channel C follows the gas with a time constant of\n"
        "                S seconds (about 95 % of a step after 3 x S)\n"
        "Every Nth counts the replies the instrument would have sent, from 1.\n");
}

bool SimFaultPlan::parse(const QString& faults, SimFaultPlan* out, QString* error) {
    SimFaultPlan plan;
    const auto fail = [error](const QString& item) {
        if (error)
            *error = QStringLiteral("bad fault \"%1\"").arg(item);
        return false;
    };
    const QString trimmed = faults.trimmed();
    if (!trimmed.isEmpty() && trimmed != QLatin1String("none")) {
        for (const QString& raw : trimmed.split(QLatin1Char(','))) {
            const QString item = raw.trimmed();
            const qsizetype eq = item.indexOf(QLatin1Char('='));
            const QString name = eq < 0 ? item : item.left(eq).trimmed();
            const QString value = eq < 0 ? QString() : item.mid(eq + 1);
            bool ok = false;
            if (name == QLatin1String("failfirst"))
                ok = eq < 0 && (plan.m_failFirst = true);
            else if (eq < 0)
                ok = false;
            else if (name == QLatin1String("drop"))
                ok = positive(value, 1, &plan.m_drop);
            else if (name == QLatin1String("delay"))
                ok = positive(value, 0, &plan.m_delayMs);
            else if (name == QLatin1String("corrupt"))
                ok = positive(value, 1, &plan.m_corrupt);
            else if (name == QLatin1String("split"))
                ok = pair(value, &plan.m_splitBytes, 1, &plan.m_splitGapMs, 0, false);
            else if (name == QLatin1String("garbage"))
                ok = pair(value, &plan.m_garbageBytes, 1, &plan.m_garbageEvery, 1, true);
            else if (name == QLatin1String("noise"))
                ok = pair(value, &plan.m_noiseBytes, 1, &plan.m_noiseEvery, 1, false);
            else if (name == QLatin1String("silent"))
                ok = positive(value, 0, &plan.m_silentAfter);
            else if (name == QLatin1String("withhold"))
                ok = positive(value, 0, &plan.m_withhold);
            else if (name == QLatin1String("failcal") || name == QLatin1String("deadsensor")) {
                int channel = -1;
                ok = positive(value, 0, &channel) && channel < int(plan.m_failCal.size());
                if (ok)
                    (name == QLatin1String("failcal") ? plan.m_failCal : plan.m_dead)[channel] =
                        true;
            } else if (name == QLatin1String("slowsensor")) {
                int channel = -1, seconds = 0;
                ok = pair(value, &channel, 0, &seconds, 1, false) &&
                     channel < int(plan.m_slow.size()) && seconds <= MaxSlowSeconds;
                if (ok)
                    plan.m_slow[channel] = seconds;
            }
            if (!ok)
                return fail(item);
        }
    }
    *out = plan;
    return true;
}

bool SimFaultPlan::isEmpty() const {
    return m_drop == 0 && m_delayMs == 0 && m_corrupt == 0 && m_splitBytes == 0 &&
           m_garbageBytes == 0 && m_noiseBytes == 0 && m_silentAfter < 0 && m_withhold < 0 &&
           !m_failFirst && m_failCal == std::array<bool, 5>{} && m_dead == std::array<bool, 5>{} &&
           m_slow == std::array<int, 5>{};
}

void SimFaultPlan::restart() {
    m_replies = 0;
    m_sent = 0;
    m_garbageDone = false;
    m_withholdDone = false;
    m_tried.clear();
}

SimFaultPlan::Outcome SimFaultPlan::apply(const SimRequest& request, const SimReply& reply,
                                          std::mt19937& rng) {
    Outcome out;
    if (reply.isEmpty())
        return out;
    if (m_silentAfter >= 0 && m_sent >= m_silentAfter)
        return out;
    const bool command = request.key != "ACK" && request.key != "NAK";
    if (m_failFirst && command && !m_tried.contains(request.payload)) {
        m_tried.insert(request.payload);
        return out;
    }
    const int n = ++m_replies;
    if (m_drop > 0 && n % m_drop == 0)
        return out;

    QByteArray bytes = reply.bytes;
    const bool garbage =
        m_garbageBytes > 0 && (m_garbageEvery > 0 ? n % m_garbageEvery == 0 : !m_garbageDone);
    if (garbage) {
        // Printable only: no STX, CR or terminator that could end or start a block.
        std::uniform_int_distribution<int> printable(0x20, 0x7E);
        bytes.resize(m_garbageBytes);
        for (char& c : bytes)
            c = char(printable(rng));
        m_garbageDone = true;
    } else if (m_withhold >= 0 && !m_withholdDone &&
               (reply.memoryBlock == m_withhold || reply.listingBlock == m_withhold)) {
        m_withholdDone = true;
        if (reply.listingBlock == m_withhold)
            return out;
        bytes.truncate(bytes.size() / 2);
    } else if (m_corrupt > 0 && n % m_corrupt == 0) {
        if (reply.kind == SimReply::Kind::Frame) {
            // The payload's first letter: a flipped case breaks checksum and key alike.
            bytes[5] = char(bytes[5] ^ 0x20);
        } else {
            std::uniform_int_distribution<qsizetype> at(0, bytes.size() - 1);
            const qsizetype i = at(rng);
            bytes[i] = char(bytes[i] ^ 0x5A);
        }
    }

    if (m_noiseBytes > 0 && n % m_noiseEvery == 0 && reply.kind == SimReply::Kind::Frame) {
        // Line noise: any byte value, terminators and STX included.
        QByteArray noise(m_noiseBytes, Qt::Uninitialized);
        for (char& c : noise)
            c = char(rng());
        bytes.prepend(noise);
    }

    if (m_splitBytes > 0) {
        for (qsizetype i = 0; i < bytes.size(); i += m_splitBytes)
            out.chunks.append(bytes.mid(i, m_splitBytes));
        out.gapUs = qint64(m_splitGapMs) * 1000;
    } else {
        out.chunks.append(bytes);
    }
    out.delayUs = qint64(m_delayMs) * 1000;
    ++m_sent;
    return out;
}
