#include "LockFileInstanceGuard.h"
#include "QtServices.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QLockFile>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>

using namespace zelvaro;

namespace {

// What a real message box looked like while it was open.
struct SeenBox
{
    bool found = false;
    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QList<QMessageBox::StandardButton> buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    bool staysOnTop = false;
    Qt::WindowModality modality = Qt::NonModal;
    Qt::TextFormat format = Qt::AutoText;
    Qt::CursorShape pointer = Qt::BitmapCursor; // BitmapCursor: no override at all
};

// Looks at the box once it is open and presses `press` (NoButton: the default button, as Enter).
void inspectNextBox(SeenBox *seen, QMessageBox::StandardButton press)
{
    QTimer::singleShot(0, qApp, [seen, press] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box) {
            for (QWidget *w : QApplication::topLevelWidgets())
                if (auto *b = qobject_cast<QMessageBox *>(w); b && b->isVisible())
                    box = b;
        }
        if (!box)
            return; // the test then fails on `found`; nothing is left open
        seen->found = true;
        seen->text = box->text();
        seen->title = box->windowTitle();
        seen->icon = box->icon();
        for (QAbstractButton *b : box->buttons())
            seen->buttons.append(box->standardButton(b));
        std::sort(seen->buttons.begin(), seen->buttons.end());
        seen->defaultButton =
            box->defaultButton() ? box->standardButton(box->defaultButton()) : QMessageBox::NoButton;
        seen->staysOnTop = box->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
        seen->modality = box->windowModality();
        seen->format = box->textFormat();
        seen->pointer =
            QGuiApplication::overrideCursor() ? QGuiApplication::overrideCursor()->shape() : Qt::BitmapCursor;
        QAbstractButton *target = press == QMessageBox::NoButton ? box->defaultButton() : box->button(press);
        if (target)
            target->click();
        else
            box->done(0);
    });
}

// Qt's own lock file for this process, with the first line (the process id) replaced.
QByteArray lockContentWithPid(const QString &scratchPath, qint64 pid)
{
    {
        QLockFile probe(scratchPath);
        if (!probe.tryLock(0))
            return {};
        QFile f(scratchPath);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QByteArray content = f.readAll();
        f.close();
        probe.unlock();
        return QByteArray::number(pid) + content.mid(content.indexOf('\n'));
    }
}

} // namespace

class TestQtServices : public QObject
{
    Q_OBJECT

private slots:
    void displayText_data();
    void displayText();
    void messageBox_data();
    void messageBox();
    void busyPointer_data();
    void busyPointer();
    void instanceGuard_data();
    void instanceGuard();
};

void TestQtServices::displayText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("carriage return") << QStringLiteral("a\rb") << QStringLiteral("a\nb");
    QTest::newRow("two carriage returns: empty line between")
        << QStringLiteral("a\r\rb") << QStringLiteral("a\n\nb");
    QTest::newRow("CRLF is one break") << QStringLiteral("a\r\nb") << QStringLiteral("a\nb");
    QTest::newRow("trailing returns kept") << QStringLiteral("x\r\r") << QStringLiteral("x\n\n");
    QTest::newRow("line feed alone unchanged") << QStringLiteral("a\nb") << QStringLiteral("a\nb");
    QTest::newRow("LF CR is two breaks") << QStringLiteral("a\n\rb") << QStringLiteral("a\n\nb");
}

void TestQtServices::displayText()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(messageBoxDisplayText(text), expected);
}

