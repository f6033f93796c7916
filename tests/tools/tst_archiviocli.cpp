#include "Archive.h"
#include "KnownArchive.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace zelvaro;
using namespace zelvaro::test;

namespace {

struct Run
{
    int status = -1;
    QString out, err;
    QByteArray outBytes;
};

// Runs the built program as a user would, in `folder`.
Run runTool(const QStringList &arguments, const QString &folder = QString())
{
    QProcess process;
    if (!folder.isEmpty())
        process.setWorkingDirectory(folder);
    process.start(QStringLiteral(ZELVARO_ARCHIVIO_PROGRAM), arguments);
    Run run;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        run.err = QStringLiteral("(did not end)");
        return run;
    }
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    run.outBytes = process.readAllStandardOutput();
    run.out = QString::fromUtf8(run.outBytes);
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QByteArray describe(const Run &run)
{
    return "status " + QByteArray::number(run.status) + "\nstdout: " + run.out.toUtf8() +
           "\nstderr: " + run.err.toUtf8();
}

} // namespace

class tst_ArchivioCli : public QObject
{
    Q_OBJECT

private slots:
    void help_data();
    void help();
    void usageErrors_data();
    void usageErrors();
    void crea_data();
    void crea();
    void importa();
    void importaRefused();
    void esporta();
    void esportaNeverOverwritesAnArchive_data();
    void esportaNeverOverwritesAnArchive();
    void verifica_data();
    void verifica();
};

void tst_ArchivioCli::help_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("usage");
    QTest::newRow("program --help") << QStringList{"--help"} << "Uso: zelvaro-archivio COMANDO";
    QTest::newRow("program -h") << QStringList{"-h"} << "Uso: zelvaro-archivio COMANDO";
    QTest::newRow("crea --help") << QStringList{"crea", "--help"} << "Uso: zelvaro-archivio crea PERCORSO";
    QTest::newRow("importa --help") << QStringList{"importa", "--help"}
                                    << "Uso: zelvaro-archivio importa ORIGINE.mdb DESTINAZIONE";
    QTest::newRow("esporta --help") << QStringList{"esporta", "--help"}
                                    << "Uso: zelvaro-archivio esporta ARCHIVIO [FILE.csv]";
    QTest::newRow("verifica --help") << QStringList{"verifica", "--help"}
                                     << "Uso: zelvaro-archivio verifica ARCHIVIO";
    QTest::newRow("help after the arguments")
        << QStringList{"importa", "a.mdb", "--help"} << "Uso: zelvaro-archivio importa ORIGINE.mdb";
}

void tst_ArchivioCli::help()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, usage);
    QTemporaryDir dir;
    const Run run = runTool(arguments, dir.path());
    QVERIFY2(run.status == 0, describe(run));
    QVERIFY2(run.out.startsWith(usage), describe(run));
    QVERIFY2(run.err.isEmpty(), describe(run));
    QCOMPARE(folderEntries(dir.path()), QStringList()); // help never creates anything
}

void tst_ArchivioCli::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    QTest::newRow("no command") << QStringList{} << "Uso: zelvaro-archivio COMANDO";
    QTest::newRow("unknown command") << QStringList{"converti", "a.mdb"}
                                     << "comando sconosciuto \"converti\"";
    QTest::newRow("crea without path") << QStringList{"crea"} << "argomenti mancanti per \"crea\"";
    QTest::newRow("crea with two paths")
        << QStringList{"crea", "a.mdb", "b.mdb"} << "troppi argomenti per \"crea\"";
    QTest::newRow("importa without destination")
        << QStringList{"importa", "a.mdb"} << "argomenti mancanti per \"importa\"";
    QTest::newRow("esporta without archive")
        << QStringList{"esporta"} << "argomenti mancanti per \"esporta\"";
    QTest::newRow("esporta with three paths")
        << QStringList{"esporta", "a", "b", "c"} << "troppi argomenti per \"esporta\"";
    QTest::newRow("verifica without archive")
        << QStringList{"verifica"} << "argomenti mancanti per \"verifica\"";
}

void tst_ArchivioCli::usageErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const Run run = runTool(arguments, dir.path());
    QVERIFY2(run.status == 2, describe(run));
    QVERIFY2(run.err.contains(message), describe(run));
    QVERIFY2(run.out.isEmpty(), describe(run));
    QCOMPARE(folderEntries(dir.path()), QStringList());
}

