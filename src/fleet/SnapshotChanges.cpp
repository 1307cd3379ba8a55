#include "fleet/SnapshotChanges.h"

#include <QStringList>
#include <algorithm>

namespace {

const QStringList RecordState{QStringLiteral("FormatVersion"), QStringLiteral("CommFlags"),
                              QStringLiteral("ImportFlag")};

void walk(const QString& name, const QJsonValue& before, const QJsonValue& after,
          QList<SnapshotSetting>* out) {
    if (before.isArray() && after.isArray()) {
        const QJsonArray b = before.toArray(), a = after.toArray();
        for (qsizetype i = 0; i < std::max(b.size(), a.size()); ++i)
            walk(name + u'[' + QString::number(i) + u']', b.at(i), a.at(i), out);
        return;
    }
    if (before.isObject() && after.isObject()) {
        const QJsonObject b = before.toObject(), a = after.toObject();
        QStringList keys = b.keys();
        for (const QString& key : a.keys())
            if (!b.contains(key))
                keys << key;
        for (const QString& key : keys) {
            if (name.isEmpty() && RecordState.contains(key))
                continue;
            walk(name.isEmpty() ? key : name + u'.' + key, b.value(key), a.value(key), out);
        }
        return;
    }
    // A value one side lacks counts as null there.
    out->append({name, before.isUndefined() ? QJsonValue() : before,
                 after.isUndefined() ? QJsonValue() : after});
}

} // namespace

QList<SnapshotSetting> SnapshotSettings(const QJsonObject& before, const QJsonObject& after) {
    QList<SnapshotSetting> out;
    walk(QString(), before, after, &out);
    return out;
}

QJsonArray SnapshotChanges(const QJsonObject& before, const QJsonObject& after) {
    QJsonArray changes;
    for (const SnapshotSetting& s : SnapshotSettings(before, after))
        if (s.changed())
            changes.append(QJsonObject{{QStringLiteral("setting"), s.setting},
                                       {QStringLiteral("before"), s.before},
                                       {QStringLiteral("after"), s.after}});
    return changes;
}
