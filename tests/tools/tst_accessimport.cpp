#include "AccessImport.h"
#include "Files.h"
#include "TempArchive.h"

#include <QTest>
#include <QtEndian>

using namespace zelvaro;
using namespace zelvaro::test;

namespace {

constexpr qsizetype kJet3Page = 2048;

// In the small Jet 3 fixtures a row begins with its column count (11), then NUM_MOV as a
// little-endian Long Integer. The row of NUM_MOV 1 is the first of its data page.
QByteArray rowStart(qint32 number)
{
    QByteArray bytes(5, '\x0b');
    qToLittleEndian(number, bytes.data() + 1);
    return bytes;
}

// The rows of a fixture's CSV file: UTF-8, "NULL" for a null, never a quote, a comma or a line break
// inside a value.
QList<QStringList> expectedRows(const QString &fixture)
{
    QList<QStringList> rows;
    for (const QString &line :
         QString::fromUtf8(readBytes(dataPath(fixture + ".csv"))).split("\r\n", Qt::SkipEmptyParts))
        rows.append(line.split(','));
    return rows.mid(1);
}

QList<QStringList> storedRows(const QString &path)
{
    return SqlFile(path).rows(QString("SELECT %1 FROM MOV_MAG ORDER BY NUM_MOV").arg(kAllColumns));
}

} // namespace

class tst_AccessImport : public QObject
{
    Q_OBJECT

private slots:
    void importMatchesFixture_data()
    {
        QTest::addColumn<QString>("fixture");
        QTest::newRow("Text dates, blanks, accents and euro") << "mov_mag_97_testo";
        QTest::newRow("Integer dates") << "mov_mag_97_numeri";
        QTest::newRow("20,000 rows") << "mov_mag_97_grande";
    }

    // Every value, blanks included, must match.
    void importMatchesFixture()
    {
        QFETCH(QString, fixture);
        QTemporaryDir dir;
        const QString destination = dir.filePath("ZELVARO_97.mdb");
        const ImportReport outcome = importAccessArchive(dataPath(fixture + ".mdb"), destination);
        QVERIFY2(!outcome.outcome.failed(), qPrintable(outcome.outcome.text));
        QVERIFY2(outcome.libmdbNotes.isEmpty(), qPrintable(outcome.libmdbNotes.join('\n')));
        const QList<QStringList> expected = expectedRows(fixture);
        QVERIFY(expected.size() >= 60);
        QCOMPARE(outcome.rows, expected.size());
        QCOMPARE(storedRows(destination), expected);
        QCOMPARE(folderEntries(dir.path()), QStringList{"ZELVARO_97.mdb"}); // no leftovers
    }

    // The window never lists such rows, but nothing is lost.
    void numbersNotAboveZeroComeOver()
    {
        QByteArray bytes = readBytes(dataPath("mov_mag_97_testo.mdb"));
        QCOMPARE(bytes.count(rowStart(1)), 1);
        QTemporaryDir dir;
        QVERIFY(writeBytes(dir.filePath("VECCHIO.mdb"),
                           bytes.replace(rowStart(1), rowStart(0)).replace(rowStart(2), rowStart(-2))));
        const ImportReport outcome =
            importAccessArchive(dir.filePath("VECCHIO.mdb"), dir.filePath("ZELVARO_97.mdb"));
        QVERIFY2(!outcome.outcome.failed(), qPrintable(outcome.outcome.text));
        QCOMPARE(outcome.rows, 60);
        QCOMPARE(outcome.unlistedRows, 2);
        const QList<QStringList> stored = storedRows(dir.filePath("ZELVARO_97.mdb"));
        QList<QStringList> expected = expectedRows("mov_mag_97_testo");
        QCOMPARE(stored.mid(2), expected.mid(2));
        QCOMPARE(stored.at(0), QStringList{"-2"} + expected.at(1).mid(1));
        QCOMPARE(stored.at(1), QStringList{"0"} + expected.at(0).mid(1));
    }

