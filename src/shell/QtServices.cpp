#include "QtServices.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace zelvaro {

QString messageBoxDisplayText(const QString &text)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

MessageBoxService::Answer QtMessageBox::show(const QString &text, const QString &title, Icon icon,
                                             Buttons buttons, bool systemModal)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(title.isEmpty() ? kApplicationTitle : title);
    // A path may hold '<' or '&': never let the box take the text for markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(messageBoxDisplayText(text));
    box.setIcon(icon == Icon::Stop          ? QMessageBox::Critical
                : icon == Icon::Information ? QMessageBox::Information
                : icon == Icon::Warning     ? QMessageBox::Warning
                                            : QMessageBox::NoIcon);
    if (buttons == Buttons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
        box.setDefaultButton(QMessageBox::Ok);
    }
    box.setWindowModality(Qt::ApplicationModal);
    if (systemModal)
        box.setWindowFlag(Qt::WindowStaysOnTopHint, true);

    // The busy pointer stays set for the application, but the user must see an arrow to answer.
    const bool pointerOverridden = QGuiApplication::overrideCursor() != nullptr;
    if (pointerOverridden)
        QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    const int result = box.exec();
    if (pointerOverridden)
        QGuiApplication::restoreOverrideCursor();

    if (buttons == Buttons::Ok)
        return Answer::Ok;
    return result == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

void QtBeep::beep()
{
    QApplication::beep();
}

QtBusyPointer::~QtBusyPointer()
{
    setBusy(false);
}

void QtBusyPointer::setBusy(bool busy)
{
    if (busy == m_busy)
        return;
    m_busy = busy;
    if (busy)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QGuiApplication::restoreOverrideCursor();
}

QDate QtClock::today() const
{
    return QDate::currentDate();
}

QDateTime QtClock::now() const
{
    return QDateTime::currentDateTime();
}

QString QtProgramFolder::path() const
{
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
}

QString QtFileDialog::saveFileName(const QString &title, const QString &suggestedPath, const QString &filter)
{
    return QFileDialog::getSaveFileName(QApplication::activeWindow(), title, suggestedPath, filter);
}

QString QtFileDialog::openFileName(const QString &title, const QString &folder, const QString &filter)
{
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), title, folder, filter);
}

void QtProgramEnd::endProgram(int status)
{
    QCoreApplication::exit(status);
}

} // namespace zelvaro
