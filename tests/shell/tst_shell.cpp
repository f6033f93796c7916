#include "Accessibility.h"
#include "Archive.h"
#include "ConfigurationFile.h"
#include "Fakes.h"
#include "Files.h"
#include "LockFileInstanceGuard.h"
#include "MDIForm1.h"
#include "QtServices.h"
#include "Startup.h"
#include "TempArchive.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

using namespace zelvaro;
using namespace zelvaro::test;
using Icon = MessageBoxService::Icon;
using Files = QMap<QString, QByteArray>;

namespace {

// A box as the start-up table states it: its icon, the beeps just before it, its text.
QString box(Icon icon, int beeps, const QString &text)
{
    return QStringLiteral("%1 %2 ").arg(int(icon)).arg(beeps) + text;
}

QString opening(const QString &cause, const QString &path)
{
    return box(Icon::Stop, 1,
               QStringLiteral("ERRORE IN APERTURA DATABASE !!!\r\r 14 - ") + cause + "\r\r" + path);
}

QList<bool> g_archiveOpenAtChildClose;

// The permission bits of a file or folder.
int modeOf(const QString &path)
{
    struct stat status = {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? int(status.st_mode & 07777) : -1;
}

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
    void firstStartWritesIni();
    void secondCopyRefusedFirst();
    void withoutHome_data();
    void withoutHome();
    void leftoversRemovedAtStart_data();
    void leftoversRemovedAtStart();
    void commandLine_data();
    void commandLine();
    void instanceGuard();
    void qtServices();
    void italianQtTexts();
    void rememberedFolders();
    void mainWindow();

private:
    const HoursWindowFactory m_makeForm2 = [this](Archive &archive, QWidget *parent) -> QWidget * {
        ++m_made;
        return new ChildStandIn(archive, parent);
    };
    // The program folder is `at`, the per-user folders are its config/ and data/.
    void useFolders(const QString &at)
    {
        m_folder.folder = at;
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(at + QStringLiteral("/config")));
        qputenv("XDG_DATA_HOME", QFile::encodeName(at + QStringLiteral("/data")));
    }
    StartedProgram runMain()
    {
        return Main(StartupServices{m_fakes->services(), &m_instance, &m_folder}, m_makeForm2);
    }

    std::optional<FakeServices> m_fakes;
    FakeInstanceGuard m_instance;
    FakeProgramFolder m_folder;
    int m_made = 0;
};

void TestShell::init()
{
    m_fakes.emplace();
    m_instance.another = false;
    m_made = 0;
    g_archiveOpenAtChildClose.clear();
}

void TestShell::cleanup()
{
    QVERIFY2(m_fakes->messages.unexpected.isEmpty(), qPrintable(m_fakes->messages.unexpected.join(u'|')));
}

