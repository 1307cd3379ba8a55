#include "ui/fleet/frmFleet.h"

#include "app/MessageTable.h"
#include "model/CalibrationCertificate.h"
#include "report/CertificatePdf.h"
#include "ui/common/FlexGrid.h"
#include "ui/common/FontHelpers.h"
#include "ui/common/UiServices.h"
#include "ui/common/WindowHelpers.h"
#include "ui/fleet/FleetHistoryData.h"
#include "ui/fleet/FleetListModel.h"
#include "ui/fleet/FleetSpanChart.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

namespace {

// How many rows of the list its columns are fitted to: a screenful and more.
constexpr int ListRowsMeasured = 100;

const QColor kFailure(255, 0, 0);
const QColor kChanged(255, 255, 160);

// A grid that shows and never edits: typing, F2 and double clicks open no editor.
FlexGrid* ReadOnlyGrid(QWidget* parent, const QString& name, const QList<int>& captions) {
    auto* grid = new FlexGrid(parent);
    grid->setObjectName(name);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    QObject::connect(grid, &FlexGrid::BeforeEdit, grid,
                     [](int, int, bool* cancel) { *cancel = true; });
    grid->setCols(int(captions.size()));
    grid->setRows(1);
    grid->setFixedRows(1);
    for (int c = 0; c < captions.size(); ++c)
        grid->setTextMatrix(0, c, LoadMessage(captions.at(c)));
    return grid;
}

// Drops every row below the header and makes room for `rows` more.
void ResetRows(FlexGrid* grid, qsizetype rows) {
    grid->setRows(1);
    grid->setRows(int(rows) + 1);
}

// The status choices of the filter, in the list's order; the first is "any".
const QList<DueStatus> kStatusChoices{DueStatus::Overdue, DueStatus::DueSoon, DueStatus::Ok,
                                      DueStatus::Unknown};

} // namespace

frmFleet::frmFleet(const QString& fleetUrl, QWidget* parent, const QDate& today)
    : QWidget(parent, Qt::Window), m_today(today) {
    setObjectName(QStringLiteral("frmFleet"));
    setWindowTitle(LoadMessage(9700));
    buildControls();
    buildLayout();
    ApplyAppFont(this);
    // Return in the search field must press nothing.
    ClearDefaultButtons(this);
    ResizeWithinScreen(this, QSize(TwipsToPixels(MainWindowLeastWidthTwips, Qt::Horizontal), 760));
    load(fleetUrl);
}

frmFleet::~frmFleet() = default;

