#include "Archive.h"
#include "Fakes.h"
#include "MDIForm1.h"
#include "Startup.h"
#include "TempArchive.h"

#include <QDir>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

using namespace zelvaro;
using namespace zelvaro::test;

namespace {

const QString kAbsent = QStringLiteral("File di configurazione  ZELVARO.INI  asssente !!!");

// A program folder that counts how often start-up asked for it.
class CountingFolder : public ProgramFolder
{
public:
    explicit CountingFolder(QString p) : folder(std::move(p)) {}
    QString path() const override
    {
        ++asked;
        return folder;
    }
    QString folder;
    mutable int asked = 0;
};

struct Harness
{
    explicit Harness(const QString &folderPath) : folder(folderPath) {}
    FakeServices fakes;
    FakeInstanceGuard instance;
    CountingFolder folder;
    int factoryCalls = 0;
    Archive *factoryArchive = nullptr;

    StartupServices services()
    {
        return StartupServices{&fakes.messages, &fakes.beep, &fakes.pointer, &instance,
                               &folder,         &fakes.end,  &fakes.clock};
    }
    StartedProgram run()
    {
        return Main(services(), [this](Archive &archive, QWidget *parent) -> QWidget * {
            ++factoryCalls;
            factoryArchive = &archive;
            auto *w = new QWidget(parent);
            w->setWindowTitle(QStringLiteral("Zelvaro"));
            return w;
        });
    }
};

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(f.write(bytes), bytes.size());
}

QString lastLine(const QString &text)
{
    return text.mid(text.lastIndexOf(QLatin1Char('\r')) + 1);
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void configurationLine_data();
    void configurationLine();
    void secondCopyRefusedBeforeAnythingElse();
    void programFolderFile_data();
    void programFolderFile();
    void openFailure_data();
    void openFailure();
    void successShowsMainWindow_data();
    void successShowsMainWindow();
};

// The archive path taken from ZELVARO.INI; none of these paths exists, so the opening fails and
// its message names the path used.
void TestStartup::configurationLine_data()
{
    QTest::addColumn<bool>("present");
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("expected"); // "<default>" stands for the path beside the program
    QTest::addColumn<bool>("absentMessage");

    const QString d = QStringLiteral("<default>");
    QTest::newRow("missing file") << false << QByteArray() << d << true;
    // A folder in the place of ZELVARO.INI cannot be read as a file.
    QTest::newRow("unreadable: a folder of that name") << true << QByteArray("<folder>") << d << true;
    QTest::newRow("empty file (no line)") << true << QByteArray() << d << true;
    QTest::newRow("empty first line")
        << true << QByteArray("\r\n/altro/archivio.mdb\r\n") << QString() << false;
    QTest::newRow("only a line feed") << true << QByteArray("\n") << QString() << false;
    QTest::newRow("one line without end")
        << true << QByteArray("/dati/ore.mdb") << QStringLiteral("/dati/ore.mdb") << false;
    QTest::newRow("two lines: only the first") << true << QByteArray("/dati/primo.mdb\n/dati/secondo.mdb\n")
                                               << QStringLiteral("/dati/primo.mdb") << false;
    QTest::newRow("CRLF line end") << true << QByteArray("C:\\DATI\\ORE.mdb\r\nx\r\n")
                                   << QStringLiteral("C:\\DATI\\ORE.mdb") << false;
    QTest::newRow("CR only line end")
        << true << QByteArray("/dati/cr.mdb\r/dati/dopo.mdb") << QStringLiteral("/dati/cr.mdb") << false;
    QTest::newRow("LF before CR") << true << QByteArray("/dati/lf.mdb\n\r") << QStringLiteral("/dati/lf.mdb")
                                  << false;
    QTest::newRow("blanks kept at both ends") << true << QByteArray("  /dati/con spazi.mdb  \r\n")
                                              << QStringLiteral("  /dati/con spazi.mdb  ") << false;
    QTest::newRow("tab kept") << true << QByteArray("\t/dati/t.mdb") << QStringLiteral("\t/dati/t.mdb")
                              << false;
    QTest::newRow("Windows-1252 bytes")
        << true << QByteArray("C:\\Contabilit\xe0\\Ore \x80 \x93x\x94.mdb\r\n")
        << QStringLiteral("C:\\Contabilità\\Ore € “x”.mdb") << false;
    QTest::newRow("Windows-1252 unassigned byte")
        << true << QByteArray("/d\x81/a.mdb")
        << QString(QStringLiteral("/d") + QChar(0x81) + QStringLiteral("/a.mdb")) << false;
    QTest::newRow("valid UTF-8") << true << QByteArray("/dati/Contabilit\xc3\xa0/\xe2\x82\xac.mdb\n")
                                 << QStringLiteral("/dati/Contabilità/€.mdb") << false;
    QTest::newRow("UTF-8 byte-order mark dropped")
        << true << QByteArray("\xef\xbb\xbf/dati/bom.mdb\r\n") << QStringLiteral("/dati/bom.mdb") << false;
    QTest::newRow("broken UTF-8 read as Windows-1252")
        << true << QByteArray("/x\xc3(.mdb") << QStringLiteral("/xÃ(.mdb") << false;
}

