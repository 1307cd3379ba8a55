#include "fleet/FleetSpool.h"

#include "app/FilePaths.h"
#include "fleet/FleetStore.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>

namespace {

// An event file is far smaller; anything larger is no event of ours.
constexpr qint64 MaxEventFileBytes = 16 * 1024 * 1024;

const QString Rejected = QStringLiteral("rejected");

} // namespace

FleetSpool::FleetSpool(const QString& dataFolder)
    : m_folder(PathInFolder(dataFolder, QStringLiteral("TQ5800_FleetSpool"))) {}

bool FleetSpool::put(const FleetEvent& event, QString* error) {
    QDir dir(m_folder);
    // The events name operators and instruments: the folder is the owner's only.
    if (!dir.exists() &&
        !(QDir().mkpath(m_folder) &&
          QFile::setPermissions(m_folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ExeOwner))) {
        if (error)
            *error = QStringLiteral("cannot create %1").arg(m_folder);
        return false;
    }
    // Named by time first, so that the database gets them in the order they happened.
    const QString name = event.when.toUTC().toString(QStringLiteral("yyyyMMddTHHmmsszzz")) + u'-' +
                         event.id + QStringLiteral(".json");
    return WriteFileAtomically(
        dir.filePath(name), QJsonDocument(FleetEventToJson(event)).toJson(QJsonDocument::Compact),
        error);
}

QStringList FleetSpool::files() const {
    QStringList out;
    const QDir dir(m_folder);
    for (const QString& name :
         dir.entryList({QStringLiteral("*.json")}, QDir::Files | QDir::NoDotAndDotDot, QDir::Name))
        out << dir.filePath(name);
    return out;
}

int FleetSpool::pending() const {
    return int(files().size());
}

bool FleetSpool::setAside(const QString& path) {
    QDir dir(m_folder);
    if (!dir.mkpath(Rejected))
        return false;
    const QString target = dir.filePath(Rejected + u'/' + QFileInfo(path).fileName());
    QFile::remove(target);
    return QFile::rename(path, target);
}

FleetSpool::Drained FleetSpool::drain(FleetStore& store) {
    Drained result;
    const QStringList paths = files();
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const QString& path = paths.at(i);
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            // Another drain took it meanwhile, or it cannot be read: it stays for the next.
            if (file.exists())
                ++result.left;
            continue;
        }
        const QByteArray bytes = file.size() <= MaxEventFileBytes ? file.readAll() : QByteArray();
        file.close();
        const auto event = FleetEventFromJson(QJsonDocument::fromJson(bytes).object());
        if (!event) {
            if (setAside(path))
                ++result.setAside;
            else
                ++result.left;
            continue;
        }
        if (!store.record(*event, &result.error)) {
            result.left += int(paths.size() - i);
            return result;
        }
        QFile::remove(path);
        ++result.stored;
    }
    return result;
}