void frmFleet::buildControls() {
    m_lblMessage = new QLabel(this);
    m_lblMessage->setObjectName(QStringLiteral("lblMessage"));
    m_lblMessage->setWordWrap(true);
    m_lblMessage->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_lblMessage->setStyleSheet(QStringLiteral("color: rgb(255, 0, 0);"));
    m_lblMessage->hide();

    m_cmbStation = new QComboBox(this);
    m_cmbStation->setObjectName(QStringLiteral("cmbStation"));
    m_cmbStatus = new QComboBox(this);
    m_cmbStatus->setObjectName(QStringLiteral("cmbStatus"));
    m_cmbStatus->addItem(LoadMessage(9706));
    for (DueStatus s : kStatusChoices)
        m_cmbStatus->addItem(DueStatusText(s));
    m_txtSearch = new QLineEdit(this);
    m_txtSearch->setObjectName(QStringLiteral("txtSearch"));
    m_txtSearch->setClearButtonEnabled(true);
    m_lblStation = new QLabel(WithMnemonic(LoadMessage(9702), u'S'), this);
    m_lblStatus = new QLabel(WithMnemonic(LoadMessage(9703), u'T'), this);
    m_lblSearch = new QLabel(WithMnemonic(LoadMessage(9704), u'E'), this);
    // Each filter is named by its caption, and its caption's Alt key reaches it.
    const QList<std::tuple<QLabel*, QWidget*, int>> buddies{{m_lblStation, m_cmbStation, 9702},
                                                            {m_lblStatus, m_cmbStatus, 9703},
                                                            {m_lblSearch, m_txtSearch, 9704}};
    for (const auto& [label, control, caption] : buddies) {
        label->setBuddy(control);
        control->setAccessibleName(LoadMessage(caption));
    }
    m_lblCount = new QLabel(this);

    m_model = new FleetListModel(this);
    m_proxy = new FleetFilterProxy(this);
    m_proxy->setSourceModel(m_model);
    m_lstFleet = new QTableView(this);
    m_lstFleet->setObjectName(QStringLiteral("lstFleet"));
    m_lstFleet->setAccessibleName(LoadMessage(9718));
    m_lstFleet->setModel(m_proxy);
    m_lstFleet->setSortingEnabled(true);
    m_lstFleet->sortByColumn(FleetListModel::Serial, Qt::AscendingOrder);
    m_lstFleet->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_lstFleet->setSelectionMode(QAbstractItemView::SingleSelection);
    m_lstFleet->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab leaves the list for the next control, as it leaves every grid.
    m_lstFleet->setTabKeyNavigation(false);
    m_lstFleet->verticalHeader()->hide();
    m_lstFleet->horizontalHeader()->setStretchLastSection(true);
    // Columns are fitted to the first rows, not to every instrument of a large fleet.
    m_lstFleet->horizontalHeader()->setResizeContentsPrecision(ListRowsMeasured);
    m_lstFleet->setWordWrap(false);

    m_lblDue = new QLabel(LoadMessage(9742), this);
    m_vfgDue = ReadOnlyGrid(this, QStringLiteral("vfgDue"), {9733, 9743, 9712, 9713});
    m_vfgDue->setAccessibleName(LoadMessage(9742));

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("tabDetails"));

    auto* historyPage = new QWidget(m_tabs);
    m_vfgHistory = ReadOnlyGrid(historyPage, QStringLiteral("vfgHistory"),
                                {9720, 9721, 9722, 9723, 9724, 9725});
    m_vfgHistory->setAccessibleName(LoadMessage(9719));
    m_cmdReprint = new QPushButton(WithMnemonic(LoadMessage(9736), u'P'), historyPage);
    m_cmdReprint->setObjectName(QStringLiteral("cmdReprint"));
    m_cmdReprint->setEnabled(false);
    auto* historyLayout = new QVBoxLayout(historyPage);
    historyLayout->addWidget(m_vfgHistory, 1);
    historyLayout->addWidget(m_cmdReprint, 0, Qt::AlignRight);
    m_tabs->addTab(historyPage, WithMnemonic(LoadMessage(9719), u'H'));

    auto* comparePage = new QWidget(m_tabs);
    m_cmbFirst = new QComboBox(comparePage);
    m_cmbFirst->setObjectName(QStringLiteral("cmbFirst"));
    m_cmbFirst->setAccessibleName(LoadMessage(9727));
    m_cmbSecond = new QComboBox(comparePage);
    m_cmbSecond->setObjectName(QStringLiteral("cmbSecond"));
    m_cmbSecond->setAccessibleName(LoadMessage(9728));
    m_lblFirst = new QLabel(WithMnemonic(LoadMessage(9727), u'F'), comparePage);
    m_lblFirst->setBuddy(m_cmbFirst);
    m_lblSecond = new QLabel(WithMnemonic(LoadMessage(9728), u'D'), comparePage);
    m_lblSecond->setBuddy(m_cmbSecond);
    m_chkChangedOnly = new QCheckBox(WithMnemonic(LoadMessage(9754), u'O'), comparePage);
    m_chkChangedOnly->setObjectName(QStringLiteral("chkChangedOnly"));
    // A record holds hundreds of settings; what changed is what one compares for.
    m_chkChangedOnly->setChecked(true);
    m_lblDifferences = new QLabel(comparePage);
    m_vfgCompare =
        ReadOnlyGrid(comparePage, QStringLiteral("vfgCompare"), {9729, 9755, 9756, 9730});
    m_vfgCompare->setAccessibleName(LoadMessage(9726));
    auto* choices = new QGridLayout;
    choices->addWidget(m_lblFirst, 0, 0);
    choices->addWidget(m_cmbFirst, 0, 1);
    choices->addWidget(m_lblSecond, 1, 0);
    choices->addWidget(m_cmbSecond, 1, 1);
    choices->addWidget(m_chkChangedOnly, 0, 2);
    choices->addWidget(m_lblDifferences, 1, 2);
    choices->setColumnStretch(1, 1);
    auto* compareLayout = new QVBoxLayout(comparePage);
    compareLayout->addLayout(choices);
    compareLayout->addWidget(m_vfgCompare, 1);
    m_tabs->addTab(comparePage, WithMnemonic(LoadMessage(9726), u'C'));

    m_chart = new FleetSpanChart(m_tabs);
    m_tabs->addTab(m_chart, WithMnemonic(LoadMessage(9732), u'R'));

    m_cmdClose = new QPushButton(WithMnemonic(LoadMessage(9753), u'L'), this);
    m_cmdClose->setObjectName(QStringLiteral("cmdClose"));

    connect(m_cmbStation, &QComboBox::currentIndexChanged, this, &frmFleet::applyFilters);
    connect(m_cmbStatus, &QComboBox::currentIndexChanged, this, &frmFleet::applyFilters);
    connect(m_txtSearch, &QLineEdit::textChanged, this, &frmFleet::applyFilters);
    connect(m_lstFleet->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &frmFleet::instrumentChosen);
    connect(m_vfgHistory, &FlexGrid::RowColChange, this, &frmFleet::historyRowChosen);
    connect(m_cmdReprint, &QPushButton::clicked, this, &frmFleet::cmdReprint_Click);
    connect(m_cmbFirst, &QComboBox::currentIndexChanged, this, &frmFleet::fillCompare);
    connect(m_cmbSecond, &QComboBox::currentIndexChanged, this, &frmFleet::fillCompare);
    connect(m_chkChangedOnly, &QCheckBox::toggled, this, &frmFleet::fillCompare);
    connect(m_cmdClose, &QPushButton::clicked, this, &QWidget::close);
}

