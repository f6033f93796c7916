#include "Accessibility.h"
#include "Archive.h"
#include "ConfigurationFile.h"
#include "ErrorReport.h"
#include "Fakes.h"
#include "LockFileInstanceGuard.h"
#include "MDIForm1.h"
#include "QtServices.h"
#include "Startup.h"
#include "TempArchive.h"

#include <QCloseEvent>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
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
    ChildStandIn(Archive &a, QWidget *parent) : QWidget(parent), archive(a)
    {
        setWindowTitle(QStringLiteral("Zelvaro"));
    }
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
    void commandLine_data();
    void commandLine();
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
    QTest::addColumn<QByteArray>("ini");     // "-": no ZELVARO.INI; '@' stands for the program folder
    QTest::addColumn<QByteArray>("userIni"); // the per-user ZELVARO.INI, the same way
    QTest::addColumn<QString>("path");       // the archive path start-up must use
    QTest::addColumn<QString>("archive");    // what lies at that path: nothing, or a kind of file
    // The boxes in order: A "asssente", O opening failure, N first start with a new archive,
    // U first start with the archive already there, F first start failed, L line too long
    QTest::addColumn<QString>("boxes");

    const QString def = QStringLiteral("@/ZELVARO_97.mdb"), at = QStringLiteral("@/a.mdb"), none;
    const QString user = QStringLiteral("@/data/zelvaro/ZELVARO_97.mdb");
    const QByteArray ini("@/a.mdb\r\n"), no("-"), longLine = "/" + QByteArray(kMaxArchivePathBytes - 1, 'x');
    // clang-format off
    QTest::newRow("INI missing, archive beside the program") << no << no << def << "good" << "A";
    QTest::newRow("INI empty: default path") << QByteArray() << no << def << none << "AO";
    QTest::newRow("empty first line: empty path")
        << QByteArray("\r\n@/a.mdb\r\n") << no << none << none << "O";
    QTest::newRow("two lines: the first")
        << QByteArray("/d/primo.mdb\n/d/secondo.mdb\n") << no << "/d/primo.mdb" << none << "O";
    QTest::newRow("CRLF")
        << QByteArray("C:\\DATI\\ORE.mdb\r\nx\r\n") << no << "C:\\DATI\\ORE.mdb" << none << "O";
    QTest::newRow("CR only") << QByteArray("/d/cr.mdb\r/d/dopo.mdb") << no << "/d/cr.mdb" << none << "O";
    QTest::newRow("blanks kept")
        << QByteArray("  /d/con spazi.mdb  \r\n") << no << "  /d/con spazi.mdb  " << none << "O";
    QTest::newRow("Windows-1252 bytes") << QByteArray("C:\\Contabilit\xe0\\Ore \x80 \x93x\x94.mdb\r\n") << no
                                        << QStringLiteral("C:\\Contabilità\\Ore € “x”.mdb") << none << "O";
    QTest::newRow("UTF-8") << QByteArray("/d/Contabilit\xc3\xa0/\xe2\x82\xac.mdb\n") << no
                           << QStringLiteral("/d/Contabilità/€.mdb") << none << "O";
    QTest::newRow("fails: missing file") << ini << no << at << none << "O";
    QTest::newRow("fails: not SQLite") << ini << no << at << "text" << "O";
    QTest::newRow("fails: Access/Jet file") << ini << no << at << "jet" << "O";
    QTest::newRow("fails: no MOV_MAG") << ini << no << at << "notable" << "O";
    QTest::newRow("fails: MOV_MAG lacks NOTE") << ini << no << at << "nocolumn" << "O";
    QTest::newRow("fails: locked by another program") << ini << no << at << "locked" << "O";
    QTest::newRow("opens: path from INI") << ini << no << at << "good" << "";
    QTest::newRow("INI of the program folder before the user's")
        << ini << QByteArray("@/b.mdb") << at << "good" << "";
    QTest::newRow("archive beside the program before the user's INI")
        << no << QByteArray("@/b.mdb") << def << "good" << "A";
    QTest::newRow("per-user INI") << no << QByteArray("@/b.mdb\r\n") << "@/b.mdb" << "good" << "";
    QTest::newRow("per-user INI empty: per-user archive") << no << QByteArray() << user << none << "AO";
    QTest::newRow("first start: archive and INI made") << no << no << user << none << "N";
    QTest::newRow("first start: archive there is kept") << no << no << user << "good" << "U";
    QTest::newRow("first start: data folder not writable") << no << no << user << "blocked" << "F";
    QTest::newRow("line of the longest path is read")
        << longLine << no << QString::fromLatin1(longLine) << none << "O";
    QTest::newRow("longer line: ends at once") << longLine + 'x' << no << none << none << "L";
    QTest::newRow("longer per-user line, UTF-8 cut: ends at once")
        << no << "\xc3\xa0" + QByteArray(4093, 'x') + "\xc3\xa0x" << none << none << "L";
    // clang-format on
}