void TestStartup::configurationLine()
{
    QFETCH(bool, present);
    QFETCH(QByteArray, ini);
    QFETCH(QString, expected);
    QFETCH(bool, absentMessage);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    if (ini == "<folder>")
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("ZELVARO.INI")));
    else if (present)
        writeFile(dir.filePath(QStringLiteral("ZELVARO.INI")), ini);
    const QString folder = QDir::toNativeSeparators(dir.path());
    if (expected == QLatin1String("<default>"))
        expected = folder + QDir::separator() + QStringLiteral("ZELVARO_97.mdb");

    Harness h(folder);
    if (absentMessage)
        h.fakes.messages.expectOk();
    h.fakes.messages.expectOk(); // the archive opening fails: nothing exists at these paths
    const StartedProgram program = h.run();

    QCOMPARE(program.archivePath, expected);
    QVERIFY(!program.running());
    QCOMPARE(h.factoryCalls, 0);
    QCOMPARE(h.fakes.end.count, 1);
    QVERIFY2(h.fakes.messages.unexpected.isEmpty(), qPrintable(h.fakes.messages.unexpected.join(u'|')));
    QCOMPARE(h.fakes.messages.shown.size(), absentMessage ? 2 : 1);
    if (absentMessage) {
        const FakeMessageBox::Shown &box = h.fakes.messages.shown.first();
        QCOMPARE(box.text, kAbsent);
        QVERIFY(box.title.isEmpty());
        QCOMPARE(box.icon, MessageBoxService::Icon::None);
        QCOMPARE(box.buttons, MessageBoxService::Buttons::Ok);
        QCOMPARE(box.beepsBefore, 1);
    }
    const QString failure = h.fakes.messages.shown.last().text;
    QVERIFY(failure.startsWith(QStringLiteral("ERRORE IN APERTURA DATABASE !!!\r\r")));
    QCOMPARE(lastLine(failure), expected);
}

void TestStartup::secondCopyRefusedBeforeAnythingElse()
{
    Harness h(QStringLiteral("/nessuna/cartella"));
    h.instance.another = true;
    h.fakes.messages.expectOk();
    const StartedProgram program = h.run();

    QCOMPARE(h.instance.asked, 1);
    QCOMPARE(h.folder.asked, 0); // neither ZELVARO.INI nor the archive path was looked for
    QVERIFY(program.archivePath.isEmpty());
    QVERIFY(!program.archive);
    QVERIFY(!program.running());
    QCOMPARE(h.factoryCalls, 0);
    QCOMPARE(h.fakes.end.count, 1);
    QCOMPARE(h.fakes.beep.count, 0);
    QCOMPARE(h.fakes.pointer.history, QList<bool>{true});
    QCOMPARE(h.fakes.messages.shown.size(), 1);
    const FakeMessageBox::Shown &box = h.fakes.messages.shown.first();
    QCOMPARE(box.text, QStringLiteral("Applicazione già in uso !"));
    QCOMPARE(box.title, QStringLiteral("ERRORE GENERALE"));
    QCOMPARE(box.icon, MessageBoxService::Icon::Stop);
    QCOMPARE(box.buttons, MessageBoxService::Buttons::Ok);
    QVERIFY(box.systemModal);
}

