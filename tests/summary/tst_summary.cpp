#include "CsvFile.h"
#include "Files.h"
#include "HoursSummary.h"
#include "SummaryCsv.h"
#include "SummarySheets.h"
#include "TempArchive.h"
#include "Timesheet.h"
#include "WorkedMinutes.h"

#include <QTemporaryDir>
#include <QTest>

using namespace zelvaro;
using namespace zelvaro::test;
using namespace Qt::StringLiterals;

namespace {

// What `produce` writes, whole.
QByteArray csvOf(const std::function<Outcome(CsvWriter &)> &produce, Outcome *outcome = nullptr)
{
    QByteArray bytes;
    CsvWriter csv([&bytes](QByteArrayView part) {
        bytes += part;
        return Outcome();
    });
    const Outcome produced = produce(csv);
    if (outcome)
        *outcome = produced;
    return csv.finish().failed() ? QByteArray() : bytes;
}

QByteArray summaryCsv(const HoursSummary &summary, SummaryRows rows)
{
    return csvOf([&](CsvWriter &csv) {
        writeSummaryCsv(summary, rows, csv);
        return Outcome();
    });
}

} // namespace

class TestSummary : public QObject
{
    Q_OBJECT

private slots:
    void recordDate_data()
    {
        QTest::addColumn<QString>("date"); // "anno|mese|giorno"
        QTest::addColumn<QDate>("expected");
        const QDate none;
        QTest::newRow("leap day") << "2024|2|29" << QDate(2024, 2, 29);
        QTest::newRow("29 February of a common year") << "2025|2|29" << none;
        QTest::newRow("blanks trimmed") << " 2026 | 3 |7 " << QDate(2026, 3, 7);
        QTest::newRow("leading zeros") << "02026|003|07" << QDate(2026, 3, 7);
        QTest::newRow("sign") << "+2026|3|7" << none;
        QTest::newRow("tab is not a blank") << "2026\t|3|7" << none;
        QTest::newRow("year 999") << "999|3|7" << none;
        QTest::newRow("year 1000") << "1000|1|1" << QDate(1000, 1, 1);
        QTest::newRow("year 10000") << "10000|1|1" << none;
    }

    void recordDate()
    {
        QFETCH(QString, date);
        QFETCH(QDate, expected);
        const QStringList d = date.split(QLatin1Char('|'));
        QCOMPARE(zelvaro::recordDate(d[0], d[1], d[2]), expected);
    }

    // "+A1" is no number and gets the apostrophe, "-1.5" is one; a lone line feed is quoted; a line
    // feed first is guarded as a carriage return first is.
    void csvLine()
    {
        const QByteArray line = csvOf([](CsvWriter &csv) {
            csv.line({"+A1", "-1.5", "a\nb", "\n=1", "\r=1"});
            return Outcome();
        });
        QCOMPARE(line, QByteArray(kUtf8ByteOrderMark) + "'+A1;-1.5;\"a\nb\";\"'\n=1\";\"'\r=1\"\r\n");
    }

    // Worked by hand: ISO weeks across two year ends, a negative day, two records on one date, an
    // incomplete record, a total beyond a double (0), an impossible date and an empty one.
    void groups()
    {
        SummaryBuilder builder;
        const char *records[] = {
            "2025|12|28|1|480", "2025|12|29|1|-159", "2025|12|29|1|30", "2026|1|4|0|0",    "2026|12|31|1|45",
            "2026|12|31|1|inf", "2027|1|1|1|1",      "2027|1|4|1|600",  "2026|2|30|1|100", "||||0"};
        for (const char *record : records) {
            const QStringList f = QString::fromLatin1(record).split(QLatin1Char('|'));
            builder.add(f[0], f[1], f[2], f[3] == QLatin1String("1"), f[4].toDouble());
        }
        const HoursSummary summary = builder.finish();
        QCOMPARE(summaryCsv(summary, SummaryRows::Weeks),
                 QByteArray(kUtf8ByteOrderMark) +
                     "Anno ISO;Settimana;Dal;Al;Giorni;Incompleti;Minuti;Ore;Ore decimali\r\n"
                     "2025;52;22/12/2025;28/12/2025;1;0;480;8 h / 0 Min.;8,00\r\n"
                     "2026;1;29/12/2025;04/01/2026;1;1;-129;'-2 h / -9 Min.;-2,15\r\n"
                     "2026;53;28/12/2026;03/01/2027;2;0;46;0 h / 46 Min.;0,77\r\n"
                     "2027;1;04/01/2027;10/01/2027;1;0;600;10 h / 0 Min.;10,00\r\n"
                     "Data non valida;;;;1;1;100;1 h / 40 Min.;1,67\r\n"
                     "Totale;;;;6;2;1097;18 h / 17 Min.;18,28\r\n");
        const QByteArrayList months = summaryCsv(summary, SummaryRows::Months).split('\n');
        QCOMPARE(
            months.mid(1, 5),
            QByteArrayList({"2025;12;2;0;351;5 h / 51 Min.;5,85\r", "2026;1;0;1;0;0 h / 0 Min.;0,00\r",
                            "2026;12;1;0;45;0 h / 45 Min.;0,75\r", "2027;1;2;0;601;10 h / 1 Min.;10,02\r",
                            "Data non valida;;1;1;100;1 h / 40 Min.;1,67\r"}));
        // An empty archive: no row for dates not valid.
        QCOMPARE(summaryCsv(SummaryBuilder().finish(), SummaryRows::Months),
                 QByteArray(kUtf8ByteOrderMark) + "Anno;Mese;Giorni;Incompleti;Minuti;Ore;Ore decimali\r\n"
                                                  "Totale;;0;0;0;0 h / 0 Min.;0,00\r\n");
    }

