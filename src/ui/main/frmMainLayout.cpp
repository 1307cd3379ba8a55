// The main window's looks: where its controls sit, the order Tab walks them, their captions
// and the least size that shows them whole. The buttons come from the MainButtons table.
#include "ui/main/frmMain.h"

#include "app/MessageTable.h"
#include "ui/common/FlexGrid.h"
#include "ui/common/StatusLamp.h"
#include "ui/common/WindowHelpers.h"
#include "ui/main/SettingsGrid.h"
#include "ui/shell/frmOpen.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

void frmMain::buildLayout() {
    // Identity and clocks.
    auto* status = new QGridLayout(m_fraStatus);
    status->addWidget(m_lblOption[0], 0, 0);
    status->addWidget(m_settings->txtOption(0), 0, 1, 1, 3);
    status->addWidget(m_lblOption[1], 1, 0);
    status->addWidget(m_settings->txtOption(1), 1, 1);
    status->addWidget(m_settings->cmbStation(), 1, 2, 1, 2);
    status->addWidget(m_lblOption[2], 2, 0);
    status->addWidget(m_settings->txtOption(2), 2, 1, 1, 3);
    status->addWidget(m_lblOption[7], 3, 0);
    status->addWidget(m_settings->cmbInterval(), 3, 1);
    status->addWidget(m_lblOption[3], 4, 0);
    status->addWidget(m_lblOption[5], 4, 1, 1, 3);
    status->addWidget(m_lblOption[4], 5, 0);
    status->addWidget(m_lblOption[6], 5, 1, 1, 3);
    auto* inst = new QHBoxLayout;
    inst->addWidget(m_lblInstMap[6]);
    inst->addWidget(m_lblInstMap[7]);
    inst->addSpacing(16);
    inst->addWidget(m_lblInstMap[8]);
    inst->addWidget(m_lblInstMap[9]);
    inst->addStretch();
    status->addLayout(inst, 6, 0, 1, 4);
    status->setColumnStretch(1, 1);
    status->setColumnStretch(2, 1);
    m_lblOption[5]->setMinimumWidth(150);
    m_lblOption[6]->setMinimumWidth(150);

    // Link lamps.
    auto* lamps = new QGridLayout(m_fraTransStatus);
    for (int i = 0; i < 4; ++i) {
        lamps->addWidget(m_shpStatus[i], i / 2, (i % 2) * 2);
        lamps->addWidget(m_lblStatus[i], i / 2, (i % 2) * 2 + 1);
    }

    // The command frames, two buttons a row; the suffix field closes the read frame.
    std::array<QGridLayout*, CommandFrameCaptions.size()> frames{};
    std::array<int, CommandFrameCaptions.size()> placed{};
    for (std::size_t i = 0; i < frames.size(); ++i)
        frames[i] = new QGridLayout(m_fraCommand[i]);
    for (const MainButtonRow& row : MainButtons) {
        if (row.frame == CommandFrame::None)
            continue;
        int& k = placed[std::size_t(row.frame)];
        frames[std::size_t(row.frame)]->addWidget(button(row.button), k / 2, k % 2);
        ++k;
    }
    const int suffixRow = (placed[std::size_t(CommandFrame::Read)] + 1) / 2;
    frames[std::size_t(CommandFrame::Read)]->addWidget(m_lblSuffix, suffixRow, 0);
    frames[std::size_t(CommandFrame::Read)]->addWidget(m_txtSuffix, suffixRow, 1);

    auto* banner = new QHBoxLayout;
    auto* picture = new QLabel(this);
    picture->setPixmap(
        ProductPicture().scaled(56, 56, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    auto* bannerText =
        new QLabel(QStringLiteral("<b>TQ-5800 Setup Program</b><br>P.No.04765"), this);
    banner->addWidget(picture);
    banner->addWidget(bannerText, 1);

    auto* right = new QVBoxLayout;
    right->addLayout(banner);
    right->addWidget(m_fraTransStatus);
    for (QGroupBox* frame : m_fraCommand)
        right->addWidget(frame);
    right->addStretch();
    right->addWidget(button(MainButton::Exit));

    auto* left = new QVBoxLayout;
    left->addWidget(m_fraStatus);
    left->addWidget(m_settings->vfgOption(), 1);

    auto* top = new QHBoxLayout;
    top->addLayout(left, 5);
    top->addLayout(right, 3);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(10, 10, 10, 10);
    outer->addLayout(top, 3);
    outer->addWidget(m_lblTitle);
    outer->addWidget(m_rtbLog, 1);

    // Tab walks the window as it reads: the identity fields, the grid, the command frames
    // from top to bottom, Exit, then the log pane. Hidden commands are passed over.
    QList<QWidget*> chain{m_settings->txtOption(0),  m_settings->txtOption(1),
                          m_settings->cmbStation(),  m_settings->txtOption(2),
                          m_settings->cmbInterval(), m_settings->vfgOption()};
    CommandFrame previous = CommandFrame::None;
    for (const MainButtonRow& row : MainButtons) {
        if (previous == CommandFrame::Read && row.frame != CommandFrame::Read)
            chain << m_txtSuffix;
        chain << button(row.button);
        previous = row.frame;
    }
    chain << m_rtbLog;
    for (int i = 1; i < chain.size(); ++i)
        setTabOrder(chain[i - 1], chain[i]);
    m_rtbLog->setTabChangesFocus(true);
    m_rtbLog->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
}

void frmMain::setCaptions() {
    setWindowTitle(LoadMessage(5001) + QStringLiteral(" [P.No.") + QStringLiteral("04765") + u']');
    // Every command has its Alt key. "&&" in a caption is a literal ampersand, which a Qt
    // caption also writes as "&&".
    for (const MainButtonRow& row : MainButtons)
        SetCaptionWithMnemonic(button(row.button), LoadMessage(row.caption),
                               QChar::fromLatin1(row.mnemonic));
    m_fraTransStatus->setTitle(LoadMessage(5021));
    m_lblStatus[0]->setText(LoadMessage(5022));
    m_lblStatus[1]->setText(LoadMessage(5023));
    m_lblStatus[2]->setText(QStringLiteral("Cal.Unit"));
    m_lblStatus[3]->setText(QStringLiteral("Cal.Gas"));
    m_lblTitle->setText(LoadMessage(5012));
    m_rtbLog->setAccessibleName(m_lblTitle->text());
    m_settings->vfgOption()->setAccessibleName(LoadMessage(5850));
    m_lblSuffix->setText(LoadMessage(5048));
    m_lblSuffix->setBuddy(m_txtSuffix);
    m_txtSuffix->setAccessibleName(m_lblSuffix->text());
    for (std::size_t i = 0; i < m_fraCommand.size(); ++i)
        m_fraCommand[i]->setTitle(LoadMessage(CommandFrameCaptions[i]));
    m_lblInstMap[6]->setText(LoadMessage(5056));
    m_lblInstMap[8]->setText(LoadMessage(5060));
    m_fraStatus->setTitle(LoadMessage(5208));
    for (int i = 0; i < 5; ++i)
        m_lblOption[i]->setText(LoadMessage(5209 + i));
    // A screen reader names each identity field by its caption.
    for (int i = 0; i < 3; ++i) {
        m_lblOption[i]->setBuddy(m_settings->txtOption(i));
        m_settings->txtOption(i)->setAccessibleName(m_lblOption[i]->text());
    }
    m_settings->cmbStation()->setAccessibleName(LoadMessage(5609));
    m_settings->cmbInterval()->setAccessibleName(LoadMessage(5223));
    m_lblOption[7]->setBuddy(m_settings->cmbInterval());
    m_lblOption[7]->setText(LoadMessage(5223));
}

void frmMain::fitMinimumSize() {
    // Never smaller than the layout needs for the captions in the chosen language and font:
    // a window below that squashes the command buttons into unreadable strips.
    const QSize least(TwipsToPixels(MainWindowLeastWidthTwips, Qt::Horizontal),
                      TwipsToPixels(9285, Qt::Vertical));
    // The log pane keeps five lines in sight however small the window gets.
    const int margins = 2 * (m_rtbLog->frameWidth() + int(m_rtbLog->document()->documentMargin()));
    m_rtbLog->setMinimumHeight(5 * m_rtbLog->fontMetrics().lineSpacing() + margins);
    layout()->activate();
    setMinimumSize(least.expandedTo(layout()->minimumSize()));
}