void TestShell::startup_data()
{
    // In every path, text and file content '@' stands for the temporary program folder.
    QTest::addColumn<Files>("files");           // in that folder, with their bytes
    QTest::addColumn<QStringList>("archives");  // archives made in that folder beforehand
    QTest::addColumn<QString>("path");          // the archive start-up uses
    QTest::addColumn<QString>("configuration"); // the ZELVARO.INI that decides it
    QTest::addColumn<QStringList>("boxes");     // as box() gives them
    QTest::addColumn<QList<int>>("ends");       // the exit statuses asked; none: the window is up

    const QString ini = QStringLiteral("ZELVARO.INI"), userIni = QStringLiteral("config/zelvaro/ZELVARO.INI");
    const QString portable = QStringLiteral("@/ZELVARO.INI"), beside = QStringLiteral("@/ZELVARO_97.mdb");
    const QString user = QStringLiteral("@/data/zelvaro/ZELVARO_97.mdb"), perUser = "@/" + userIni;
    const QString absent =
        box(Icon::None, 1, QStringLiteral("File di configurazione  ZELVARO.INI  asssente !!!"));
    const auto missing = [](const QString &path) {
        return opening(QStringLiteral("Il file dell'archivio non esiste"), path);
    };
    const auto firstStart = [&](const char *what) {
        return box(Icon::Information, 0,
                   QStringLiteral("Primo avvio di Zelvaro: ") + QString::fromUtf8(what) + "\r\r" + user +
                       "\r\rIl file di configurazione " + perUser + " indica questo archivio.");
    };
    const QByteArray longest = "/" + QByteArray(kMaxArchivePathBytes - 1, 'x');
    const QList<int> window, failed{kStartupFailedStatus};
    // clang-format off
    QTest::newRow("INI empty: asssente, the archive beside the program") << Files{{ini, ""}}
        << QStringList{"ZELVARO_97.mdb"} << beside << portable << QStringList{absent} << window;
    QTest::newRow("empty first line: empty path") << Files{{ini, "\r\n@/a.mdb\r\n"}} << QStringList{"a.mdb"}
        << "" << portable << QStringList{opening("Percorso dell'archivio non indicato", "")} << failed;
    const QString utf8 = QStringLiteral("/d/Contabilità/€.mdb");
    QTest::newRow("two lines, UTF-8: the first") << Files{{ini, utf8.toUtf8() + "\n/d/secondo.mdb\n"}}
        << QStringList() << utf8 << portable << QStringList{missing(utf8)} << failed;
    QTest::newRow("CR only, blanks kept") << Files{{ini, "  /d/con spazi.mdb  \r/d/dopo.mdb"}}
        << QStringList() << "  /d/con spazi.mdb  " << portable << QStringList{missing("  /d/con spazi.mdb  ")}
        << failed;
    const QString cp1252 = QStringLiteral("C:\\Contabilità\\Ore € “x”.mdb");
    QTest::newRow("Windows-1252 bytes, CRLF")
        << Files{{ini, "C:\\Contabilit\xe0\\Ore \x80 \x93x\x94.mdb\r\nx\r\n"}} << QStringList() << cp1252
        << portable << QStringList{missing(cp1252)} << failed;
    QTest::newRow("line of the longest path is read") << Files{{ini, longest}} << QStringList()
        << QString::fromLatin1(longest) << portable << QStringList{missing(QString::fromLatin1(longest))}
        << failed;
    QTest::newRow("INI of the program folder before the user's")
        << Files{{ini, "@/a.mdb\r\n"}, {userIni, "@/b.mdb"}} << QStringList{"a.mdb"} << "@/a.mdb" << portable
        << QStringList() << window;
    QTest::newRow("archive beside the program before the user's INI") << Files{{userIni, "@/b.mdb"}}
        << QStringList{"ZELVARO_97.mdb"} << beside << portable << QStringList{absent} << window;
    QTest::newRow("per-user INI") << Files{{userIni, "@/b.mdb\r\n"}} << QStringList{"b.mdb"} << "@/b.mdb"
        << perUser << QStringList() << window;
    QTest::newRow("per-user INI empty: asssente, the per-user archive") << Files{{userIni, ""}}
        << QStringList() << user << perUser << QStringList{absent, missing(user)} << failed;
    QTest::newRow("first start: archive and INI made") << Files() << QStringList() << user << perUser
        << QStringList{firstStart("è stato creato l'archivio delle ore")} << window;
    QTest::newRow("first start: the archive there is kept") << Files()
        << QStringList{"data/zelvaro/ZELVARO_97.mdb"} << user << perUser
        << QStringList{firstStart("viene usato l'archivio delle ore già presente")} << window;
    QTest::newRow("first start: a file where the data folder goes") << Files{{"data", "x"}} << QStringList()
        << user << perUser << QStringList{box(Icon::Stop, 1, "Primo avvio: impossibile creare la cartella "
           "dei dati\r\r@/data/zelvaro\r\runa parte del percorso è un file, non una cartella\r\rIl programma "
           "termina.")} << failed;
    QTest::newRow("per-user line past 4096 bytes, cut before a UTF-8 character: ends at once")
        << Files{{userIni, "\xc3\xa0" + QByteArray(4093, 'x') + "\xc3\xa0x"}} << QStringList() << ""
        << perUser << QStringList{opening("Il percorso dell'archivio è più lungo di 4096 byte: non può "
           "essere valido (prima riga di " + perUser + ")", "à" + QString(79, u'x') + "…")} << failed;
    // clang-format on
}