void frmFleet::buildLayout() {
    auto* filters = new QHBoxLayout;
    filters->addWidget(m_lblStation);
    filters->addWidget(m_cmbStation, 1);
    filters->addWidget(m_lblStatus);
    filters->addWidget(m_cmbStatus, 1);
    filters->addWidget(m_lblSearch);
    filters->addWidget(m_txtSearch, 2);

    // The list above, the chosen instrument's channels beside its history below.
    auto* top = new QWidget(this);
    auto* topLayout = new QVBoxLayout(top);
    topLayout->setContentsMargins(0, 0, 0, 0);
    topLayout->addLayout(filters);
    topLayout->addWidget(m_lstFleet, 1);
    topLayout->addWidget(m_lblCount);
    auto* bottom = new QWidget(this);
    auto* bottomLayout = new QHBoxLayout(bottom);
    bottomLayout->setContentsMargins(0, 0, 0, 0);
    auto* due = new QVBoxLayout;
    due->addWidget(m_lblDue);
    due->addWidget(m_vfgDue, 1);
    bottomLayout->addLayout(due, 3);
    bottomLayout->addWidget(m_tabs, 5);
    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(top);
    split->addWidget(bottom);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 1);
    split->setChildrenCollapsible(false);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(8, 8, 8, 8);
    outer->addWidget(m_lblMessage);
    outer->addWidget(split, 1);
    outer->addWidget(m_cmdClose, 0, Qt::AlignRight);

    // Tab walks the window as it reads: the filters, the list, the channels, the details,
    // Close.
    const QList<QWidget*> chain{
        m_cmbStation,     m_cmbStatus,  m_txtSearch,           m_lstFleet, m_vfgDue,
        m_tabs,           m_vfgHistory, m_cmdReprint,          m_cmbFirst, m_cmbSecond,
        m_chkChangedOnly, m_vfgCompare, m_chart->cmbChannel(), m_cmdClose};
    for (int i = 1; i < chain.size(); ++i)
        setTabOrder(chain[i - 1], chain[i]);
}

void frmFleet::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void frmFleet::showMessage(const QString& text) {
    m_lblMessage->setText(text);
    m_lblMessage->setVisible(!text.isEmpty());
    m_lblMessage->setAccessibleName(text);
}

