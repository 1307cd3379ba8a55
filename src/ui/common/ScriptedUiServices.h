#pragma once

#include "ui/common/UiServices.h"

#include <QList>
#include <QQueue>

// Answers questions and file dialogs from a script and records everything it was asked.
// A question without a scripted answer is answered No (and a file dialog is cancelled), so a
// test that forgot a step sends nothing rather than something.
class ScriptedUiServices : public UiServices {
public:
    struct Asked {
        QString text;
        QString title;
        Icon icon;
        Buttons buttons;
        QString detail;
    };

    QQueue<Answer> answers;
    QQueue<QString> fileNames;
    // What the file dialogs were given: their filter lists and selected filter.
    QList<QStringList> fileFilters;
    QList<int> selectedFilters;
    QList<Asked> asked;
    int beeps = 0;
    int busyDepth = 0;
    int maxBusyDepth = 0;

    Answer message(QWidget*, const QString& text, const QString& title, Icon icon,
                   Buttons buttons) override {
        asked.append({text, title, icon, buttons, QString()});
        if (buttons == Ok)
            return AnswerOk;
        return answers.isEmpty() ? AnswerNo : answers.dequeue();
    }
    Answer askDetailed(QWidget* parent, const QString& text, const QString& title,
                       const QString& detail) override {
        const Answer a = message(parent, text, title, Question, YesNo);
        asked.last().detail = detail;
        return a;
    }
    QString saveFileName(QWidget*, const QString&, const QString&, const QStringList& filters,
                         int selected) override {
        fileFilters << filters;
        selectedFilters << selected;
        return fileNames.isEmpty() ? QString() : fileNames.dequeue();
    }
    QString openFileName(QWidget*, const QString&, const QStringList& filters,
                         int selected) override {
        fileFilters << filters;
        selectedFilters << selected;
        return fileNames.isEmpty() ? QString() : fileNames.dequeue();
    }
    void beep() override { ++beeps; }
    void setBusy(bool busy) override {
        busyDepth += busy ? 1 : -1;
        maxBusyDepth = qMax(maxBusyDepth, busyDepth);
    }

    QStringList texts() const {
        QStringList out;
        for (const Asked& a : asked)
            out << a.text;
        return out;
    }
};

// Installs a scripted UiServices for the lifetime of the guard.
class ScopedScriptedUi {
public:
    ScopedScriptedUi() { setUiServices(&services); }
    ~ScopedScriptedUi() { setUiServices(nullptr); }
    ScriptedUiServices services;
};
