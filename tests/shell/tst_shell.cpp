#include "Archive.h"
#include "ErrorReport.h"
#include "Fakes.h"
#include "LockFileInstanceGuard.h"
#include "MDIForm1.h"
#include "QtServices.h"
#include "Startup.h"
#include "TempArchive.h"

#include <QCloseEvent>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

using namespace zelvaro;
using namespace zelvaro::test;
using Icon = MessageBoxService::Icon;

namespace {

const QString kAbsent = QStringLiteral("File di configurazione  ZELVARO.INI  asssente !!!");

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size(), qPrintable(path));
}

struct CountingFolder : ProgramFolder
{
    QString path() const override { return ++asked, dir; }
    QString dir;
    mutable int asked = 0;
};

QList<bool> g_archiveOpenAtChildClose;

// Stands in for Form2: records, when it closes, whether the archive was still open.
struct ChildStandIn : QWidget
{
    ChildStandIn(Archive &a, QWidget *parent) : QWidget(parent), archive(a) {}
    void closeEvent(QCloseEvent *) override { g_archiveOpenAtChildClose.append(archive.isOpen()); }
    Archive &archive;
};

} // namespace

class TestShell : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void startup_data();
    void startup();
    void secondCopyRefusedFirst();
    void instanceGuard();
    void errorReport_data();
    void errorReport();
    void qtServices();
    void mainWindow_data();
    void mainWindow();
    void summaryMenu();

private:
    const HoursWindowFactory m_makeForm2 = [this](Archive &archive, QWidget *parent) -> QWidget * {
        ++m_made;
        return new ChildStandIn(archive, parent);
    };
    StartedProgram runMain();

    std::optional<FakeServices> m_fakes;
    FakeInstanceGuard m_instance;
    CountingFolder m_folder;
    int m_made = 0;
};

void TestShell::init()
{
    m_fakes.emplace();
    m_instance.another = false;
    m_folder.asked = m_made = 0;
    g_archiveOpenAtChildClose.clear();
}

void TestShell::cleanup()
{
    QVERIFY2(m_fakes->messages.unexpected.isEmpty(), qPrintable(m_fakes->messages.unexpected.join(u'|')));
}

StartedProgram TestShell::runMain()
{
    return Main(StartupServices{m_fakes->services(), &m_instance, &m_folder}, m_makeForm2);
}

void TestShell::startup_data()
{
    QTest::addColumn<QByteArray>("ini");  // "-": no ZELVARO.INI; '@' stands for the program folder
    QTest::addColumn<QString>("path");    // the archive path start-up must use
    QTest::addColumn<QString>("archive"); // what lies at that path: nothing, or a kind of file

    const QString def = QStringLiteral("@/ZELVARO_97.mdb"), at = QStringLiteral("@/a.mdb"), none;
    const QByteArray ini("@/a.mdb\r\n");
    QTest::newRow("INI missing: default path") << QByteArray("-") << def << none;
    QTest::newRow("INI empty: default path") << QByteArray() << def << none;
    QTest::newRow("empty first line: empty path") << QByteArray("\r\n@/a.mdb\r\n") << none << none;
    QTest::newRow("two lines: the first")
        << QByteArray("/d/primo.mdb\n/d/secondo.mdb\n") << "/d/primo.mdb" << none;
    QTest::newRow("CRLF") << QByteArray("C:\\DATI\\ORE.mdb\r\nx\r\n") << "C:\\DATI\\ORE.mdb" << none;
    QTest::newRow("CR only") << QByteArray("/d/cr.mdb\r/d/dopo.mdb") << "/d/cr.mdb" << none;
    QTest::newRow("blanks kept") << QByteArray("  /d/con spazi.mdb  \r\n") << "  /d/con spazi.mdb  " << none;
    QTest::newRow("Windows-1252 bytes") << QByteArray("C:\\Contabilit\xe0\\Ore \x80 \x93x\x94.mdb\r\n")
                                        << QStringLiteral("C:\\Contabilità\\Ore € “x”.mdb") << none;
    QTest::newRow("UTF-8") << QByteArray("/d/Contabilit\xc3\xa0/\xe2\x82\xac.mdb\n")
                           << QStringLiteral("/d/Contabilità/€.mdb") << none;
    QTest::newRow("fails: missing file") << ini << at << none;
    QTest::newRow("fails: not SQLite") << ini << at << "text";
    QTest::newRow("fails: Access/Jet file") << ini << at << "jet";
    QTest::newRow("fails: no MOV_MAG") << ini << at << "notable";
    QTest::newRow("fails: MOV_MAG lacks NOTE") << ini << at << "nocolumn";
    QTest::newRow("fails: locked by another program") << ini << at << "locked";
    QTest::newRow("opens: path from INI") << ini << at << "good";
}