void TestQtServices::messageBox_data()
{
    using B = MessageBoxService::Buttons;
    using I = MessageBoxService::Icon;
    using A = MessageBoxService::Answer;
    using SB = QMessageBox::StandardButton;
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("title");
    QTest::addColumn<I>("icon");
    QTest::addColumn<B>("buttons");
    QTest::addColumn<bool>("systemModal");
    QTest::addColumn<bool>("busyBefore");
    QTest::addColumn<SB>("press");
    QTest::addColumn<QString>("shownText");
    QTest::addColumn<QString>("shownTitle");
    QTest::addColumn<QMessageBox::Icon>("shownIcon");
    QTest::addColumn<A>("answer");

    QTest::newRow("OK box, application title")
        << QStringLiteral("File di configurazione  ZELVARO.INI  asssente !!!") << QString() << I::None
        << B::Ok << false << false << SB::NoButton
        << QStringLiteral("File di configurazione  ZELVARO.INI  asssente !!!") << QStringLiteral("ZELVARO")
        << QMessageBox::NoIcon << A::Ok;
    QTest::newRow("stop icon, own title, system-modal")
        << QStringLiteral("Applicazione già in uso !") << QStringLiteral("ERRORE GENERALE") << I::Stop
        << B::Ok << true << true << SB::Ok << QStringLiteral("Applicazione già in uso !")
        << QStringLiteral("ERRORE GENERALE") << QMessageBox::Critical << A::Ok;
    QTest::newRow("carriage returns become lines")
        << QStringLiteral("ERRORE\r\r 14 - x\r\r/a<b>.mdb") << QString() << I::Stop << B::Ok << false << false
        << SB::NoButton << QStringLiteral("ERRORE\n\n 14 - x\n\n/a<b>.mdb") << QStringLiteral("ZELVARO")
        << QMessageBox::Critical << A::Ok;
    QTest::newRow("Yes/No: Enter takes Yes")
        << QStringLiteral("Cancello ?") << QString() << I::None << B::YesNo << false << false << SB::NoButton
        << QStringLiteral("Cancello ?") << QStringLiteral("ZELVARO") << QMessageBox::NoIcon << A::Yes;
    QTest::newRow("Yes/No: No chosen")
        << QStringLiteral("Cancello ?") << QString() << I::None << B::YesNo << false << true << SB::No
        << QStringLiteral("Cancello ?") << QStringLiteral("ZELVARO") << QMessageBox::NoIcon << A::No;
}

void TestQtServices::messageBox()
{
    QFETCH(QString, text);
    QFETCH(QString, title);
    QFETCH(MessageBoxService::Icon, icon);
    QFETCH(MessageBoxService::Buttons, buttons);
    QFETCH(bool, systemModal);
    QFETCH(bool, busyBefore);
    QFETCH(QMessageBox::StandardButton, press);
    QFETCH(QString, shownText);
    QFETCH(QString, shownTitle);
    QFETCH(QMessageBox::Icon, shownIcon);
    QFETCH(MessageBoxService::Answer, answer);

    QtBusyPointer pointer;
    pointer.setBusy(busyBefore);
    SeenBox seen;
    inspectNextBox(&seen, press);
    QtMessageBox service;
    const MessageBoxService::Answer got = service.show(text, title, icon, buttons, systemModal);

    QVERIFY(seen.found);
    QCOMPARE(got, answer);
    QCOMPARE(seen.text, shownText);
    QCOMPARE(seen.title, shownTitle);
    QCOMPARE(seen.icon, shownIcon);
    QCOMPARE(seen.format, Qt::PlainText);
    QCOMPARE(seen.staysOnTop, systemModal);
    QCOMPARE(seen.modality, Qt::ApplicationModal);
    if (buttons == MessageBoxService::Buttons::YesNo) {
        QCOMPARE(seen.buttons, (QList<QMessageBox::StandardButton>{QMessageBox::Yes, QMessageBox::No}));
        QCOMPARE(seen.defaultButton, QMessageBox::Yes);
    } else {
        QCOMPARE(seen.buttons, QList<QMessageBox::StandardButton>{QMessageBox::Ok});
    }
    // An arrow while the box waits for the user; the busy pointer is back afterwards.
    QCOMPARE(seen.pointer, busyBefore ? Qt::ArrowCursor : Qt::BitmapCursor);
    QCOMPARE(QGuiApplication::overrideCursor() ? QGuiApplication::overrideCursor()->shape()
                                               : Qt::BitmapCursor,
             busyBefore ? Qt::WaitCursor : Qt::BitmapCursor);
}