void tst_ArchivioCli::crea_data()
{
    QTest::addColumn<QString>("existing");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    QTest::newRow("new file") << "" << 0 << "";
    QTest::newRow("existing file refused") << "file" << 1 << "esiste già un file con questo nome";
    QTest::newRow("existing archive refused") << "archive" << 1 << "esiste già un file con questo nome";
    QTest::newRow("missing folder refused") << "no folder" << 1 << "non creato";
}

void tst_ArchivioCli::crea()
{
    QFETCH(QString, existing);
    QFETCH(int, status);
    QFETCH(QString, message);
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("ZELVARO_97.mdb"));
    const QByteArray content("da non toccare");
    if (existing == QLatin1String("file"))
        QVERIFY(writeBytes(path, content));
    else if (existing == QLatin1String("archive"))
        QVERIFY(!Archive::create(path));
    else if (existing == QLatin1String("no folder"))
        path = dir.filePath(QStringLiteral("manca/ZELVARO_97.mdb"));
    const QByteArray before = readBytes(path);

    const Run run = runTool({QStringLiteral("crea"), path});
    QVERIFY2(run.status == status, describe(run));
    if (status == 0) {
        QVERIFY2(run.err.isEmpty(), describe(run));
        ArchiveError error;
        const std::unique_ptr<Archive> archive = Archive::open(path, &error);
        QVERIFY2(archive, qPrintable(error.text));
        std::optional<qint64> last;
        QVERIFY(!archive->lastNumber(&last));
        QVERIFY(!last.has_value()); // empty
        return;
    }
    QVERIFY2(run.err.startsWith(QStringLiteral("zelvaro-archivio: ")) && run.err.contains(message),
             describe(run));
    QCOMPARE(readBytes(path), before);
}

void tst_ArchivioCli::importa()
{
    QTemporaryDir dir;
    const QString destination = dir.filePath(QStringLiteral("ZELVARO_97.mdb"));
    const Run run =
        runTool({QStringLiteral("importa"), dataPath(QStringLiteral("mov_mag_97_testo.mdb")), destination});
    if (!ZELVARO_IMPORT) {
        QVERIFY2(run.status == 1 && run.err.contains(QStringLiteral("non è disponibile")), describe(run));
        QCOMPARE(folderEntries(dir.path()), QStringList());
        return;
    }
    QVERIFY2(run.status == 0, describe(run));
    QVERIFY2(run.err.isEmpty(), describe(run));
    static const QRegularExpression summary(
        QStringLiteral("^Importate 60 righe da «.*mov_mag_97_testo\\.mdb» in «.*"
                       "ZELVARO_97\\.mdb» in \\d+,\\d\\d s\\n$"));
    QVERIFY2(summary.match(run.out).hasMatch(), describe(run));
    ArchiveError error;
    QVERIFY2(Archive::open(destination, &error), qPrintable(error.text));

    // The same command again never touches the archive it made.
    const QByteArray made = readBytes(destination);
    const Run again =
        runTool({QStringLiteral("importa"), dataPath(QStringLiteral("mov_mag_97_testo.mdb")), destination});
    QVERIFY2(again.status == 1 && again.err.contains(QStringLiteral("esiste già")), describe(again));
    QCOMPARE(readBytes(destination), made);
}

// Every refusal is tested in its own process by tst_accessimport; here, what the user sees of one.
void tst_ArchivioCli::importaRefused()
{
    if (!ZELVARO_IMPORT)
        QSKIP("built without libmdb");
    QTemporaryDir dir;
    const Run run = runTool({QStringLiteral("importa"), dataPath(QStringLiteral("troncato.mdb")),
                             dir.filePath(QStringLiteral("nuovo.mdb"))});
    QVERIFY2(run.status == 1, describe(run));
    QVERIFY2(run.err.startsWith(
                 QStringLiteral("zelvaro-archivio: importazione non eseguita, nessun archivio creato: ")),
             describe(run));
    QVERIFY2(run.err.contains(QStringLiteral("troncato")), describe(run));
    QVERIFY2(run.out.isEmpty(), describe(run));
    QCOMPARE(folderEntries(dir.path()), QStringList());
}

