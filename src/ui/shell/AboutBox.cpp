#include "ui/shell/AboutBox.h"

#include "app/MessageTable.h"
#include "app/ProgramVersion.h"
#include "ui/common/UiServices.h"

#include <QAction>
#include <QWidget>

namespace {
constexpr int AboutCaptionMessage = 5791;
constexpr int AboutTextMessage = 5792;
} // namespace

QString AboutText() {
    return LoadMessage(AboutTextMessage,
                       {AppTitle(), ProgramVersion(), QString::fromLatin1(qVersion())});
}

void ShowAboutBox(QWidget* parent) {
    ui().inform(parent, AboutText(), LoadMessage(AboutCaptionMessage));
}

void InstallAboutBox(QWidget* window) {
    auto* about = new QAction(LoadMessage(AboutCaptionMessage), window);
    about->setObjectName(QStringLiteral("actAbout"));
    about->setShortcut(QKeySequence::HelpContents);
    about->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(about, &QAction::triggered, window, [window] { ShowAboutBox(window); });
    window->addAction(about);
    window->setContextMenuPolicy(Qt::ActionsContextMenu);
}