void TestStartup::programFolderFile_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("expected");
    const QString sep = QDir::separator();
    QTest::newRow("plain folder") << QStringLiteral("/opt/zelvaro")
                                  << (QStringLiteral("/opt/zelvaro") + sep + "ZELVARO.INI");
    QTest::newRow("root keeps one separator") << QStringLiteral("/") << QStringLiteral("/ZELVARO.INI");
    QTest::newRow("native separator at the end")
        << (QStringLiteral("C:") + sep) << (QStringLiteral("C:") + sep + "ZELVARO.INI");
    QTest::newRow("blank in the folder")
        << QStringLiteral("/a b") << (QStringLiteral("/a b") + sep + "ZELVARO.INI");
}

void TestStartup::programFolderFile()
{
    QFETCH(QString, folder);
    QFETCH(QString, expected);
    QCOMPARE(zelvaro::programFolderFile(folder, QStringLiteral("ZELVARO.INI")), expected);
}

// Each way the archive opening fails: beep, the exact message with the stop icon, then the end.
void TestStartup::openFailure_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("causeWord"); // a word the cause must name
    QTest::newRow("empty path") << "empty" << QString();
    QTest::newRow("missing file") << "missing" << QString();
    QTest::newRow("not a SQLite file") << "text" << QString();
    QTest::newRow("Access/Jet file") << "jet" << QStringLiteral("zelvaro-archivio importa");
    QTest::newRow("no MOV_MAG table") << "notable" << QStringLiteral("MOV_MAG");
    QTest::newRow("MOV_MAG lacks a column") << "nocolumn" << QStringLiteral("NOTE");
    QTest::newRow("locked by another program") << "locked" << QString();
}