void TestShell::startup()
{
    QFETCH(Files, files);
    QFETCH(QStringList, archives);
    QFETCH(QString, path);
    QFETCH(QString, configuration);
    QFETCH(QStringList, boxes);
    QFETCH(QList<int>, ends);
    const QString portableIni = QStringLiteral("@/ZELVARO.INI");

    QTemporaryDir dir;
    const QString at = dir.path();
    useFolders(at);
    for (auto [name, bytes] : files.asKeyValueRange())
        QVERIFY(writeBytes(dir.filePath(name), bytes.replace('@', at.toUtf8())));
    for (const QString &name : archives)
        QVERIFY(QDir(at).mkpath(QFileInfo(name).path()) && !Archive::create(dir.filePath(name)).failed());

    m_fakes->messages.expectOk(2);
    const StartedProgram program = runMain();

    QStringList shown;
    for (const FakeMessageBox::Shown &b : m_fakes->messages.shown) {
        QVERIFY(b.title.isEmpty() && !b.systemModal);
        shown << box(b.icon, b.beepsBefore, b.text);
    }
    QCOMPARE(shown, boxes.replaceInStrings(QStringLiteral("@"), at));
    QCOMPARE(program.archivePath, path.replace('@', at));
    QCOMPARE(program.portable, configuration == portableIni);
    QCOMPARE(program.configurationPath, configuration.replace('@', at));
    QCOMPARE(m_fakes->end.statuses, ends);
    QCOMPARE(m_made, int(ends.isEmpty()));
    QCOMPARE(QFileInfo::exists(program.archivePath), ends.isEmpty()); // a failed start made no archive
}

// The per-user ZELVARO.INI of a first start names the new archive, so the next start finds it.
// Whatever the umask, the folders made are the user's alone, and so are the archive and the INI;
// a folder that was there keeps its mode.
void TestShell::firstStartWritesIni()
{
    QTemporaryDir dir;
    useFolders(dir.path());
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("data")) &&
            QFile::setPermissions(dir.filePath(QStringLiteral("data")),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                      QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther));
    m_fakes->messages.expectOk();
    const mode_t umaskBefore = ::umask(0);
    const StartedProgram program = runMain();
    ::umask(umaskBefore);
    QCOMPARE(readBytes(dir.filePath(QStringLiteral("config/zelvaro/ZELVARO.INI"))),
             program.archivePath.toUtf8() + '\n');
    QCOMPARE(m_fakes->pointer.history, (QList<bool>{true, false}));
    QStringList modes;
    for (const char *name : {"config", "config/zelvaro", "config/zelvaro/ZELVARO.INI", "data", "data/zelvaro",
                             "data/zelvaro/ZELVARO_97.mdb"})
        modes << QString::number(modeOf(dir.filePath(QString::fromLatin1(name))), 8);
    QCOMPARE(modes, QStringList({"700", "700", "600", "755", "700", "600"}));
}

// Before anything is looked for: a first start would show its box and make its files.
void TestShell::secondCopyRefusedFirst()
{
    QTemporaryDir dir;
    useFolders(dir.path());
    m_instance.another = true;
    m_fakes->messages.expectOk();
    runMain();

    QCOMPARE(folderEntries(dir.path()), QStringList());
    QCOMPARE(m_fakes->end.statuses, QList<int>{kStartupFailedStatus});
    QCOMPARE(m_fakes->messages.texts(), QStringList{QStringLiteral("Applicazione già in uso !")});
    const FakeMessageBox::Shown &box = m_fakes->messages.shown.first();
    QVERIFY(box.title == QStringLiteral("ERRORE GENERALE") && box.icon == Icon::Stop && box.systemModal);
}

