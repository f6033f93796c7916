#include "FakePrinter.h"
#include "Printout.h"
#include "TempArchive.h"

#include <QRegularExpression>
#include <QTest>

using namespace zelvaro;
using zelvaro::test::FakePrinter;
using zelvaro::test::TempArchive;

namespace {

// Every duration the line prints, in order, without its padding: "1=4 h / 0 Min.;Giorno=...".
QString durationsOf(const QString &line)
{
    static const QRegularExpression segment(QStringLiteral(R"(Tot\.(\w+): *((?:-?\d+ h / -?\d+ Min\.)?))"));
    QStringList found;
    for (const QRegularExpressionMatch &m : segment.globalMatch(line))
        found.append(m.captured(1) + QLatin1Char('=') + m.captured(2));
    return found.join(QLatin1Char(';'));
}

} // namespace

class TestPrintout : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void durations();
    void failures();

private:
    std::optional<TempArchive> m_temp;
    std::unique_ptr<Archive> m_archive;
};

// Records 1, 2, 3... of 1, 2, 3... March 2004, from fewer periods after more to an incomplete
// period 1, that carry the running total over the hour.
void TestPrintout::init()
{
    m_archive.reset();
    m_temp.emplace();
    m_temp->insertDays(
        1, QDate(2004, 3, 1),
        {"8|12|13|17.45|20|21.15", "8|12.45", "8|9|||10|11.30", "||9|10", "8|8.45", "7.15|16.50"});
    ArchiveError error;
    m_archive = Archive::open(m_temp->path(), &error);
    QVERIFY2(m_archive, qPrintable(error.text));
}

// Each line of the list in number order with each of its durations; a second printout the same.
void TestPrintout::durations()
{
    FakePrinter printer;
    QVERIFY(!printHoursList(*m_archive, printer).failed());
    QVERIFY(!printHoursList(*m_archive, printer).failed());

    QCOMPARE(printer.documents.size(), 2);
    QCOMPARE(printer.documents.at(1), printer.documents.at(0)); // the running total starts from 0 again
    QStringList found;
    for (const QString &line : printer.documents.first())
        found << line.left(2) + durationsOf(line);
    QCOMPARE(found, QStringList({"1 1=4 h / 0 Min.;2=4 h / 45 Min.;3=1 h / 15 Min.;Giorno=10 h / 0 Min.;"
                                 "Settimana=10 h / 0 Min.",
                                 "2 Giorno=4 h / 45 Min.;Settimana=14 h / 45 Min.",
                                 "3 3=1 h / 30 Min.;Giorno=2 h / 30 Min.;Settimana=17 h / 15 Min.",
                                 "4 1=;2=1 h / 0 Min.;Giorno=;Settimana=17 h / 15 Min.",
                                 "5 Giorno=0 h / 45 Min.;Settimana=18 h / 0 Min.",
                                 "6 Giorno=9 h / 35 Min.;Settimana=27 h / 35 Min."}));
}

void TestPrintout::failures()
{
    FakePrinter printer;
    printer.result = PrintResult{482, QStringLiteral("La stampante non risponde"), QString()};
    PrintResult result = printHoursList(*m_archive, printer);
    QCOMPARE(result.code, 482); // the printer's failure is passed on
    QCOMPARE(result.text, QStringLiteral("La stampante non risponde"));

    // The archive fails at the second record: reported, and not half a list on paper.
    m_temp->failListingAbove(1);
    printer.documents.clear();
    result = printHoursList(*m_archive, printer);
    QVERIFY2(result.failed() && result.code != 482 && !result.text.isEmpty(), qPrintable(result.text));
    QVERIFY(printer.documents.isEmpty() && printer.current.isEmpty());
}

QTEST_GUILESS_MAIN(TestPrintout)
#include "tst_printout.moc"