void TestQtServices::busyPointer_data()
{
    QTest::addColumn<QString>("settings"); // B busy, N normal, in order
    QTest::addColumn<bool>("busyAfter");
    QTest::newRow("busy") << "B" << true;
    QTest::newRow("busy twice is one setting") << "BB" << true;
    QTest::newRow("normal twice stays normal") << "NN" << false;
    QTest::newRow("busy then normal") << "BN" << false;
    QTest::newRow("busy, normal twice, busy") << "BNNB" << true;
    QTest::newRow("normal before busy") << "NB" << true;
}

void TestQtServices::busyPointer()
{
    QFETCH(QString, settings);
    QFETCH(bool, busyAfter);

    // A pointer set by someone else beneath: the busy pointer must neither remove it nor stack on it.
    QGuiApplication::setOverrideCursor(Qt::CrossCursor);
    {
        QtBusyPointer pointer;
        for (const QChar c : settings)
            pointer.setBusy(c == QLatin1Char('B'));
        QCOMPARE(pointer.isBusy(), busyAfter);
        QVERIFY(QGuiApplication::overrideCursor());
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), busyAfter ? Qt::WaitCursor : Qt::CrossCursor);
        pointer.setBusy(false);
        QVERIFY(QGuiApplication::overrideCursor());
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::CrossCursor);
        pointer.setBusy(busyAfter); // the destructor puts it back to normal
    }
    QVERIFY(QGuiApplication::overrideCursor());
    QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::CrossCursor);
    QGuiApplication::restoreOverrideCursor();
    QVERIFY(!QGuiApplication::overrideCursor());
}

void TestQtServices::instanceGuard_data()
{
    QTest::addColumn<QString>("existing"); // what lies at the lock path before the guard asks
    QTest::addColumn<bool>("anotherCopy");
    QTest::newRow("no lock: first copy runs") << "none" << false;
    QTest::newRow("held by another guard: refused") << "held" << true;
    QTest::newRow("stale lock of a dead process: taken over") << "dead" << false;
    QTest::newRow("old lock of a live process: still refused") << "old-live" << true;
    QTest::newRow("released lock: runs") << "released" << false;
}

void TestQtServices::instanceGuard()
{
    QFETCH(QString, existing);
    QFETCH(bool, anotherCopy);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("zelvaro-prova.lock"));
    std::unique_ptr<LockFileInstanceGuard> first;

    if (existing == QLatin1String("held") || existing == QLatin1String("released")) {
        first = std::make_unique<LockFileInstanceGuard>(path);
        QVERIFY(!first->anotherCopyRunning());
        QVERIFY(first->holdsLock());
        if (existing == QLatin1String("released"))
            first.reset();
    } else if (existing == QLatin1String("dead") || existing == QLatin1String("old-live")) {
        qint64 pid = QCoreApplication::applicationPid();
        if (existing == QLatin1String("dead")) {
            QProcess gone;
            gone.start(QStringLiteral("true"), {});
            QVERIFY(gone.waitForStarted());
            pid = gone.processId();
            QVERIFY(gone.waitForFinished());
        }
        const QByteArray content = lockContentWithPid(dir.filePath(QStringLiteral("scratch.lock")), pid);
        QVERIFY(!content.isEmpty());
        QFile lock(path);
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write(content);
        lock.close();
        QVERIFY(lock.open(QIODevice::ReadWrite));
        QVERIFY(
            lock.setFileTime(QDateTime(QDate(2001, 1, 1), QTime(0, 0)), QFileDevice::FileModificationTime));
    }

    {
        LockFileInstanceGuard guard(path);
        QCOMPARE(guard.anotherCopyRunning(), anotherCopy);
        QCOMPARE(guard.anotherCopyRunning(), anotherCopy); // asking again: a copy never counts itself
        QCOMPARE(guard.holdsLock(), !anotherCopy);
    }
    // A refused copy leaves the running copy's lock alone; a copy that ran takes its lock away.
    QCOMPARE(QFile::exists(path), anotherCopy);
}

QTEST_MAIN(TestQtServices)
#include "tst_qtservices.moc"