    // A week that spans two months is labelled in each as the part it holds, so that neither
    // subtotal reads as the whole week's; ISO weeks of the year before or after included.
    void weekLabels_data()
    {
        QTest::addColumn<QDate>("month"); // its first day
        QTest::addColumn<QList<QDate>>("days");
        QTest::addColumn<QStringList>("weeks");
        QTest::newRow("a whole week") << QDate(2026, 3, 1) << QList<QDate>{{2026, 3, 2}, {2026, 3, 8}}
                                      << QStringList{"Settimana 10 del 2026"};
        QTest::newRow("begun in November") << QDate(2026, 12, 1) << QList<QDate>{{2026, 12, 1}, {2026, 12, 7}}
                                           << QStringList{"Settimana 49 (dal 1/12)", "Settimana 50 del 2026"};
        QTest::newRow("ending in December") << QDate(2026, 11, 1) << QList<QDate>{{2026, 11, 30}}
                                            << QStringList{"Settimana 49 (fino al 30/11)"};
        QTest::newRow("week 53 of the year before")
            << QDate(2027, 1, 1) << QList<QDate>{{2027, 1, 3}} << QStringList{"Settimana 53 (dal 1/1)"};
        QTest::newRow("week 1 of the next year") << QDate(2025, 12, 1) << QList<QDate>{{2025, 12, 31}}
                                                 << QStringList{"Settimana 1 (fino al 31/12)"};
    }

    void weekLabels()
    {
        QFETCH(QDate, month);
        QFETCH(QList<QDate>, days);
        QFETCH(QStringList, weeks);
        QList<SheetRecord> records;
        for (const QDate &day : days)
            records.append(SheetRecord{day, {}, {}, false, 0});
        const Sheet sheet = makeSheet(SheetKey{month.year(), month.month()}, records);
        QStringList labels;
        for (const SheetRow &row : sheet.rows) {
            if (row.kind == SheetRow::Kind::Week)
                labels << row.label;
        }
        QCOMPARE(labels, weeks);
    }

    // A subtotal's label longer than the day column takes the room of the times it has not: its
    // total stays under the column's heading.
    void longWeekLabelPrinted()
    {
        const Sheet sheet =
            makeSheet(SheetKey{2026, 11}, {SheetRecord{QDate(2026, 11, 30), {}, {}, false, 0}});
        const QStringList lines = timesheetLines(sheet);
        QCOMPARE(lines.value(4),
                 "Settimana 49 (fino al 30/11)" + QString(48, u' ') + "     0 h / 0 Min.         0,00");
    }

    // Every month's sheet comes from one read, laid out after the archive is closed: the first and
    // the last day of a month belong to it alone, dates in order, one date's records by number.
    void sheetsFromOneRead_data()
    {
        QTest::addColumn<int>("year");
        QTest::addColumn<int>("month");
        QTest::addColumn<QStringList>("rows"); // label|number|start of period 1|minutes
        QTest::newRow("February from the 1st to the 28th")
            << 2026 << 2 << QStringList{"dom 01/02/2026|3|8|120",           "dom 01/02/2026|5|14|60",
                                        "Settimana 5 (dal 1/2)|||180",      "sab 28/02/2026|1|8|240",
                                        "Settimana 9 (fino al 28/2)|||240", "Totale febbraio 2026|||420"};
        QTest::newRow("March 1st") << 2026 << 3
                                   << QStringList{"dom 01/03/2026|2|8|60", "Settimana 9 (dal 1/3)|||60",
                                                  "Totale marzo 2026|||60"};
        QTest::newRow("a month without records") << 2026 << 4 << QStringList{"Totale aprile 2026|||0"};
        QTest::newRow("no valid date, in number order")
            << 0 << 0 << QStringList{"30/2/2026|6|8|60", "x/2/2026|7|8 €|60", "Totale Data non valida|||120"};
    }

