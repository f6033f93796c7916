#include "AccessImport.h"
#include "Archive.h"
#include "Printout.h"
#include "ToolsTestData.h"

#include <QHash>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

using namespace zelvaro;
using namespace zelvaro::test;

namespace {

// Every row of MOV_MAG by NUM_MOV, "NULL" for a null as in the fixtures' files.
QHash<QString, QStringList> storedRows(const QString &path)
{
    QHash<QString, QStringList> rows;
    sqlite3 *db = nullptr;
    sqlite3_stmt *st = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_prepare_v2(db,
                       "SELECT NUM_MOV, ANNO, MESE, GIORNO, ORA_INIZIO_1, ORA_FINE_1, ORA_INIZIO_2, "
                       "ORA_FINE_2, ORA_INIZIO_3, ORA_FINE_3, NOTE FROM MOV_MAG",
                       -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW) {
        QStringList row;
        for (int c = 0; c < 11; ++c)
            row.append(sqlite3_column_type(st, c) == SQLITE_NULL
                           ? QStringLiteral("NULL")
                           : QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, c))));
        rows.insert(row.first(), row);
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return rows;
}

QList<QStringList> expectedRows(const QString &fixture)
{
    return readCsv(readBytes(dataPath(fixture + QStringLiteral(".csv"))), ',').mid(1);
}

} // namespace

class tst_AccessImport : public QObject
{
    Q_OBJECT

private slots:
    void importMatchesFixture_data();
    void importMatchesFixture();
    void importedArchiveOpensListsAndPrints();
    void numbersNotAboveZeroComeOver();
};

void tst_AccessImport::importMatchesFixture_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::newRow("Text dates, blanks, accents and euro") << QStringLiteral("mov_mag_97_testo");
    QTest::newRow("Integer dates") << QStringLiteral("mov_mag_97_numeri");
    QTest::newRow("20,000 rows") << QStringLiteral("mov_mag_97_grande");
}

// The fixtures' files are UTF-8 and give a null as NULL: every value, blanks included, must match.
void tst_AccessImport::importMatchesFixture()
{
    QFETCH(QString, fixture);
    QTemporaryDir dir;
    const QString destination = dir.filePath(QStringLiteral("ZELVARO_97.mdb"));
    const ImportOutcome outcome =
        importAccessArchive(dataPath(fixture + QStringLiteral(".mdb")), destination);
    QVERIFY2(outcome.ok, qPrintable(outcome.error));
    QVERIFY2(outcome.libmdbNotes.isEmpty(), qPrintable(outcome.libmdbNotes.join(QLatin1Char('\n'))));

    const QList<QStringList> expected = expectedRows(fixture);
    const QHash<QString, QStringList> stored = storedRows(destination);
    QVERIFY(expected.size() >= 60);
    QCOMPARE(outcome.rows, qint64(expected.size()));
    QCOMPARE(stored.size(), expected.size());
    for (const QStringList &want : expected) {
        const QStringList got = stored.value(want.first());
        QVERIFY2(got == want, qPrintable(want.join(QLatin1Char('|')) + QStringLiteral("\nstored: ") +
                                         got.join(QLatin1Char('|'))));
    }
    QCOMPARE(folderEntries(dir.path()), QStringList{QStringLiteral("ZELVARO_97.mdb")}); // no leftovers
}

void tst_AccessImport::importedArchiveOpensListsAndPrints()
{
    QTemporaryDir dir;
    const QString destination = dir.filePath(QStringLiteral("ZELVARO_97.mdb"));
    QVERIFY(importAccessArchive(dataPath(QStringLiteral("mov_mag_97_testo.mdb")), destination).ok);
    ArchiveError error;
    const std::unique_ptr<Archive> archive = Archive::open(destination, &error);
    QVERIFY2(archive, qPrintable(error.text));

    QStringList wanted; // the fixture's numbers are all above 0 and in order
    for (const QStringList &row : expectedRows(QStringLiteral("mov_mag_97_testo")))
        wanted.append(row.first());
    QStringList listed;
    QVERIFY(!archive->forEachListed([&](const HoursRecord &r) { listed.append(r.numMov); }));
    QCOMPARE(listed, wanted);

    std::optional<HoursRecord> record;
    QVERIFY(!archive->readRecord(2, &record));
    QVERIFY(record.has_value());
    QCOMPARE(record->note, QStringLiteral("più € – ok"));

    QStringList lines;
    QVERIFY(!hoursListLines(*archive, &lines));
    QCOMPARE(lines.size(), wanted.size());
    for (qsizetype i = 0; i < lines.size(); ++i)
        QCOMPARE(lines.at(i).left(5).trimmed(), wanted.at(i));
}

// The window never lists such rows, but nothing is lost.
void tst_AccessImport::numbersNotAboveZeroComeOver()
{
    QByteArray bytes = readBytes(dataPath(QStringLiteral("mov_mag_97_testo.mdb")));
    QCOMPARE(bytes.count(rowStart(1)), 1);
    bytes.replace(rowStart(1), rowStart(0)).replace(rowStart(2), rowStart(-2));
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("VECCHIO.mdb"));
    const QString destination = dir.filePath(QStringLiteral("ZELVARO_97.mdb"));
    QVERIFY(writeBytes(source, bytes));

    const ImportOutcome outcome = importAccessArchive(source, destination);
    QVERIFY2(outcome.ok, qPrintable(outcome.error));
    QCOMPARE(outcome.rows, qint64(60));
    QCOMPARE(outcome.unlistedRows, qint64(2));
    const QHash<QString, QStringList> stored = storedRows(destination);
    const QList<QStringList> expected = expectedRows(QStringLiteral("mov_mag_97_testo"));
    QCOMPARE(stored.size(), 60);
    QCOMPARE(stored.value(QStringLiteral("0")).mid(1), expected.at(0).mid(1));
    QCOMPARE(stored.value(QStringLiteral("-2")).mid(1), expected.at(1).mid(1));
}

QTEST_GUILESS_MAIN(tst_AccessImport)
#include "tst_accessimport.moc"