void tst_ArchivioCli::esporta()
{
    TempArchive archive;
    fillKnownArchive(archive);
    const QByteArray expected = readBytes(dataPath(QStringLiteral("esporta_atteso.csv")));

    const Run toStdout = runTool({QStringLiteral("esporta"), archive.path()});
    QVERIFY2(toStdout.status == 0 && toStdout.err.isEmpty(), describe(toStdout));
    QCOMPARE(toStdout.outBytes, expected);

    const QString csv = archive.folder() + QStringLiteral("/ore.csv");
    QVERIFY(writeBytes(csv, "un'esportazione di prima")); // a CSV is replaced whole
    const Run toFile = runTool({QStringLiteral("esporta"), archive.path(), csv});
    QVERIFY2(toFile.status == 0 && toFile.err.isEmpty(), describe(toFile));
    QCOMPARE(toFile.out, QStringLiteral("Esportati 8 movimenti in «") + csv + QStringLiteral("»\n"));
    QCOMPARE(readBytes(csv), expected);
}

void tst_ArchivioCli::esportaNeverOverwritesAnArchive_data()
{
    QTest::addColumn<QString>("target");
    QTest::newRow("the archive itself") << "archive";
    QTest::newRow("another archive") << "other";
    QTest::newRow("an Access file") << "access";
    QTest::newRow("a folder") << "folder";
}

void tst_ArchivioCli::esportaNeverOverwritesAnArchive()
{
    QFETCH(QString, target);
    TempArchive archive;
    fillKnownArchive(archive);
    QString path = archive.path();
    if (target == QLatin1String("other")) {
        path = archive.folder() + QStringLiteral("/ALTRO.mdb");
        QVERIFY(!Archive::create(path));
    } else if (target == QLatin1String("access")) {
        path = archive.folder() + QStringLiteral("/VECCHIO.mdb");
        QVERIFY(writeBytes(path, readBytes(dataPath(QStringLiteral("mov_mag_97_testo.mdb")))));
    } else if (target == QLatin1String("folder")) {
        path = archive.folder() + QStringLiteral("/cartella");
        QVERIFY(QDir().mkdir(path));
    }
    const QByteArray before = readBytes(path);
    const QStringList entries = folderEntries(archive.folder());
    const Run run = runTool({QStringLiteral("esporta"), archive.path(), path});
    QVERIFY2(run.status == 1, describe(run));
    QVERIFY2(run.err.startsWith(QStringLiteral("zelvaro-archivio: ")), describe(run));
    QCOMPARE(readBytes(path), before);
    QCOMPARE(folderEntries(archive.folder()), entries);
}

void tst_ArchivioCli::verifica_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("output");
    QTest::newRow("sound, with rows to review") << "sound" << 0 << "L'archivio è integro.";
    QTest::newRow("foreign file") << "foreign" << 1 << "L'archivio NON è integro.";
    QTest::newRow("Access file") << "access" << 1 << "zelvaro-archivio importa";
    QTest::newRow("bytes overwritten") << "corrupted" << 1 << "L'archivio NON è integro.";
}

void tst_ArchivioCli::verifica()
{
    QFETCH(QString, kind);
    QFETCH(int, status);
    QFETCH(QString, output);
    TempArchive archive;
    fillKnownArchive(archive);
    QString path = archive.path();
    if (kind == QLatin1String("foreign")) {
        path = dataPath(QStringLiteral("non_access.mdb"));
    } else if (kind == QLatin1String("access")) {
        path = dataPath(QStringLiteral("mov_mag_97_testo.mdb"));
    } else if (kind == QLatin1String("corrupted")) {
        QByteArray bytes = readBytes(path);
        // The known archive is two pages: the schema page and MOV_MAG's one page. Overwrite the
        // header of the second.
        QVERIFY(bytes.size() == 8192);
        bytes.replace(4096, 16, QByteArray(16, '\x7f'));
        QVERIFY(writeBytes(path, bytes));
    }
    const Run run = runTool({QStringLiteral("verifica"), path});
    QVERIFY2(run.status == status, describe(run));
    QVERIFY2(run.out.contains(output), describe(run));
    if (status == 0) {
        QVERIFY2(run.err.isEmpty(), describe(run));
        QVERIFY2(run.out.contains(QStringLiteral("Righe che \"Conferma\" rifiuterebbe così come sono: 4")),
                 describe(run));
    } else {
        QVERIFY2(run.err.startsWith(QStringLiteral("zelvaro-archivio: l'archivio «")) &&
                     run.err.contains(QStringLiteral("non è integro")),
                 describe(run));
    }
}

QTEST_GUILESS_MAIN(tst_ArchivioCli)
#include "tst_archiviocli.moc"
