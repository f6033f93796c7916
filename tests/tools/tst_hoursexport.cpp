#include "Archive.h"
#include "HoursExport.h"
#include "KnownArchive.h"
#include "Printout.h"

#include <QRegularExpression>
#include <QTest>

using namespace zelvaro;
using namespace zelvaro::test;

namespace {

constexpr int kFields = 16;
enum Field {
    Numero = 0,
    Giorno = 1,
    Mese = 2,
    Anno = 3,
    Totale1 = 10,
    TotaleGiorno = 13,
    Progressivo = 14,
    Minuti = 15
};

QByteArray exportOf(const QString &path, ArchiveError *error)
{
    const std::unique_ptr<Archive> archive = Archive::open(path, error);
    if (!archive)
        return {};
    QList<ExportRow> rows;
    *error = collectExportRows(*archive, &rows);
    return exportCsv(rows);
}

// "H h / M Min." as minutes, read here with a pattern of its own; nullopt for any other text.
std::optional<qint64> durationMinutes(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("^(-?\\d+) h / (\\d+) Min\\.$"));
    const QRegularExpressionMatch m = pattern.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    return m.captured(1).toLongLong() * 60 + m.captured(2).toLongLong();
}

} // namespace

class tst_HoursExport : public QObject
{
    Q_OBJECT

private slots:
    void knownArchiveGivesExpectedFile();
    void exportReadsBackAsTable();
    void emptyListGivesHeaderOnly_data();
    void emptyListGivesHeaderOnly();
    void csvField_data();
    void csvField();
    void totalsAddUp_data();
    void totalsAddUp();
};

void tst_HoursExport::knownArchiveGivesExpectedFile()
{
    TempArchive archive;
    fillKnownArchive(archive);
    ArchiveError error;
    const QByteArray csv = exportOf(archive.path(), &error);
    QVERIFY2(!error, qPrintable(error.text));
    const QByteArray expected = readBytes(dataPath(QStringLiteral("esporta_atteso.csv")));
    QVERIFY(!expected.isEmpty());
    if (csv != expected) {
        const QList<QByteArray> got = csv.split('\n');
        const QList<QByteArray> want = expected.split('\n');
        for (qsizetype i = 0; i < qMin(got.size(), want.size()); ++i)
            QCOMPARE(got.at(i), want.at(i)); // names the first line that differs
        QCOMPARE(got.size(), want.size());
    }
}

void tst_HoursExport::exportReadsBackAsTable()
{
    TempArchive archive;
    fillKnownArchive(archive);
    ArchiveError error;
    const QByteArray csv = exportOf(archive.path(), &error);
    QVERIFY2(!error, qPrintable(error.text));

    QVERIFY(csv.startsWith("\xEF\xBB\xBF"));
    QVERIFY(csv.endsWith("\r\n"));
    bool ok = false;
    const QList<QStringList> table = readCsv(csv, ';', &ok);
    QVERIFY(ok);
    QCOMPARE(table.size(), 1 + 8); // header and the eight listed records
    QCOMPARE(table.first(), exportHeader());
    QCOMPARE(table.first().first(), QStringLiteral("Numero")); // no byte-order mark glued to it
    qint64 previous = 0;
    for (qsizetype r = 1; r < table.size(); ++r) {
        const QStringList &record = table.at(r);
        QCOMPARE(record.size(), kFields);
        const qint64 number = record.at(Numero).toLongLong();
        QVERIFY2(number > previous, "listed records in increasing number order, none at 0 or below");
        previous = number;
    }
    // Texts that needed quoting come back whole.
    QCOMPARE(table.at(6).at(Anno), QStringLiteral("20;04"));
    QCOMPARE(table.at(7).at(Giorno), QStringLiteral("7\r\nbis"));
    QCOMPARE(table.at(7).at(Mese), QStringLiteral("\"3\""));
    QVERIFY(!csv.contains("nota"));
}

void tst_HoursExport::emptyListGivesHeaderOnly_data()
{
    QTest::addColumn<QList<qint64>>("numbers");
    QTest::newRow("no rows") << QList<qint64>{};
    QTest::newRow("only rows the window never lists") << QList<qint64>{0, -1, -20};
}

