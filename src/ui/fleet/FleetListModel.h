#pragma once

#include "fleet/FleetStore.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QSortFilterProxyModel>
#include <optional>

// The instruments of the Fleet window's list, one row each, as the store's one query gave them.
class FleetListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Serial, Station, User, LastSeen, LastCalibration, NextDue, Status, ColumnCount };
    // What a column sorts by: times and dates as such, the status by how urgent it is.
    static constexpr int SortRole = Qt::UserRole;

    using QAbstractTableModel::QAbstractTableModel;

    void setInstruments(QList<FleetInstrument> instruments);
    const FleetInstrument& instrument(int row) const { return m_instruments.at(row); }
    // The stations of the fleet, sorted, each once.
    QStringList stations() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QList<FleetInstrument> m_instruments;
};

// "Overdue", "Due soon", "OK" or "No due date" in the current language.
QString DueStatusText(DueStatus status);
// The row colours: red overdue, amber due soon; invalid (the view's own) otherwise.
QColor DueStatusBackground(DueStatus status);
QColor DueStatusForeground(DueStatus status);
// A UTC time as the windows show it, in local time; empty when invalid.
QString LocalTimeText(const QDateTime& utc);

// The list's sorting and its three filters: station (exact), status and a text found in the
// serial number, user or station (any letter case).
class FleetFilterProxy : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit FleetFilterProxy(QObject* parent = nullptr);
    void setStation(const QString& station);
    void setStatus(std::optional<DueStatus> status);
    void setText(const QString& text);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    QString m_station;
    std::optional<DueStatus> m_status;
    QString m_text;
};