void TestShell::startup()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, path);
    QFETCH(QString, archive);

    QTemporaryDir dir;
    m_folder.dir = dir.path();
    path.replace(QLatin1Char('@'), dir.path());
    const bool absent = ini == "-" || ini.isEmpty(), opens = archive == QLatin1String("good");
    if (ini != "-")
        writeFile(dir.filePath(QStringLiteral("ZELVARO.INI")), ini.replace('@', dir.path().toUtf8()));
    sqlite3 *db = nullptr;
    if (archive == QLatin1String("text")) {
        writeFile(path, QByteArray("questo non è un archivio\n").repeated(200));
    } else if (archive == QLatin1String("jet")) {
        writeFile(path, QByteArray(4, '\0') + "Standard Jet DB" + QByteArray(2048, '\0'));
    } else if (!archive.isEmpty()) {
        QCOMPARE(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
        QByteArray sql = archive == QLatin1String("notable") ? "CREATE TABLE ALTRO (X TEXT)" : kCreateMovMag;
        if (archive == QLatin1String("nocolumn"))
            sql.replace(",\n  NOTE TEXT", "");
        if (archive == QLatin1String("locked"))
            sql += "; BEGIN EXCLUSIVE";
        QCOMPARE(sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    }

    m_fakes->messages.expectOk(2);
    const StartedProgram program = runMain();

    QStringList boxes;
    if (absent)
        boxes << kAbsent;
    if (!opens) { // the same opening done directly gives the number and cause to quote
        ArchiveError direct;
        QVERIFY(!Archive::open(path, &direct));
        QVERIFY(direct.code > 0);
        boxes << QStringLiteral("ERRORE IN APERTURA DATABASE !!!\r\r ") + QString::number(direct.code) +
                     QStringLiteral(" - ") + direct.text + QStringLiteral("\r\r") + path;
    }
    sqlite3_close(db);
    QCOMPARE(m_fakes->messages.texts(), boxes);
    for (const FakeMessageBox::Shown &box : m_fakes->messages.shown) {
        QCOMPARE(box.icon, box.text == kAbsent ? Icon::None : Icon::Stop);
        QCOMPARE(box.beepsBefore, 1);
        QVERIFY(box.title.isEmpty() && !box.systemModal);
    }
    QCOMPARE(program.archivePath, path);
    QCOMPARE(QFile::exists(path), !archive.isEmpty()); // a missing archive is never created
    QCOMPARE(program.running(), opens);
    QCOMPARE(m_made, int(opens));
    QCOMPARE(m_fakes->end.count, int(!opens));
    if (opens) {
        QVERIFY(program.archive->isOpen() && program.mainWindow->isVisible());
        QCOMPARE(m_fakes->pointer.history, (QList<bool>{true, false}));
    }
}

void TestShell::secondCopyRefusedFirst()
{
    m_instance.another = true;
    m_fakes->messages.expectOk();
    const StartedProgram program = runMain();

    QCOMPARE(m_folder.asked, 0); // neither ZELVARO.INI nor the archive was looked for
    QVERIFY(!program.archive && !program.running());
    QCOMPARE(m_fakes->end.count, 1);
    QCOMPARE(m_fakes->messages.texts(), QStringList{QStringLiteral("Applicazione già in uso !")});
    const FakeMessageBox::Shown &box = m_fakes->messages.shown.first();
    QVERIFY(box.title == QStringLiteral("ERRORE GENERALE") && box.icon == Icon::Stop && box.systemModal);
}

void TestShell::instanceGuard()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("zelvaro.lock"));
    QByteArray content;
    {
        LockFileInstanceGuard first(path);
        QVERIFY(!first.anotherCopyRunning());
        QVERIFY(!first.anotherCopyRunning()); // asking again: a copy never counts itself
        QVERIFY(LockFileInstanceGuard(path).anotherCopyRunning());
        QFile lock(path); // the refused copy left the running copy's lock alone
        QVERIFY(lock.open(QIODevice::ReadOnly));
        content = lock.readAll();
    }
    QProcess gone;
    gone.start(QStringLiteral("true"), {});
    QVERIFY(gone.waitForStarted());
    const qint64 deadPid = gone.processId();
    QVERIFY(gone.waitForFinished());
    writeFile(path, QByteArray::number(deadPid) + content.mid(content.indexOf('\n')));
    QVERIFY(!LockFileInstanceGuard(path).anotherCopyRunning()); // a crashed copy's stale lock
    QVERIFY(!LockFileInstanceGuard(dir.filePath("nessuna/x.lock")).anotherCopyRunning()); // no lock possible
}

void TestShell::errorReport_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("no error: nothing shown") << 0 << QStringList();
    QTest::newRow("positive: leading blank") << 94 << QStringList{"Errore  94 - testo\r\r"};
    QTest::newRow("negative: minus sign") << -5 << QStringList{"Errore -5 - testo\r\r"};
}

void TestShell::errorReport()
{
    QFETCH(int, number);
    QFETCH(QStringList, shown);

    PendingError pending{number, QStringLiteral("testo")};
    m_fakes->messages.expectOk(2);
    SEGNALA_ERRORE(pending, m_fakes->messages);
    SEGNALA_ERRORE(pending, m_fakes->messages); // cleared: the second call shows nothing
    QCOMPARE(m_fakes->messages.texts(), shown);
    QCOMPARE(pending.number, 0);
    for (const FakeMessageBox::Shown &box : m_fakes->messages.shown)
        QVERIFY(box.icon == Icon::None && box.title.isEmpty() &&
                box.buttons == MessageBoxService::Buttons::Ok);
}