void tst_HoursExport::emptyListGivesHeaderOnly()
{
    QFETCH(QList<qint64>, numbers);
    TempArchive archive;
    for (qint64 n : numbers)
        archive.insert(n, QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("2004"),
                       {QStringLiteral("8"), QStringLiteral("12")});
    ArchiveError error;
    const QByteArray csv = exportOf(archive.path(), &error);
    QVERIFY2(!error, qPrintable(error.text));
    QCOMPARE(csv, QByteArray("\xEF\xBB\xBF") + exportHeader().join(QLatin1Char(';')).toUtf8() + "\r\n");
}

void tst_HoursExport::csvField_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("field");
    QTest::newRow("plain text as it is") << QStringLiteral("8 h / 30 Min.") << QByteArray("8 h / 30 Min.");
    QTest::newRow("empty text, no quotes") << QString() << QByteArray();
    QTest::newRow("comma is no separator here") << QStringLiteral("8,30") << QByteArray("8,30");
    QTest::newRow("blanks kept unquoted") << QStringLiteral(" 8.30 ") << QByteArray(" 8.30 ");
    QTest::newRow("separator quoted") << QStringLiteral("a;b") << QByteArray("\"a;b\"");
    QTest::newRow("quote doubled") << QStringLiteral("di \"lunedì\"") << QByteArray("\"di \"\"lunedì\"\"\"");
    QTest::newRow("line feed quoted") << QStringLiteral("a\nb") << QByteArray("\"a\nb\"");
    QTest::newRow("carriage return quoted") << QStringLiteral("a\rb") << QByteArray("\"a\rb\"");
    QTest::newRow("UTF-8 bytes") << QStringLiteral("più €") << QByteArray("pi\xC3\xB9 \xE2\x82\xAC");
}

void tst_HoursExport::csvField()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, field);
    QCOMPARE(zelvaro::csvField(text), field);
}

void tst_HoursExport::totalsAddUp_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::newRow("rows of the Text-date fixture") << QStringLiteral("mov_mag_97_testo.csv");
    QTest::newRow("rows of the Integer-date fixture") << QStringLiteral("mov_mag_97_numeri.csv");
}

// Over many real-looking days: the minutes column is the day total read back; the running total
// is the sum of the days so far; and the printout, computing on its own, prints the same totals.
void tst_HoursExport::totalsAddUp()
{
    QFETCH(QString, fixture);
    TempArchive archive;
    loadFixtureRows(archive, fixture);
    ArchiveError error;
    const QByteArray csv = exportOf(archive.path(), &error);
    QVERIFY2(!error, qPrintable(error.text));
    bool ok = false;
    const QList<QStringList> table = readCsv(csv, ';', &ok);
    QVERIFY(ok);

    const std::unique_ptr<Archive> open = Archive::open(archive.path(), &error);
    QVERIFY2(open, qPrintable(error.text));
    QStringList lines;
    QVERIFY(!hoursListLines(*open, &lines));
    QCOMPARE(lines.size(), table.size() - 1);
    QVERIFY(lines.size() >= 50);

    static const QRegularExpression totals(QStringLiteral("Tot\\.Giorno: +(.*)  Tot\\.Settimana: +(.*)$"));
    qint64 sum = 0;
    int days = 0;
    for (qsizetype r = 1; r < table.size(); ++r) {
        const QStringList &record = table.at(r);
        const QString where = QStringLiteral("NUM_MOV ") + record.at(Numero);
        const QString &day = record.at(TotaleGiorno);
        if (day.isEmpty()) {
            QVERIFY2(record.at(Minuti).isEmpty(), qPrintable(where));
            QVERIFY2(record.at(Totale1).isEmpty(),
                     qPrintable(where + QStringLiteral(": a complete period 1 makes a day")));
        } else {
            ++days;
            const std::optional<qint64> minutes = durationMinutes(day);
            QVERIFY2(minutes.has_value(), qPrintable(where + QStringLiteral(": ") + day));
            QCOMPARE(record.at(Minuti), QString::number(*minutes));
            sum += *minutes;
        }
        const QString &running = record.at(Progressivo);
        if (running.isEmpty())
            QCOMPARE(sum, qint64(0));
        else
            QCOMPARE(durationMinutes(running), std::optional<qint64>(sum));

        const QRegularExpressionMatch printed = totals.match(lines.at(r - 1));
        QVERIFY2(printed.hasMatch(), qPrintable(lines.at(r - 1)));
        QCOMPARE(printed.captured(2), running);
        if (!day.isEmpty())
            QCOMPARE(printed.captured(1), day);
    }
    QVERIFY(days > 0);
}

QTEST_GUILESS_MAIN(tst_HoursExport)
#include "tst_hoursexport.moc"
