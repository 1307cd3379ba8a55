#include "ui/common/UiServices.h"

#include <QApplication>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>
#include <memory>

namespace {
UiServices*& current() {
    static QtUiServices qtServices;
    static UiServices* s = &qtServices;
    return s;
}
} // namespace

UiServices& ui() {
    return *current();
}

void setUiServices(UiServices* services) {
    static QtUiServices fallback;
    current() = services ? services : &fallback;
}

QStringList FiltersFromPipeList(const QString& pipeList) {
    const QStringList parts = pipeList.split(u'|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        if (!parts[i].isEmpty())
            out << parts[i];
    return out;
}

bool InstallQtTranslations(const QString& language) {
    // The previous language goes first, whether or not the new one is found.
    static std::unique_ptr<QTranslator> installed;
    if (installed)
        QCoreApplication::removeTranslator(installed.get());
    installed = std::make_unique<QTranslator>();
    if (!installed->load(QLocale(language), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        installed.reset();
        return false;
    }
    return QCoreApplication::installTranslator(installed.get());
}

UiServices::Answer QtUiServices::message(QWidget* parent, const QString& text, const QString& title,
                                         Icon icon, Buttons buttons) {
    return show(parent, text, title, icon, buttons, QString());
}

UiServices::Answer QtUiServices::askDetailed(QWidget* parent, const QString& text,
                                             const QString& title, const QString& detail) {
    return show(parent, text, title, Question, YesNo, detail);
}

UiServices::Answer QtUiServices::show(QWidget* parent, const QString& text, const QString& title,
                                      Icon icon, Buttons buttons, const QString& detail) {
    QMessageBox box(parent);
    box.setWindowTitle(title);
    // Texts use CR LF line breaks; Qt wants LF.
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    box.setText(shown);
    if (!detail.isEmpty())
        box.setDetailedText(detail);
    switch (icon) {
    case Information:
        box.setIcon(QMessageBox::Information);
        break;
    case Question:
        box.setIcon(QMessageBox::Question);
        break;
    case Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case NoIcon:
        break;
    }
    if (buttons == YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    // The busy pointer must not hide a question.
    const bool wasBusy = m_busyDepth > 0;
    if (wasBusy)
        QApplication::restoreOverrideCursor();
    const int r = box.exec();
    if (wasBusy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    if (buttons == YesNo)
        return r == QMessageBox::Yes ? AnswerYes : AnswerNo;
    return AnswerOk;
}

QString QtUiServices::saveFileName(QWidget* parent, const QString& title,
                                   const QString& defaultName, const QStringList& filters,
                                   int selectedFilter) {
    QFileDialog dlg(parent, title);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setNameFilters(filters);
    if (selectedFilter >= 0 && selectedFilter < filters.size())
        dlg.selectNameFilter(filters.at(selectedFilter));
    dlg.selectFile(defaultName);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return QString();
    return dlg.selectedFiles().first();
}

QString QtUiServices::openFileName(QWidget* parent, const QString& title,
                                   const QStringList& filters, int selectedFilter) {
    QFileDialog dlg(parent, title);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(QFileDialog::ExistingFile);
    dlg.setNameFilters(filters);
    if (selectedFilter >= 0 && selectedFilter < filters.size())
        dlg.selectNameFilter(filters.at(selectedFilter));
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return QString();
    return dlg.selectedFiles().first();
}

void QtUiServices::beep() {
    QApplication::beep();
}

void QtUiServices::setBusy(bool busy) {
    if (busy) {
        if (m_busyDepth++ == 0)
            QApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (m_busyDepth > 0) {
        if (--m_busyDepth == 0)
            QApplication::restoreOverrideCursor();
    }
}