void TestShell::withoutHome_data()
{
    QTest::addColumn<QByteArray>("home"); // null: unset
    QTest::addColumn<QString>("said");
    const QString unset = QStringLiteral("La variabile d'ambiente HOME non è impostata"),
                  end = QStringLiteral(": Zelvaro non sa dove tenere l'archivio, le impostazioni e le copie "
                                       "dell'utente.\r\rIl programma termina.");
    QTest::newRow("unset") << QByteArray() << unset + end;
    QTest::newRow("empty") << QByteArray("") << unset + end;
    QTest::newRow("relative")
        << QByteArray("casa")
        << "La variabile d'ambiente HOME vale «casa», che non è il percorso di una cartella" + end;
}

// Without HOME the per-user folders would be made at the root: start-up stops and makes nothing.
void TestShell::withoutHome()
{
    QFETCH(QByteArray, home);
    QFETCH(QString, said);
    QTemporaryDir dir;
    useFolders(dir.path());
    const QByteArray saved = qgetenv("HOME");
    if (home.isNull())
        qunsetenv("HOME");
    else
        qputenv("HOME", home);
    m_fakes->messages.expectOk();
    runMain();
    qputenv("HOME", saved);
    QCOMPARE(m_fakes->messages.texts(), QStringList{said});
    QCOMPARE(m_fakes->end.statuses, QList<int>{kStartupFailedStatus});
    QCOMPARE(folderEntries(dir.path()), QStringList());
}

void TestShell::leftoversRemovedAtStart_data()
{
    QTest::addColumn<QString>("file"); // in the per-user data folder
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("age"); // seconds unchanged at the clock's time
    QTest::addColumn<bool>("open");
    QTest::addColumn<bool>("removed");
    const QByteArray sqlite("SQLite format 3\0...", 19);
    const int days2 = 2 * 24 * 60 * 60, minutes10 = 10 * 60;
    // clang-format off
    QTest::newRow("a copy's hidden file") << "copie/.ZELVARO_97-20040303.mdb.AbC123" << sqlite << days2 << false << true;
    QTest::newRow("its journal") << "copie/.ZELVARO_97-20040303.mdb.AbC123-journal" << QByteArray("j") << days2 << false << true;
    QTest::newRow("in a series, its writer gone") << "copie/ZELVARO_97-d57f41ec/.ZELVARO_97-20040304.mdb.x7Yz01"
        << sqlite << minutes10 << false << true;
    QTest::newRow("an import's, not begun") << ".NUOVO.mdb.k9Lm2P" << QByteArray() << days2 << false << true;
    QTest::newRow("written a moment ago") << "copie/ZELVARO_97-d57f41ec/.ZELVARO_97-20040305.mdb.Qr5tU6"
        << sqlite << 30 << false << false;
    QTest::newRow("open in a process") << "copie/.ZELVARO_97-20040305.mdb.Hk3Jq9" << sqlite << days2 << true << false;
    QTest::newRow("not an archive") << ".appunti.txt.Ab12Cd" << QByteArray("testo") << days2 << false << false;
    QTest::newRow("a copy") << "copie/ZELVARO_97-20040303.mdb" << sqlite << days2 << false << false;
    QTest::newRow("five letters: not a temporary name") << "copie/.ZELVARO_97.mdb.AbCdE" << sqlite << days2 << false
        << false;
    // clang-format on
}