void TestStartup::openFailure()
{
    QFETCH(QString, kind);
    QFETCH(QString, causeWord);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString archive = dir.filePath(QStringLiteral("archivio.mdb"));
    QString iniLine = archive;
    sqlite3 *locker = nullptr;

    if (kind == QLatin1String("empty")) {
        iniLine.clear();
    } else if (kind == QLatin1String("text")) {
        writeFile(archive, QByteArray("questo non è un archivio\n").repeated(200));
    } else if (kind == QLatin1String("jet")) {
        QByteArray jet(2048, '\0');
        jet[1] = 1;
        jet.replace(4, 15, "Standard Jet DB");
        writeFile(archive, jet);
    } else if (kind == QLatin1String("notable") || kind == QLatin1String("nocolumn") ||
               kind == QLatin1String("locked")) {
        QCOMPARE(sqlite3_open_v2(archive.toUtf8().constData(), &locker,
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr),
                 SQLITE_OK);
        const char *sql = kind == QLatin1String("notable") ? "CREATE TABLE ALTRO (X TEXT)"
                          : kind == QLatin1String("nocolumn")
                              ? "CREATE TABLE MOV_MAG (NUM_MOV INTEGER PRIMARY KEY, ANNO TEXT, MESE TEXT, "
                                "GIORNO TEXT, ORA_INIZIO_1 TEXT, ORA_FINE_1 TEXT, ORA_INIZIO_2 TEXT, "
                                "ORA_FINE_2 TEXT, ORA_INIZIO_3 TEXT, ORA_FINE_3 TEXT)"
                              : kCreateMovMag;
        QCOMPARE(sqlite3_exec(locker, sql, nullptr, nullptr, nullptr), SQLITE_OK);
        if (kind == QLatin1String("locked"))
            QCOMPARE(sqlite3_exec(locker, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    }
    writeFile(dir.filePath(QStringLiteral("ZELVARO.INI")), iniLine.toUtf8() + "\r\n");

    Harness h(QDir::toNativeSeparators(dir.path()));
    h.fakes.messages.expectOk();
    const StartedProgram program = h.run();

    // The same opening done directly gives the number and cause the message must quote.
    ArchiveError direct;
    const std::unique_ptr<Archive> again = Archive::open(iniLine, &direct);
    if (locker) {
        sqlite3_exec(locker, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(locker);
    }
    QVERIFY(!again);
    QVERIFY(direct.code > 0);
    QVERIFY(!direct.text.isEmpty());
    if (!causeWord.isEmpty())
        QVERIFY2(direct.text.contains(causeWord), qPrintable(direct.text));

    QVERIFY(!program.archive);
    QVERIFY(!program.running());
    QCOMPARE(h.factoryCalls, 0);
    QCOMPARE(h.fakes.end.count, 1);
    QCOMPARE(h.fakes.messages.shown.size(), 1);
    const FakeMessageBox::Shown &box = h.fakes.messages.shown.first();
    const QString expected = QStringLiteral("ERRORE IN APERTURA DATABASE !!!\r\r ") +
                             QString::number(direct.code) + QStringLiteral(" - ") + direct.text +
                             QStringLiteral("\r\r") + iniLine;
    QCOMPARE(box.text, expected);
    if (kind == QLatin1String("empty"))
        QVERIFY(box.text.endsWith(QStringLiteral("\r\r")));
    QCOMPARE(box.icon, MessageBoxService::Icon::Stop);
    QCOMPARE(box.buttons, MessageBoxService::Buttons::Ok);
    QVERIFY(box.title.isEmpty());
    QVERIFY(!box.systemModal);
    QCOMPARE(box.beepsBefore, 1);
    QVERIFY2(h.fakes.messages.unexpected.isEmpty(), qPrintable(h.fakes.messages.unexpected.join(u'|')));
}

void TestStartup::successShowsMainWindow_data()
{
    QTest::addColumn<bool>("withIni");
    QTest::newRow("path from ZELVARO.INI") << true;
    QTest::newRow("no ZELVARO.INI: default path beside the program") << false;
}

void TestStartup::successShowsMainWindow()
{
    QFETCH(bool, withIni);
    TempArchive temp; // ZELVARO_97.mdb in its own folder
    temp.insert(1, QStringLiteral("5"), QStringLiteral("3"), QStringLiteral("2004"),
                {QStringLiteral("8.00"), QStringLiteral("12.00")});
    QTemporaryDir iniDir;
    QString folder = QDir::toNativeSeparators(temp.folder());
    if (withIni) {
        folder = QDir::toNativeSeparators(iniDir.path());
        writeFile(iniDir.filePath(QStringLiteral("ZELVARO.INI")), temp.path().toUtf8() + "\r\n");
    }

    Harness h(folder);
    if (!withIni)
        h.fakes.messages.expectOk();
    StartedProgram program = h.run();

    QVERIFY(program.running());
    QVERIFY(program.archive && program.archive->isOpen());
    QCOMPARE(QDir::fromNativeSeparators(program.archivePath), temp.path());
    QCOMPARE(h.factoryCalls, 1);
    QCOMPARE(h.factoryArchive, program.archive.get());
    QVERIFY(program.mainWindow->isVisible());
    QVERIFY(program.mainWindow->isForm2Open());
    QCOMPARE(program.mainWindow->mdiArea()->subWindowList().size(), 1);
    QCOMPARE(h.fakes.end.count, 0);
    QCOMPARE(h.fakes.pointer.history.first(), true);
    QCOMPARE(h.fakes.pointer.busy, false);
    QCOMPARE(h.fakes.messages.shown.size(), withIni ? 0 : 1);
    if (!withIni) {
        QCOMPARE(h.fakes.messages.shown.first().text, kAbsent);
        QCOMPARE(h.fakes.beep.count, 1);
    }
    QVERIFY2(h.fakes.messages.unexpected.isEmpty(), qPrintable(h.fakes.messages.unexpected.join(u'|')));
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
