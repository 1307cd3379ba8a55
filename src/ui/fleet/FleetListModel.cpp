#include "ui/fleet/FleetListModel.h"

#include "app/AppDate.h"
#include "app/MessageTable.h"

#include <QSet>
#include <algorithm>

namespace {

constexpr const char* DayFormat = "yyyy/MM/dd";
// The column captions, by Column.
constexpr int ColumnCaptions[] = {9707, 9708, 9709, 9710, 9711, 9712, 9713};
static_assert(std::size(ColumnCaptions) == FleetListModel::ColumnCount);

} // namespace

QString DueStatusText(DueStatus status) {
    switch (status) {
    case DueStatus::Overdue:
        return LoadMessage(9714);
    case DueStatus::DueSoon:
        return LoadMessage(9715);
    case DueStatus::Ok:
        return LoadMessage(9716);
    case DueStatus::Unknown:
        break;
    }
    return LoadMessage(9717);
}

QColor DueStatusBackground(DueStatus status) {
    switch (status) {
    case DueStatus::Overdue:
        return QColor(255, 0, 0);
    case DueStatus::DueSoon:
        return QColor(255, 191, 0);
    default:
        return QColor();
    }
}

QColor DueStatusForeground(DueStatus status) {
    switch (status) {
    case DueStatus::Overdue:
        return QColor(255, 255, 255);
    case DueStatus::DueSoon:
        return QColor(0, 0, 0);
    default:
        return QColor();
    }
}

QString LocalTimeText(const QDateTime& utc) {
    return utc.isValid() ? utc.toLocalTime().toString(QString::fromLatin1(GeneralDateFormat))
                         : QString();
}

void FleetListModel::setInstruments(QList<FleetInstrument> instruments) {
    beginResetModel();
    m_instruments = std::move(instruments);
    endResetModel();
}

QStringList FleetListModel::stations() const {
    QSet<QString> seen;
    QStringList out;
    for (const FleetInstrument& i : m_instruments)
        if (!i.identity.stationId.isEmpty() && !seen.contains(i.identity.stationId)) {
            seen.insert(i.identity.stationId);
            out << i.identity.stationId;
        }
    out.sort(Qt::CaseInsensitive);
    return out;
}

int FleetListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_instruments.size());
}

int FleetListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FleetListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_instruments.size())
        return {};
    const FleetInstrument& i = m_instruments.at(index.row());
    const QDate due = ::NextDue(i.due);
    switch (role) {
    case Qt::BackgroundRole:
        if (const QColor c = DueStatusBackground(i.status); c.isValid())
            return c;
        return {};
    case Qt::ForegroundRole:
        if (const QColor c = DueStatusForeground(i.status); c.isValid())
            return c;
        return {};
    case SortRole:
        switch (index.column()) {
        case LastSeen:
            return i.lastSeen;
        case LastCalibration:
            return i.lastCalibration;
        case NextDue:
            return due;
        case Status:
            return int(i.status); // by urgency: overdue last going up, first going down
        default:
            break;
        }
        [[fallthrough]];
    case Qt::DisplayRole:
        switch (index.column()) {
        case Serial:
            return i.identity.serialNo;
        case Station:
            return i.identity.stationId;
        case User:
            return i.identity.userId;
        case LastSeen:
            return LocalTimeText(i.lastSeen);
        case LastCalibration:
            return LocalTimeText(i.lastCalibration);
        case NextDue:
            return due.isValid() ? due.toString(QString::fromLatin1(DayFormat)) : QString();
        case Status:
            return DueStatusText(i.status);
        default:
            return {};
        }
    default:
        return {};
    }
}

QVariant FleetListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    return LoadMessage(ColumnCaptions[section]);
}

FleetFilterProxy::FleetFilterProxy(QObject* parent) : QSortFilterProxyModel(parent) {
    setSortRole(FleetListModel::SortRole);
    setSortCaseSensitivity(Qt::CaseInsensitive);
}

void FleetFilterProxy::setStation(const QString& station) {
    m_station = station;
    invalidateRowsFilter();
}

void FleetFilterProxy::setStatus(std::optional<DueStatus> status) {
    m_status = status;
    invalidateRowsFilter();
}

void FleetFilterProxy::setText(const QString& text) {
    m_text = text.trimmed();
    invalidateRowsFilter();
}

bool FleetFilterProxy::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
    if (sourceParent.isValid())
        return false;
    const auto* model = qobject_cast<const FleetListModel*>(sourceModel());
    if (!model)
        return true;
    const FleetInstrument& i = model->instrument(sourceRow);
    if (!m_station.isEmpty() && i.identity.stationId != m_station)
        return false;
    if (m_status && i.status != *m_status)
        return false;
    if (m_text.isEmpty())
        return true;
    for (const QString* field : {&i.identity.serialNo, &i.identity.userId, &i.identity.stationId})
        if (field->contains(m_text, Qt::CaseInsensitive))
            return true;
    return false;
}