// What a program killed while it wrote a daily copy or an import left: removed at start once its
// writer is gone, and nothing else.
void TestShell::leftoversRemovedAtStart()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, bytes);
    QFETCH(int, age);
    QFETCH(bool, open);
    QFETCH(bool, removed);
    QTemporaryDir dir;
    useFolders(dir.path());
    QVERIFY(writeBytes(dir.filePath(QStringLiteral("config/zelvaro/ZELVARO.INI")),
                       dir.filePath("b.mdb").toUtf8()));
    QVERIFY(!Archive::create(dir.filePath(QStringLiteral("b.mdb"))));
    const QString path = dir.filePath(QStringLiteral("data/zelvaro/") + file);
    QVERIFY(writeBytes(path, bytes));
    QFile writer(path);
    QVERIFY(!open || writer.open(QIODevice::ReadWrite));
    const timespec times[2] = {{0, UTIME_OMIT}, {m_fakes->clock.now().toSecsSinceEpoch() - age, 0}};
    QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0);
    const StartedProgram program = runMain();
    QVERIFY(program.running());
    QCOMPARE(QFileInfo::exists(path), !removed);
}

void TestShell::commandLine_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("output"); // the beginning of standard output
    QTest::addColumn<QByteArray>("errors"); // the beginning of standard error
    const QByteArray version =
        " " ZELVARO_VERSION "\nCopyright (C) 2026 Zelvaro maintainers\nLicenza GPLv3+: GNU GPL "
        "versione 3 o successiva <https://gnu.org/licenses/gpl.html>.\n";
    const QByteArray usage = "Uso: zelvaro [--help | --version] [OPZIONI DI QT]\n";
    // clang-format off
    QTest::newRow("zelvaro --version") << ZELVARO_PROGRAM << QStringList{"--version"} << 0 << "zelvaro" + version
                                       << QByteArray();
    QTest::newRow("zelvaro-archivio --version") << ZELVARO_ARCHIVIO_PROGRAM << QStringList{"--version"} << 0
                                                << "zelvaro-archivio" + version << QByteArray();
    QTest::newRow("zelvaro --help") << ZELVARO_PROGRAM << QStringList{"--help"} << 0 << usage << QByteArray();
    // Qt takes its own options first (without -platform this one could not start at all).
    QTest::newRow("an unknown option after Qt's own")
        << ZELVARO_PROGRAM << QStringList{"-platform", "offscreen", "-style", "Fusion", "--sconosciuta"} << 2
        << QByteArray() << "zelvaro: opzione sconosciuta «--sconosciuta»\n" + usage;
    QTest::newRow("an argument") << ZELVARO_PROGRAM << QStringList{"-platform", "offscreen", "ore.mdb"} << 2
                                 << QByteArray() << "zelvaro: argomento inatteso «ore.mdb»\n" + usage;
    // clang-format on
}

// Answered without a window, a lock or any file: a copy of the program in a folder of its own,
// with every per-user folder inside it, leaves that folder as it was.
void TestShell::commandLine()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QByteArray, output);
    QFETCH(QByteArray, errors);

    QTemporaryDir dir;
    const QString name = QFileInfo(program).fileName();
    // A session's runtime folder is there: Qt makes one when it starts, should it be missing.
    const QString runtime = dir.filePath(QStringLiteral("XDG_RUNTIME_DIR"));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("prog")) && QDir(dir.path()).mkdir(runtime) &&
            QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner) &&
            QFile::copy(program, dir.filePath("prog/" + name)));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *variable : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"})
        environment.insert(QString::fromLatin1(variable), dir.filePath(QString::fromLatin1(variable)));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("nessuna")); // a window would fail
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(dir.filePath("prog/" + name), arguments);
    QVERIFY(process.waitForFinished() && process.exitStatus() == QProcess::NormalExit);
    const QByteArray printed = process.readAllStandardOutput(), said = process.readAllStandardError();
    QVERIFY2(process.exitCode() == status && printed.startsWith(output) && said.indexOf(errors) >= 0,
             printed + said);
    QCOMPARE(folderEntries(dir.path()) + folderEntries(dir.filePath(QStringLiteral("prog"))) +
                 folderEntries(runtime),
             (QStringList{QStringLiteral("prog"), QStringLiteral("XDG_RUNTIME_DIR"), name}));
}