void frmFleet::load(const QString& fleetUrl) {
    QString error;
    const std::optional<FleetLocation> location = ParseFleetLocation(fleetUrl, &error);
    if (!location) {
        showMessage(error);
        return;
    }
    m_store = std::make_unique<FleetStore>(*location);
    if (!m_store->open(&error)) {
        showMessage(error);
        return;
    }
    QList<FleetInstrument> instruments = m_store->instruments(FleetFilter{}, m_today, &error);
    if (!error.isEmpty()) {
        showMessage(error);
        return;
    }
    m_loaded = true;
    m_model->setInstruments(std::move(instruments));
    const QSignalBlocker block(m_cmbStation);
    m_cmbStation->clear();
    m_cmbStation->addItem(LoadMessage(9705));
    m_cmbStation->addItems(m_model->stations());
    // Measures the first rows only (ListRowsMeasured), however long the list.
    m_lstFleet->resizeColumnsToContents();
    showCount();
    // The window opens on an instrument, so the panes below say something at once.
    if (m_proxy->rowCount() > 0)
        m_lstFleet->setCurrentIndex(m_proxy->index(0, FleetListModel::Serial));
}

void frmFleet::applyFilters() {
    m_proxy->setStation(m_cmbStation->currentIndex() > 0 ? m_cmbStation->currentText() : QString());
    const int status = m_cmbStatus->currentIndex();
    m_proxy->setStatus(status > 0 ? std::optional(kStatusChoices.value(status - 1)) : std::nullopt);
    m_proxy->setText(m_txtSearch->text());
    showCount();
}

void frmFleet::showCount() {
    m_lblCount->setText(LoadMessage(
        9741, {QString::number(m_proxy->rowCount()), QString::number(m_model->rowCount())}));
}

bool frmFleet::selectInstrument(const QString& serialNo) {
    const QString wanted = serialNo.trimmed();
    if (wanted.isEmpty())
        return false;
    for (int row = 0; row < m_proxy->rowCount(); ++row) {
        const QModelIndex index = m_proxy->index(row, FleetListModel::Serial);
        if (index.data().toString().trimmed() == wanted) {
            m_lstFleet->setCurrentIndex(index);
            return true;
        }
    }
    return false;
}

void frmFleet::instrumentChosen() {
    const QModelIndex current = m_proxy->mapToSource(m_lstFleet->currentIndex());
    m_history.clear();
    m_serial.clear();
    if (current.isValid() && m_store) {
        const FleetInstrument& instrument = m_model->instrument(current.row());
        m_serial = instrument.identity.serialNo;
        fillDue(instrument);
        QString error;
        m_history = m_store->history(m_serial, true, &error);
        showMessage(error); // cleared again once a history reads well
    } else {
        ResetRows(m_vfgDue, 0);
    }
    fillHistory();
    fillSnapshotChoices();
    m_chart->setHistory(m_history);
}

void frmFleet::fillDue(const FleetInstrument& instrument) {
    ResetRows(m_vfgDue, instrument.due.size());
    const QString day = QStringLiteral("yyyy/MM/dd");
    for (int i = 0; i < instrument.due.size(); ++i) {
        const ChannelDue& c = instrument.due.at(i);
        const int row = i + 1;
        m_vfgDue->setTextMatrix(row, 0, QStringLiteral("%1: %2").arg(c.channel + 1).arg(c.gas));
        m_vfgDue->setTextMatrix(row, 1, c.calibrated.toString(day));
        m_vfgDue->setTextMatrix(row, 2, c.due.toString(day));
        m_vfgDue->setTextMatrix(row, 3, DueStatusText(c.status));
        if (const QColor back = DueStatusBackground(c.status); back.isValid())
            for (int col = 0; col < m_vfgDue->Cols(); ++col) {
                m_vfgDue->setCellBackColor(row, col, back);
                m_vfgDue->setCellForeColor(row, col, DueStatusForeground(c.status));
            }
    }
    m_vfgDue->resizeColumnsToContents();
}