void TestShell::startup()
{
    QFETCH(QByteArray, ini);
    QFETCH(QByteArray, userIni);
    QFETCH(QString, path);
    QFETCH(QString, archive);
    QFETCH(QString, boxes);

    QTemporaryDir dir;
    m_folder.dir = dir.path();
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("data")).toUtf8());
    const QString userIniPath = dir.filePath(QStringLiteral("config/zelvaro/ZELVARO.INI"));
    path.replace(QLatin1Char('@'), dir.path());
    const bool opens = !boxes.contains(QRegularExpression(QStringLiteral("[OFL]")));
    if (ini != "-")
        writeFile(dir.filePath(QStringLiteral("ZELVARO.INI")), ini.replace('@', dir.path().toUtf8()));
    if (userIni != "-") {
        QVERIFY(QDir().mkpath(QFileInfo(userIniPath).path()));
        writeFile(userIniPath, userIni.replace('@', dir.path().toUtf8()));
    }
    const bool made = !archive.isEmpty() && archive != QLatin1String("blocked"); // a file lies at `path`
    if (made)
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    sqlite3 *db = nullptr;
    if (archive == QLatin1String("text")) {
        writeFile(path, QByteArray("questo non è un archivio\n").repeated(200));
    } else if (archive == QLatin1String("jet")) {
        writeFile(path, QByteArray(4, '\0') + "Standard Jet DB" + QByteArray(2048, '\0'));
    } else if (archive == QLatin1String("blocked")) { // a file where the data folder should be
        QVERIFY(QDir(dir.filePath(QStringLiteral("data"))).removeRecursively());
        writeFile(dir.filePath(QStringLiteral("data")), "x");
    } else if (!archive.isEmpty()) {
        QCOMPARE(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
        QByteArray sql = archive == QLatin1String("notable") ? "CREATE TABLE ALTRO (X TEXT)" : kCreateMovMag;
        if (archive == QLatin1String("nocolumn"))
            sql.replace(",\n  NOTE TEXT", "");
        if (archive == QLatin1String("locked"))
            sql += "; BEGIN EXCLUSIVE";
        if (archive == QLatin1String("good")) // tells this archive from a new empty one
            sql += "; INSERT INTO MOV_MAG (NUM_MOV) VALUES (7)";
        QCOMPARE(sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    }

    m_fakes->messages.expectOk(2);
    const StartedProgram program = runMain();

    QStringList expected;
    const QString firstStart = QStringLiteral("\r\r") + path +
                               QStringLiteral("\r\rIl file di configurazione ") + userIniPath +
                               QStringLiteral(" indica questo archivio.");
    for (const QChar box : boxes) {
        if (box == u'A')
            expected << kAbsent;
        if (box == u'N')
            expected << QStringLiteral("Primo avvio di Zelvaro: è stato creato l'archivio delle ore") +
                            firstStart;
        if (box == u'U')
            expected << QStringLiteral(
                            "Primo avvio di Zelvaro: viene usato l'archivio delle ore già presente") +
                            firstStart;
        if (box == u'O') { // the same opening done directly gives the number and cause to quote
            ArchiveError direct;
            QVERIFY(!Archive::open(path, &direct));
            QVERIFY(direct.code > 0);
            expected << QStringLiteral("ERRORE IN APERTURA DATABASE !!!\r\r ") +
                            QString::number(direct.code) + QStringLiteral(" - ") + direct.text +
                            QStringLiteral("\r\r") + path;
        }
    }
    sqlite3_close(db);
    const QStringList shown = m_fakes->messages.texts();
    if (boxes.endsWith(u'F'))
        QVERIFY(shown.value(0).startsWith(
            QStringLiteral("Primo avvio: impossibile creare la cartella dei dati\r\r") +
            QFileInfo(path).path() +
            QStringLiteral("\r\runa parte del percorso è "
                           "un file, non una cartella (")));
    else if (boxes.endsWith(u'L'))
        QVERIFY(shown.value(0).startsWith(
                    "ERRORE IN APERTURA DATABASE !!!\r\r 14 - Il percorso dell'archivio è più "
                    "lungo di 4096 byte") &&
                shown.value(0).endsWith(u'…') && shown.value(0).size() < 300 &&
                !shown.value(0).contains(u'\xc3'));
    else
        QCOMPARE(shown, expected);
    for (const FakeMessageBox::Shown &box : m_fakes->messages.shown) {
        const bool info = box.text.startsWith(QStringLiteral("Primo avvio di Zelvaro"));
        QCOMPARE(box.icon, box.text == kAbsent ? Icon::None : info ? Icon::Information : Icon::Stop);
        QCOMPARE(box.beepsBefore, int(!info));
        QVERIFY(box.title.isEmpty() && !box.systemModal);
    }
    QCOMPARE(program.archivePath, path);
    // The INI a new archive is written into: the program folder's as soon as the layout is portable.
    const bool portable = ini != "-" || QFileInfo::exists(dir.filePath(kDefaultArchiveFileName));
    QCOMPARE(program.configurationPath, portable ? dir.filePath(kConfigurationFileName) : userIniPath);
    // A missing archive is never created, except at first start.
    QCOMPARE(QFileInfo(path).isFile(), made || boxes == "N");
    QCOMPARE(program.running(), opens);
    QCOMPARE(m_made, int(opens));
    QCOMPARE(m_fakes->end.count, int(!opens));
    if (!opens)
        QCOMPARE(m_fakes->end.status, kStartupFailedStatus);
    if (opens) {
        QVERIFY(program.archive->isOpen() && program.mainWindow->isVisible());
        QCOMPARE(m_fakes->pointer.history, (QList<bool>{true, false}));
        std::optional<qint64> last;
        QVERIFY(!program.archive->lastNumber(&last));
        QCOMPARE(last, archive.isEmpty() ? std::nullopt : std::optional<qint64>(7));
    }
    if (boxes == "N" || boxes == "U") { // the per-user INI names the archive: no box next time
        QFile written(userIniPath);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), path.toUtf8() + '\n');
        const StartedProgram again = runMain();
        QVERIFY(again.running() && again.archivePath == path);
        QCOMPARE(m_fakes->messages.shown.size(), 1);
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
    QCOMPARE(m_fakes->end.status, kStartupFailedStatus);
    QCOMPARE(m_fakes->messages.texts(), QStringList{QStringLiteral("Applicazione già in uso !")});
    const FakeMessageBox::Shown &box = m_fakes->messages.shown.first();
    QVERIFY(box.title == QStringLiteral("ERRORE GENERALE") && box.icon == Icon::Stop && box.systemModal);
}