void TestShell::instanceGuard()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("zelvaro.lock"));
    QByteArray content;
    {
        LockFileInstanceGuard first(path);
        QVERIFY(!first.anotherCopyRunning());
        QVERIFY(LockFileInstanceGuard(path).anotherCopyRunning());
        content = readBytes(path);
    }
    QProcess gone;
    gone.start(QStringLiteral("true"), {});
    QVERIFY(gone.waitForStarted());
    const qint64 deadPid = gone.processId();
    QVERIFY(gone.waitForFinished());
    QVERIFY(writeBytes(path, QByteArray::number(deadPid) + content.mid(content.indexOf('\n'))));
    QVERIFY(!LockFileInstanceGuard(path).anotherCopyRunning()); // a crashed copy's stale lock
    QVERIFY(!LockFileInstanceGuard(dir.filePath("nessuna/x.lock")).anotherCopyRunning()); // no lock possible
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
        std::unique_ptr<Progress> progress = QtProgressService().begin(QStringLiteral("Stampa in corso…"));
        QVERIFY(progress->step(1, 5000) && !QApplication::activeModalWidget()); // a short work never sees it
        QTest::qWait(1000);
        QVERIFY(progress->step(1234, 5000));
        auto *dialog = qobject_cast<QProgressDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog && dialog->labelText() == QStringLiteral("Stampa in corso…\nRighe: 1.234 di 5.000"));
        QCOMPARE(unnamedControls(dialog), QStringList());
        QCOMPARE(pointerShape(), Qt::ArrowCursor); // over the dialog; the busy pointer stays beneath
        QPushButton *cancel = dialog->findChild<QPushButton *>();
        QCOMPARE(cancel->text(), QStringLiteral("Annulla"));
        QTest::mouseClick(cancel, Qt::LeftButton);
        QTest::qWait(150); // the next update hears the click
        QVERIFY(!progress->step(1300, 5000) && !progress->step(1400, 5000));
        progress.reset();
        QCOMPARE(pointerShape(), Qt::WaitCursor);
        pointer.setBusy(true); // a setting, not a stack
        pointer.setBusy(false);
        QCOMPARE(pointerShape(), Qt::CrossCursor);
        pointer.setBusy(true); // the destructor puts it back to normal
    }
    QCOMPARE(pointerShape(), Qt::CrossCursor);
    QGuiApplication::restoreOverrideCursor();
}

// Qt's own texts are Italian whatever the system's language (the tests run in the C locale): the
// buttons of a question, Qt's own file dialog, a text box's menu, a child window's menu.
void TestShell::italianQtTexts()
{
    QVERIFY(installItalianQtTexts());
    QStringList texts;
    QTimer::singleShot(0, this, [&texts] {
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (auto *box = qobject_cast<QMessageBox *>(window); box && box->isVisible()) {
                texts << box->button(QMessageBox::Yes)->text() << box->button(QMessageBox::No)->text();
                box->button(QMessageBox::No)->click();
            }
        }
    });
    QCOMPARE(
        QtMessageBox().show(QStringLiteral("Confermi?"), {}, Icon::None, MessageBoxService::Buttons::YesNo),
        MessageBoxService::Answer::No);

    QFileDialog dialog(nullptr, QStringLiteral("Esporta"), QDir::tempPath());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.show();
    for (const char *label : {"lookInLabel", "fileNameLabel", "fileTypeLabel"})
        texts << dialog.findChild<QLabel *>(QString::fromLatin1(label))->text();
    for (QAbstractButton *button : dialog.findChild<QDialogButtonBox *>()->buttons())
        texts << button->text();
    // The question before a file is replaced.
    texts << QCoreApplication::translate("QFileDialog", "%1 already exists.\nDo you want to replace it?");

    QLineEdit box;
    const std::unique_ptr<QMenu> menu(box.createStandardContextMenu());
    QMdiSubWindow child;
    for (QAction *action : menu->actions() + child.systemMenu()->actions()) {
        if (!action->isSeparator())
            texts << action->text().section(QLatin1Char('\t'), 0, 0);
    }
    QCOMPARE(texts, QStringList({"&Sì",
                                 "&No",
                                 "Cerca in:",
                                 "&Nome del file:",
                                 "File di tipo:",
                                 "&Salva",
                                 "Annulla",
                                 "%1 esiste già.\nVuoi sostituirlo?",
                                 "Ann&ulla",
                                 "&Rifai",
                                 "&Taglia",
                                 "&Copia",
                                 "&Incolla",
                                 "Elimina",
                                 "Seleziona tutto",
                                 "&Ripristina",
                                 "&Sposta",
                                 "Dimen&sione",
                                 "Mi&nimizza",
                                 "Ma&ssimizza",
                                 "Sempre in &primo piano",
                                 "&Chiudi"}));
}

