#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

class QWidget;

// Message boxes, file dialogs, beep and busy pointer behind one interface, so windows can be
// driven by tests: the Qt implementation shows real dialogs; ScriptedUiServices answers from a
// script and records what was asked.
class UiServices {
public:
    enum Icon { NoIcon, Information, Question, Critical };
    enum Buttons { Ok, YesNo };
    enum Answer { AnswerOk, AnswerYes, AnswerNo };

    virtual ~UiServices() = default;
    virtual Answer message(QWidget* parent, const QString& text, const QString& title, Icon icon,
                           Buttons buttons) = 0;
    // A Yes/No question with a longer text the operator can unfold below it.
    virtual Answer askDetailed(QWidget* parent, const QString& text, const QString& title,
                               const QString& detail) {
        Q_UNUSED(detail);
        return ask(parent, text, title);
    }
    // Qt filter text ("Config Data (*.seq);;All files (*.*)"); empty result when cancelled.
    virtual QString saveFileName(QWidget* parent, const QString& title, const QString& defaultName,
                                 const QStringList& filters, int selectedFilter) = 0;
    virtual QString openFileName(QWidget* parent, const QString& title, const QStringList& filters,
                                 int selectedFilter) = 0;
    virtual void beep() = 0;
    // Nested: the pointer is busy while any caller holds it.
    virtual void setBusy(bool busy) = 0;

    Answer ask(QWidget* parent, const QString& text, const QString& title) {
        return message(parent, text, title, Question, YesNo);
    }
    void inform(QWidget* parent, const QString& text, const QString& title,
                Icon icon = Information) {
        message(parent, text, title, icon, Ok);
    }
};

// The services the windows use. The program installs the Qt implementation at start-up;
// tests install a scripted one.
UiServices& ui();
void setUiServices(UiServices* services);

// Turns a filter list of the form "All files (*.*)|*.*|Config Data (*.seq)|*.seq|" into Qt
// filters ("All files (*.*)", "Config Data (*.seq)").
QStringList FiltersFromPipeList(const QString& pipeList);

// Qt's own texts (Yes and No, Show Details, the file dialogs) in `language` ("en", "ja"), from
// the translations installed with Qt; false when they are not installed.
bool InstallQtTranslations(const QString& language);

class QtUiServices : public UiServices {
public:
    Answer message(QWidget* parent, const QString& text, const QString& title, Icon icon,
                   Buttons buttons) override;
    Answer askDetailed(QWidget* parent, const QString& text, const QString& title,
                       const QString& detail) override;
    QString saveFileName(QWidget* parent, const QString& title, const QString& defaultName,
                         const QStringList& filters, int selectedFilter) override;
    QString openFileName(QWidget* parent, const QString& title, const QStringList& filters,
                         int selectedFilter) override;
    void beep() override;
    void setBusy(bool busy) override;

private:
    Answer show(QWidget* parent, const QString& text, const QString& title, Icon icon,
                Buttons buttons, const QString& detail);
    int m_busyDepth = 0;
};

// RAII busy pointer.
class BusyPointer {
public:
    BusyPointer() { ui().setBusy(true); }
    ~BusyPointer() { ui().setBusy(false); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;
};