void TestShell::commandLine_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QByteArray>("output"); // the beginning of standard output
    const QByteArray version = ZELVARO_VERSION "\n";
    QTest::newRow("zelvaro --version") << ZELVARO_PROGRAM << "--version"
                                       << "zelvaro " + version;
    QTest::newRow("zelvaro --help") << ZELVARO_PROGRAM << "--help"
                                    << QByteArray("Uso: zelvaro [--help | --version]\n");
    QTest::newRow("zelvaro -h") << ZELVARO_PROGRAM << "-h" << QByteArray("Uso: zelvaro ");
    QTest::newRow("zelvaro-archivio --version") << ZELVARO_ARCHIVIO_PROGRAM << "--version"
                                                << "zelvaro-archivio " + version;
}

// Answered without a window, a lock or any file: a copy of the program in a folder of its own,
// with every per-user folder inside it, leaves that folder as it was.
void TestShell::commandLine()
{
    QFETCH(QString, program);
    QFETCH(QString, argument);
    QFETCH(QByteArray, output);

    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("prog/") + QFileInfo(program).fileName());
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("prog"))) && QFile::copy(program, copy));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"})
        environment.insert(QString::fromLatin1(name), dir.filePath(QString::fromLatin1(name)));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("nessuna")); // a window would fail
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(copy, {argument});
    QVERIFY(process.waitForFinished());
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    QVERIFY(process.readAllStandardOutput().startsWith(output));
    QStringList files;
    for (QDirIterator it(dir.path(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
         it.hasNext();)
        files << it.next().mid(dir.path().size());
    QCOMPARE(files, QStringList{QStringLiteral("/prog")} << copy.mid(dir.path().size()));
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
        pointer.setBusy(true);
        QtProgressService later; // shown after a second: a short piece of work never sees it
        QVERIFY(later.begin(QStringLiteral("Breve"))->step(1, 2) && !QApplication::activeModalWidget());
        std::unique_ptr<Progress> progress = QtProgressService(0).begin(QStringLiteral("Stampa in corso…"));
        QVERIFY(progress->step(1234, 5000));
        auto *dialog = qobject_cast<QProgressDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog && dialog->labelText() == QStringLiteral("Stampa in corso…\nRighe: 1.234 di 5.000"));
        QCOMPARE(unnamedControls(dialog), QStringList());
        QCOMPARE(pointerShape(), Qt::ArrowCursor); // over the dialog; the busy pointer stays beneath
        QTest::mouseClick(dialog->findChild<QPushButton *>(), Qt::LeftButton);
        QTest::qWait(150); // the next update hears the click
        QVERIFY(!progress->step(1300, 5000) && !progress->step(1400, 5000));
        progress.reset();
        QCOMPARE(pointerShape(), Qt::WaitCursor);
        pointer.setBusy(false);
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
    other->setWindowTitle(QStringLiteral("Altra"));
    other->systemMenu()->setAccessibleName(QStringLiteral("Menu di Altra"));
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

    QCOMPARE(unnamedControls(&w).join(QStringLiteral(", ")), QString());
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
    QStringList items; // "-" a separator, "(off)" a disabled item
    const QList<QAction *> actions = w.findChild<QMenu *>(QStringLiteral("MENU01"))->actions();
    for (QAction *action : actions)
        items << (action->isSeparator() ? QStringLiteral("-")
                                        : action->objectName() + QLatin1Char(' ') + action->text() +
                                              (action->isEnabled() ? QString() : QStringLiteral(" (off)")));
    // The tools are disabled until the program hands over their commands.
    QCOMPARE(items, QStringList({"MENU0102 Zelvaro", "MENU0103 Riepilogo ore (off)", "-",
                                 "MENU0104 Esporta in CSV… (off)", "MENU0105 Copia di sicurezza… (off)",
                                 "MENU0106 Importa archivio Access… (off)", "-", "MENU0199 Fine"}));
    QString ran;
    w.setToolCommands({[&] { ran += u'E'; }, [&] { ran += u'C'; }, [&] { ran += u'I'; }});
    for (int i : {3, 4, 5})
        actions.at(i)->trigger();
    QCOMPARE(ran, QStringLiteral("ECI"));
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