    void sheetsFromOneRead()
    {
        QFETCH(int, year);
        QFETCH(int, month);
        QFETCH(QStringList, rows);
        TempArchive temp;
        temp.insert(1, "28", "2", "2026", {"8", "12"});
        temp.insert(2, "1", "3", "2026", {"8", "9"});
        temp.insert(3, "1", "2", "2026", {"8", "10"});
        temp.insert(4, "31", "1", "2026", {"8", "11"});
        temp.insert(5, "1", "2", "2026", {"14", "15"});
        temp.insert(6, "30", "2", "2026", {"8", "9"});
        temp.insert(7, "x", "2", "2026", {"8 €", "9"}); // kept beyond Latin-1
        Outcome error;
        const auto archive = Archive::open(temp.path(), &error);
        SummarySheets sheets;
        QVERIFY(archive && !SummarySheets::read(*archive, &sheets));
        archive->close();
        QCOMPARE(sheets.summary().total.records, 7);
        const Sheet sheet = sheets.sheet({year, month});
        QStringList shown;
        for (const SheetRow &row : sheet.rows) {
            const bool day = row.kind == SheetRow::Kind::Day;
            const HoursRecord &r = sheet.records.value(day ? row.record : 0).record;
            shown << row.label + u'|' + (day ? r.numMov + u'|' + r.oraInizio1 : u"|"_s) + u'|' +
                         QString::number(row.totals.minutes);
        }
        QCOMPARE(shown, rows);
    }

    // The worked minutes of the balance, from a pass of their own and from the window's one read: a
    // date's records summed, one whose period 1 is incomplete counting 0 with its date kept, the
    // records without a real date left out.
    void workedMinutes()
    {
        TempArchive temp;
        temp.insert(1, "1", "2", "2026", {"8", "10"});
        temp.insert(2, "31", "1", "2026", {"", "11", "14", "18"});
        temp.insert(3, "1", "2", "2026", {"14", "15.30"});
        temp.insert(4, "30", "2", "2026", {"8", "9"});
        temp.insert(5, "2", "2", "2026", {"8", "9", "10", "12"});
        Outcome error;
        const auto archive = Archive::open(temp.path(), &error);
        QVERIFY(archive);
        const QMap<QDate, double> expected{
            {QDate(2026, 1, 31), 0}, {QDate(2026, 2, 1), 210}, {QDate(2026, 2, 2), 180}};
        QMap<QDate, double> worked;
        QVERIFY(!workedMinutesByDate(*archive, &worked).failed());
        QCOMPARE(worked, expected);
        SummarySheets sheets;
        QVERIFY(!SummarySheets::read(*archive, &sheets).failed());
        QCOMPARE(sheets.workedByDate(), expected);
    }

    // A CSV longer than the writer's buffer arrives whole and in order; one whose making fails leaves
    // the file that was there, and nothing beside it.
    void csvFile_data()
    {
        QTest::addColumn<bool>("fails");
        QTest::newRow("five thousand lines") << false;
        QTest::newRow("making it fails") << true;
    }

    void csvFile()
    {
        QFETCH(bool, fails);
        QTemporaryDir folder;
        const QString path = folder.filePath("ore.csv");
        QVERIFY(writeBytes(path, "vecchio"));
        QByteArray expected(kUtf8ByteOrderMark);
        for (int i = 1; i <= 5000; ++i)
            expected += "riga " + QByteArray::number(i) + ";\"a;b\"\r\n";
        const Outcome written = writeCsvFile(path, [&](CsvWriter &csv) {
            for (int i = 1; i <= 5000; ++i)
                csv.line({"riga " + QString::number(i), "a;b"});
            return fails ? Outcome::cancelledByUser() : Outcome();
        });
        QCOMPARE(written.cancelled(), fails);
        QCOMPARE(readBytes(path), fails ? QByteArray("vecchio") : expected);
        QCOMPARE(folderEntries(folder.path()), QStringList{"ore.csv"});
    }
};

QTEST_GUILESS_MAIN(TestSummary)
#include "tst_summary.moc"