// Each dialog starts where it chose last, per user, in a file of its own beside ZELVARO.INI and
// private; else in the documents folder, or the home folder when there is none.
void TestShell::rememberedFolders()
{
    QTemporaryDir dir;
    useFolders(dir.path());
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(dir.path()));
    const QString homeFolder = documentsFolder();
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Documents")) &&
            QDir(dir.path()).mkdir(QStringLiteral("ore")));
    const QString documents = documentsFolder();
    qputenv("HOME", home);
    QCOMPARE(homeFolder + u'|' + documents, dir.path() + u'|' + dir.filePath(QStringLiteral("Documents")));
    const QString settings = QtRememberedFolders::defaultSettingsPath();
    QCOMPARE(settings, dir.filePath(QStringLiteral("config/zelvaro/cartelle.conf")));

    const mode_t umaskBefore = ::umask(0);
    {
        QtRememberedFolders folders(settings, documents);
        QCOMPARE(folders.folderFor(QStringLiteral("esporta-csv")), documents);
        folders.remember(QStringLiteral("esporta-csv"), dir.filePath(QStringLiteral("ore/ore.csv")));
    }
    ::umask(umaskBefore);
    QtRememberedFolders again(settings, documents);
    QCOMPARE(again.folderFor(QStringLiteral("esporta-csv")), dir.filePath(QStringLiteral("ore")));
    QCOMPARE(again.folderFor(QStringLiteral("copia-di-sicurezza")), documents);
    QCOMPARE(folderEntries(dir.filePath(QStringLiteral("config/zelvaro"))),
             QStringList{QStringLiteral("cartelle.conf")});
    QCOMPARE(QStringList({QString::number(modeOf(dir.filePath(QStringLiteral("config"))), 8),
                          QString::number(modeOf(dir.filePath(QStringLiteral("config/zelvaro"))), 8),
                          QString::number(modeOf(settings), 8)}),
             QStringList({"700", "700", "600"}));
    QVERIFY(QDir(dir.filePath(QStringLiteral("ore"))).removeRecursively());
    QCOMPARE(again.folderFor(QStringLiteral("esporta-csv")), documents); // a folder since removed
}