void TestShell::qtServices()
{
    QCOMPARE(messageBoxDisplayText("a\rb\r\nc\r\r"), QStringLiteral("a\nb\nc\n\n"));
    const auto pointerShape = [] { // BitmapCursor: no override at all
        const QCursor *c = QGuiApplication::overrideCursor();
        return c ? c->shape() : Qt::BitmapCursor;
    };
    QGuiApplication::setOverrideCursor(Qt::CrossCursor); // someone else's pointer beneath
    {
        QtBusyPointer pointer;
        pointer.setBusy(false); // already normal: the pointer beneath stays
        pointer.setBusy(true);
        pointer.setBusy(true);
        QCOMPARE(pointerShape(), Qt::WaitCursor);
        pointer.setBusy(false); // a setting, not a stack
        QCOMPARE(pointerShape(), Qt::CrossCursor);
        pointer.setBusy(true); // the destructor puts it back to normal
    }
    QCOMPARE(pointerShape(), Qt::CrossCursor);
    QGuiApplication::restoreOverrideCursor();
}

void TestShell::mainWindow_data()
{
    QTest::addColumn<QString>("steps"); // Z "Zelvaro", C close Form2, D deferred deletions, F "Fine", X close
    QTest::addColumn<int>("made");
    QTest::addColumn<bool>("stillOpen");          // Form2 and the archive
    QTest::addColumn<QList<bool>>("childCloses"); // archive open at each close of Form2
    QTest::addColumn<int>("ends");
    QTest::newRow("Zelvaro again activates the one child") << "Z" << 1 << true << QList<bool>{} << 0;
    QTest::newRow("close and reopen reloads") << "CZ" << 2 << true << QList<bool>{true} << 0;
    QTest::newRow("old window deleted after reopen") << "CZD" << 2 << true << QList<bool>{true} << 0;
    QTest::newRow("Fine ends, archive left open") << "F" << 1 << true << QList<bool>{} << 1;
    QTest::newRow("closing the window: Form2, then the archive")
        << "X" << 1 << false << QList<bool>{true} << 1;
}

void TestShell::mainWindow()
{
    QFETCH(QString, steps);
    QFETCH(int, made);
    QFETCH(bool, stillOpen);
    QFETCH(QList<bool>, childCloses);
    QFETCH(int, ends);

    TempArchive temp;
    ArchiveError error;
    const std::unique_ptr<Archive> archive = Archive::open(temp.path(), &error);
    QVERIFY2(archive, qPrintable(error.text));
    MDIForm1 w(*archive, m_fakes->services(), [&](QWidget *parent) { return m_makeForm2(*archive, parent); });
    w.show();
    QMdiSubWindow *other = w.mdiArea()->addSubWindow(new QWidget);
    other->show();
    w.mdiArea()->setActiveSubWindow(other);
    for (const char step : steps.toLatin1()) {
        if (step == 'Z')
            w.findChild<QAction *>(QStringLiteral("MENU0102"))->trigger();
        else if (step == 'C')
            QVERIFY(w.form2Window()->close());
        else if (step == 'D')
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        else if (step == 'F')
            w.findChild<QAction *>(QStringLiteral("MENU0199"))->trigger();
        else
            QVERIFY(w.close());
    }

    QCOMPARE(m_made, made);
    QCOMPARE(w.isForm2Open(), stillOpen);
    QCOMPARE(g_archiveOpenAtChildClose, childCloses);
    QCOMPARE(archive->isOpen(), stillOpen);
    QCOMPARE(m_fakes->end.count, ends);
    if (steps.contains(QLatin1Char('Z')))
        QCOMPARE(w.mdiArea()->currentSubWindow(), w.form2Window());
}

void TestShell::summaryMenu()
{
    TempArchive temp;
    ArchiveError error;
    const std::unique_ptr<Archive> archive = Archive::open(temp.path(), &error);
    MDIForm1 w(*archive, m_fakes->services(), [&](QWidget *parent) { return m_makeForm2(*archive, parent); });
    auto *riepilogo = w.findChild<QAction *>(QStringLiteral("MENU0103"));
    // Between "Zelvaro" and "Fine", disabled until the program hands over the window's factory.
    QCOMPARE(w.findChild<QMenu *>(QStringLiteral("MENU01"))->actions().indexOf(riepilogo), 1);
    QVERIFY(riepilogo->text() == QStringLiteral("Riepilogo ore") && !riepilogo->isEnabled());
    int made = 0;
    w.setSummaryWindowFactory([&](QWidget *parent) { return ++made, new QWidget(parent); });
    riepilogo->trigger();
    w.mdiArea()->setActiveSubWindow(w.form2Window());
    riepilogo->trigger(); // brings the one window forward
    QCOMPARE(w.mdiArea()->currentSubWindow(), w.summaryWindow());
    QVERIFY(w.summaryWindow()->close());
    riepilogo->trigger();
    QCOMPARE(made, 2);
}

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