void frmFleet::fillHistory() {
    const QSignalBlocker block(m_vfgHistory);
    ResetRows(m_vfgHistory, m_history.size());
    for (int i = 0; i < m_history.size(); ++i) {
        const FleetEvent& e = m_history.at(i);
        const int row = i + 1;
        const QStringList cells{LocalTimeText(e.when), KindText(e.kind), OutcomeText(e.outcome),
                                e.operatorName,        e.bench,          ChangesText(e.changes)};
        for (int col = 0; col < cells.size(); ++col) {
            m_vfgHistory->setTextMatrix(row, col, cells.at(col));
            if (e.outcome == FleetOutcome::Failed)
                m_vfgHistory->setCellForeColor(row, col, kFailure);
        }
    }
    m_vfgHistory->resizeColumnsToContents();
    historyRowChosen();
}

void frmFleet::historyRowChosen() {
    const int index = m_vfgHistory->currentRow() - 1;
    m_cmdReprint->setEnabled(index >= 0 && index < m_history.size() &&
                             StoredCertificate(m_history.at(index)).has_value());
}

void frmFleet::cmdReprint_Click() {
    const int index = m_vfgHistory->currentRow() - 1;
    if (index < 0 || index >= m_history.size())
        return;
    const std::optional<CalibrationCertificate> certificate =
        StoredCertificate(m_history.at(index));
    if (!certificate)
        return;
    const QString path = ui().saveFileName(
        this, LoadMessage(9736), CertificateFileName(*certificate), {LoadMessage(9749)}, 0);
    if (path.isEmpty())
        return;
    QString error;
    if (!WriteCertificatePdf(*certificate, path, &error)) {
        ui().inform(this, LoadMessage(9739, {error}), AppTitle(), UiServices::Critical);
        return;
    }
    ui().inform(this, LoadMessage(9740, {path}), AppTitle());
}

void frmFleet::fillSnapshotChoices() {
    const QSignalBlocker first(m_cmbFirst), second(m_cmbSecond);
    m_cmbFirst->clear();
    m_cmbSecond->clear();
    m_snapshotEvents.clear();
    for (int i = 0; i < m_history.size(); ++i)
        if (!m_history.at(i).snapshot.isEmpty()) {
            m_snapshotEvents << i;
            m_cmbFirst->addItem(EventTitle(m_history.at(i)));
            m_cmbSecond->addItem(EventTitle(m_history.at(i)));
        }
    // The history is newest first: the latest snapshot against the one before it.
    m_cmbSecond->setCurrentIndex(m_snapshotEvents.isEmpty() ? -1 : 0);
    m_cmbFirst->setCurrentIndex(m_snapshotEvents.size() > 1 ? 1 : m_cmbSecond->currentIndex());
    fillCompare();
}

void frmFleet::fillCompare() {
    const int first = m_cmbFirst->currentIndex(), second = m_cmbSecond->currentIndex();
    if (first < 0 || second < 0) {
        ResetRows(m_vfgCompare, 0);
        m_lblDifferences->clear();
        return;
    }
    const QList<SettingComparison> all =
        CompareSnapshots(m_history.at(m_snapshotEvents.at(first)).snapshot,
                         m_history.at(m_snapshotEvents.at(second)).snapshot);
    QList<SettingComparison> shown;
    for (const SettingComparison& c : all)
        if (c.changed || !m_chkChangedOnly->isChecked())
            shown << c;
    const auto changed = std::count_if(all.cbegin(), all.cend(),
                                       [](const SettingComparison& c) { return c.changed; });
    m_lblDifferences->setText(LoadMessage(9748, {QString::number(changed)}));
    ResetRows(m_vfgCompare, shown.size());
    for (int i = 0; i < shown.size(); ++i) {
        const SettingComparison& c = shown.at(i);
        const int row = i + 1;
        m_vfgCompare->setTextMatrix(row, 0, c.setting);
        m_vfgCompare->setTextMatrix(row, 1, c.first);
        m_vfgCompare->setTextMatrix(row, 2, c.second);
        // Marked in words as well as in colour.
        m_vfgCompare->setTextMatrix(row, 3, c.changed ? LoadMessage(9731) : QString());
        if (c.changed)
            for (int col = 0; col < m_vfgCompare->Cols(); ++col)
                m_vfgCompare->setCellBackColor(row, col, kChanged);
    }
    m_vfgCompare->resizeColumnsToContents();
}