// The menu in its order, each item at work, and the one Form2 and the one summary window with it.
void TestShell::mainWindow()
{
    TempArchive temp;
    Outcome error;
    const std::unique_ptr<Archive> archive = Archive::open(temp.path(), &error);
    QVERIFY2(archive, qPrintable(error.text));
    MDIForm1 w(*archive, m_fakes->services(), [&](QWidget *parent) { return m_makeForm2(*archive, parent); });
    w.show();
    QCOMPARE(unnamedControls(&w), QStringList());
    QStringList items; // "-" a separator, "(off)" a disabled item
    const QList<QAction *> actions = w.findChild<QMenu *>(QStringLiteral("MENU01"))->actions();
    for (QAction *action : actions)
        items << (action->isSeparator() ? QStringLiteral("-")
                                        : action->objectName() + QLatin1Char(' ') + action->text() +
                                              (action->isEnabled() ? QString() : QStringLiteral(" (off)")));
    // The tools and the summary are disabled until the program hands over their commands.
    // The items added to the design's menu have access keys; the design's own captions stay.
    QCOMPARE(items, QStringList({"MENU0102 Zelvaro", "MENU0103 &Riepilogo ore (off)",
                                 "MENU0107 &Orario e assenze… (off)", "-", "MENU0104 &Esporta in CSV… (off)",
                                 "MENU0105 &Copia di sicurezza… (off)",
                                 "MENU0106 &Importa archivio Access… (off)", "-", "MENU0199 Fine"}));
    QCOMPARE(w.findChild<QMenu *>(QStringLiteral("mnuWindows"))->title(), QStringLiteral("&Windows"));
    QString ran;
    w.setToolCommands({[&] { ran += u'E'; }, [&] { ran += u'C'; }, [&] { ran += u'I'; }});
    for (int i : {4, 5, 6})
        actions.at(i)->trigger();
    QCOMPARE(ran, QStringLiteral("ECI"));

    int summaries = 0;
    w.setSummaryWindowFactory([&](QWidget *parent) {
        ++summaries;
        return new QWidget(parent);
    });
    actions.at(1)->trigger();
    w.mdiArea()->setActiveSubWindow(w.form2Window());
    actions.at(1)->trigger(); // brings the one summary window forward
    QCOMPARE(w.mdiArea()->currentSubWindow(), w.summaryWindow());
    actions.at(0)->trigger(); // "Zelvaro" again: the one Form2 forward
    QCOMPARE(w.mdiArea()->currentSubWindow(), w.form2Window());
    QVERIFY(w.summaryWindow()->close());
    actions.at(1)->trigger();
    QCOMPARE(summaries, 2);
    w.setBalanceWindowFactory([&](QWidget *parent) {
        ++summaries;
        return new QWidget(parent);
    });
    actions.at(2)->trigger();
    actions.at(1)->trigger();
    actions.at(2)->trigger(); // brings the one "Orario e assenze" window forward
    QVERIFY(summaries == 3 && w.mdiArea()->currentSubWindow() == w.balanceWindow());

    // Ctrl+W and Ctrl+F4 close the active child window, whichever it is.
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QTest::keyClick(&w, Qt::Key_W, Qt::ControlModifier);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!w.balanceWindow() && w.mdiArea()->currentSubWindow() == w.form2Window());
    QTest::keyClick(&w, Qt::Key_F4, Qt::ControlModifier);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!w.isForm2Open() && w.mdiArea()->currentSubWindow() == w.summaryWindow());
    QTest::keyClick(&w, Qt::Key_F4, Qt::ControlModifier);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!w.summaryWindow());
    QCOMPARE(summaries, 3);
    actions.at(0)->trigger();

    QVERIFY(w.form2Window()->close());
    actions.at(0)->trigger(); // a fresh Form2 at once; the closed one is deleted later
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(m_made == 3 && w.isForm2Open());
    actions.at(8)->trigger(); // "Fine" ends the program, the archive left open
    QVERIFY(m_fakes->end.statuses == QList<int>{0} && archive->isOpen());
    QVERIFY(w.close()); // Form2 closes while the archive is open, then the archive closes
    QCOMPARE(g_archiveOpenAtChildClose, (QList<bool>{true, true, true}));
    QVERIFY(!archive->isOpen() && !w.isForm2Open());
    QCOMPARE(m_fakes->end.statuses, (QList<int>{0, 0}));
}

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
