#include "ui/calibration/frmGasSel.h"

#include "app/ReadingFormat.h"
#include "state/AppState.h"
#include "ui/common/FontHelpers.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

frmGasSel::frmGasSel(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmGasSel"));
    setWindowTitle(QStringLiteral("Gas Select"));
    m_fraGasSel = new QGroupBox(QStringLiteral("Select List"), this);
    m_optionGrid = new QGridLayout(m_fraGasSel);
    for (int i = 0; i < OptionCount; ++i) {
        m_options[i] = new QRadioButton(m_fraGasSel);
        connect(m_options[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on) {
                m_selNum = i;
                m_ok->setEnabled(true);
            }
        });
    }
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    connect(m_ok, &QPushButton::clicked, this, [this] { cmdGasSel_Click(0); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { cmdGasSel_Click(1); });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(m_fraGasSel);
    lay->addLayout(buttons);
    ApplyAppFont(this);
    buildList();
}

void frmGasSel::setGasNo(int slot) {
    m_gasNo = slot;
    buildList();
}

void frmGasSel::setConnected(bool connected) {
    m_connected = connected;
    buildList();
}

void frmGasSel::buildList() {
    const AppState& s = appState();
    for (QRadioButton* o : m_options) {
        o->setAutoExclusive(false);
        o->setChecked(false);
        o->setAutoExclusive(true);
        o->setVisible(false);
    }
    m_selNum = -1;
    m_ok->setEnabled(false);
    const int g = m_gasNo;
    m_source = GasSourceFor(g, m_connected);
    for (const GasChoice& c : GasChoices(s.Instrument, s.GasDefaults, g, m_source)) {
        m_options[c.option]->setText(c.caption);
        m_options[c.option]->setVisible(true);
    }
    if (m_source == GasSource::Library) {
        m_rows = 4;
        m_cols = 4;
    } else {
        // The layout counts every selectable row, also those past the eight that are offered.
        int count = 0;
        for (int row = 0; row < OptionCount; ++row) {
            if (GasDefaultTable::inRange(row, g) && s.GasDefaults.at(row, g).Enabled)
                ++count;
        }
        if (count < 5) {
            m_cols = 1;
            m_rows = qMax(count, 1);
        } else {
            m_cols = 2;
            m_rows = (count + 1) / 2;
        }
    }
    layoutOptions();
}

void frmGasSel::layoutOptions() {
    for (QRadioButton* o : m_options)
        m_optionGrid->removeWidget(o);
    const bool fixedPlaces = m_source == GasSource::Library;
    int placed = 0;
    for (int i = 0; i < OptionCount; ++i) {
        if (m_options[i]->isHidden())
            continue;
        // The gas table keeps each entry in its own place; default gases fill column by column.
        const int slot = fixedPlaces ? i : placed;
        const int row = slot % m_rows;
        const int col = slot / m_rows;
        m_optionGrid->addWidget(m_options[i], row, col);
        ++placed;
    }
    adjustSize();
}

QPair<int, int> frmGasSel::optionCell(int i) const {
    const int idx = m_optionGrid->indexOf(m_options.at(i));
    if (idx < 0 || m_options.at(i)->isHidden())
        return {-1, -1};
    int row = 0, col = 0, rs = 0, cs = 0;
    m_optionGrid->getItemPosition(idx, &row, &col, &rs, &cs);
    return {row, col};
}

void frmGasSel::cmdGasSel_Click(int index) {
    // OK without a chosen gas is no choice: the slot must not be switched on.
    m_flags = index == 0 && m_selNum >= 0;
    if (m_flags)
        accept();
    else
        reject();
}
