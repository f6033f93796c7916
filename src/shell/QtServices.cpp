#include "QtServices.h"

#include "PrivateFiles.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTranslator>

#include <algorithm>
#include <fcntl.h>
#include <unistd.h>

namespace zelvaro {

namespace {

constexpr qint64 kProgressUpdateMs = 100;
constexpr int kProgressBarSteps = 1000; // the bar's own range, whatever the count of rows

class QtProgress : public Progress
{
public:
    QtProgress(QString label, int showAfterMs) : m_label(std::move(label)), m_showAfterMs(showAfterMs)
    {
        m_clock.start();
    }

    ~QtProgress() override
    {
        delete m_dialog.data();
        if (m_arrow)
            QGuiApplication::restoreOverrideCursor();
    }

    bool step(qint64 done, qint64 total) override
    {
        if (m_cancelled)
            return false;
        const qint64 now = m_clock.elapsed();
        if (now < m_nextUpdate)
            return true;
        m_nextUpdate = now + kProgressUpdateMs;
        if (!m_shown) {
            if (now < m_showAfterMs)
                return true;
            open();
        }
        if (m_dialog) {
            const QLocale italian(QLocale::Italian, QLocale::Italy);
            m_dialog->setLabelText(
                m_label + QStringLiteral("\nRighe: ") + italian.toString(done) +
                (total > 0 ? QStringLiteral(" di ") + italian.toString(total) : QString()));
            m_dialog->setMaximum(total > 0 ? kProgressBarSteps : 0); // 0: the bar only shows activity
            m_dialog->setValue(total > 0 ? int(std::min(done, total) * kProgressBarSteps / total) : 0);
        }
        QCoreApplication::processEvents(); // paints the dialog and hears "Annulla"
        m_cancelled = !m_dialog || m_dialog->wasCanceled();
        return !m_cancelled;
    }

private:
    void open()
    {
        m_shown = true;
        auto *dialog = new QProgressDialog(QApplication::activeWindow());
        m_dialog = dialog;
        dialog->setObjectName(QStringLiteral("dlgAVANZAMENTO"));
        dialog->setWindowTitle(kApplicationTitle);
        dialog->setAccessibleName(m_label);
        dialog->setCancelButtonText(QStringLiteral("Annulla"));
        dialog->setWindowModality(Qt::ApplicationModal);
        dialog->setAutoClose(false);
        dialog->setAutoReset(false);
        dialog->setMinimumDuration(0);
        // The busy pointer stays set for the application; over the dialog the user needs an arrow.
        if (QGuiApplication::overrideCursor()) {
            QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
            m_arrow = true;
        }
        dialog->show();
    }

    QString m_label;
    int m_showAfterMs;
    QElapsedTimer m_clock;
    qint64 m_nextUpdate = 0;
    bool m_shown = false;
    bool m_cancelled = false;
    bool m_arrow = false;
    QPointer<QProgressDialog> m_dialog;
};

} // namespace

bool installItalianQtTexts(QString *path)
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (path)
        *path = QDir(folder).filePath(QStringLiteral("qtbase_it.qm"));
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    auto *translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(QStringLiteral("qtbase_it"), folder) &&
        QCoreApplication::installTranslator(translator))
        return true;
    delete translator;
    return false;
}

QString documentsFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

QtRememberedFolders::QtRememberedFolders(QString settingsPath, QString documents)
    : m_settingsPath(std::move(settingsPath)), m_documents(std::move(documents))
{
}

QString QtRememberedFolders::defaultSettingsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/zelvaro/cartelle.conf");
}

QString QtRememberedFolders::folderFor(const QString &dialog) const
{
    const QString folder = QSettings(m_settingsPath, QSettings::IniFormat)
                               .value(QStringLiteral("cartelle/") + dialog)
                               .toString();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : m_documents;
}

void QtRememberedFolders::remember(const QString &dialog, const QString &chosenPath)
{
    // The file names folders of the user's: it is made private before anything is written in it;
    // the settings keep its mode when they replace it.
    if (makePrivateFolders(QFileInfo(m_settingsPath).absolutePath()) != 0)
        return; // nothing remembered: the dialog starts in the documents folder next time
    const int fd =
        ::open(QFile::encodeName(m_settingsPath).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
        makePrivate(fd);
        ::close(fd);
    }
    QSettings settings(m_settingsPath, QSettings::IniFormat);
    settings.setValue(QStringLiteral("cartelle/") + dialog, QFileInfo(chosenPath).absolutePath());
    settings.sync();
}

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

QString QtFileDialog::saveFileName(const QString &title, const QString &suggestedPath, const QString &filter,
                                   bool askToReplace)
{
    return QFileDialog::getSaveFileName(QApplication::activeWindow(), title, suggestedPath, filter, nullptr,
                                        askToReplace ? QFileDialog::Options()
                                                     : QFileDialog::DontConfirmOverwrite);
}

QString QtFileDialog::openFileName(const QString &title, const QString &folder, const QString &filter)
{
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), title, folder, filter);
}

std::unique_ptr<Progress> QtProgressService::begin(const QString &label)
{
    return std::make_unique<QtProgress>(label, m_showAfterMs);
}

void QtProgramEnd::endProgram(int status)
{
    QCoreApplication::exit(status);
}

} // namespace zelvaro
