#include "fleet/SnapshotChanges.h"

#include <QStringList>
#include <algorithm>

namespace {

const QStringList RecordState{QStringLiteral("FormatVersion"), QStringLiteral("CommFlags"),
                              QStringLiteral("ImportFlag")};

void compare(const QString& name, const QJsonValue& before, const QJsonValue& after,
             QJsonArray* changes) {
    if (before.isArray() && after.isArray()) {
        const QJsonArray b = before.toArray(), a = after.toArray();
        for (qsizetype i = 0; i < std::max(b.size(), a.size()); ++i)
            compare(name + u'[' + QString::number(i) + u']', b.at(i), a.at(i), changes);
        return;
    }
    if (before.isObject() && after.isObject()) {
        const QJsonObject b = before.toObject(), a = after.toObject();
        QStringList keys = b.keys();
        for (const QString& key : a.keys())
            if (!b.contains(key))
                keys << key;
        for (const QString& key : keys) {
            // The record's own state (its layout, where its data came from) is no setting.
            if (name.isEmpty() && RecordState.contains(key))
                continue;
            compare(name.isEmpty() ? key : name + u'.' + key, b.value(key), a.value(key), changes);
        }
        return;
    }
    // A value one side lacks counts as null there.
    const QJsonValue b = before.isUndefined() ? QJsonValue() : before;
    const QJsonValue a = after.isUndefined() ? QJsonValue() : after;
    if (b != a)
        changes->append(QJsonObject{{QStringLiteral("setting"), name},
                                    {QStringLiteral("before"), b},
                                    {QStringLiteral("after"), a}});
}

} // namespace

QJsonArray SnapshotChanges(const QJsonObject& before, const QJsonObject& after) {
    QJsonArray changes;
    compare(QString(), before, after, &changes);
    return changes;
}