    void refusalLeavesNothing_data()
    {
        QTest::addColumn<QByteArray>("source"); // the bytes of VECCHIO.mdb
        QTest::addColumn<QStringList>("names"); // of the source and the destination in the folder
        QTest::addColumn<QString>("error");
        const QByteArray fixture = readBytes(dataPath("mov_mag_97_testo.mdb"));
        const qsizetype page = fixture.indexOf(rowStart(1)) / kJet3Page * kJet3Page; // of NUM_MOV 1
        const auto changed = [&](qsizetype at, char value) {
            QByteArray bytes = fixture;
            bytes[at] = value;
            return bytes;
        };
        const QStringList names{"VECCHIO.mdb", "NUOVO.mdb"};
        const auto row = [&](const char *name, const QByteArray &source, const char *error) {
            QTest::newRow(name) << source << names << QString(error);
        };
        QTest::newRow("destination a link to a missing file")
            << fixture << QStringList{"VECCHIO.mdb", "collegamento.mdb"} << "esiste già e non viene toccata";
        QTest::newRow("missing source")
            << fixture << QStringList{"MANCANTE.mdb", "NUOVO.mdb"} << "non esiste";
        row("plain text", readBytes(dataPath("non_access.mdb")), "non è un archivio Access");
        row("SQLite archive", readBytes(TempArchive().path()), "è già un archivio SQLite");
        row("truncated inside a page", readBytes(dataPath("troncato.mdb")), "troncato");
        row("truncated at a page end, rows lost", fixture.left(6 * kJet3Page),
            "trovate 43 righe, ma la tabella ne dichiara 60");
        row("no MOV_MAG", readBytes(dataPath("senza_mov_mag.mdb")), "non contiene la tabella MOV_MAG");
        row("column missing", QByteArray(fixture).replace("ORA_FINE_3", "ORA_FINE_9"),
            "manca la colonna ORA_FINE_3");
        row("NUM_MOV repeated", QByteArray(fixture).replace(rowStart(2), rowStart(1)),
            "NUM_MOV 1 compare due volte: nella riga 1 e nella riga 2 di MOV_MAG");
        // Bit 0 of the null mask at the end of the row (and of its page): NUM_MOV has a value.
        row("NUM_MOV null", changed(page + kJet3Page - 2, '\xfe'),
            "la riga 1 di MOV_MAG (giorno 1/1/1998) non ha NUM_MOV");
        // The page's first row-table entry flagged deleted: libmdb passes over the row without a word.
        row("row passed over by the reader", changed(page + 11, char(fixture.at(page + 11) | 0x40)),
            "trovate 59 righe, ma la tabella ne dichiara 60");
        // One byte of MOV_MAG's definition that makes libmdb read beyond its buffers and crash.
        row("damage that crashes the reader", changed(4 * kJet3Page + 35, '\xa4'), "si è interrotta");
    }

    // A refused import changes no file and leaves none behind.
    void refusalLeavesNothing()
    {
        QFETCH(QByteArray, source);
        QFETCH(QStringList, names);
        QFETCH(QString, error);
        QTemporaryDir dir;
        QVERIFY(writeBytes(dir.filePath("VECCHIO.mdb"), source));
        QVERIFY(QFile::link(dir.filePath("altrove.mdb"), dir.filePath("collegamento.mdb")));
        const QMap<QString, QByteArray> before = snapshot(dir.path());
        const ImportReport outcome = importAccessArchive(dir.filePath(names[0]), dir.filePath(names[1]));
        QVERIFY2(outcome.outcome.failed() && outcome.outcome.text.contains(error),
                 qPrintable(outcome.outcome.text));
        QVERIFY(snapshot(dir.path()) == before);
    }
};

QTEST_GUILESS_MAIN(tst_AccessImport)
#include "tst_accessimport.moc"
