#include "FakePrinter.h"
#include "Printout.h"
#include "TempArchive.h"

#include <QTest>

using namespace zelvaro;
using zelvaro::test::FakePrinter;
using zelvaro::test::TempArchive;

class TestPrintout : public QObject
{
    Q_OBJECT

    std::optional<TempArchive> m_temp;
    std::unique_ptr<Archive> m_archive;

private slots:
    // A first day without period 1, fewer periods after more, a number longer than its column, a day,
    // month and year cut or padded, times longer than six characters, an incomplete period 1 after
    // complete ones, durations wider than their columns.
    void init()
    {
        m_archive.reset();
        m_temp.emplace();
        m_temp->insert(1, "6", "3", "2004", {"", "", "9", "10"});
        m_temp->insert(7, "14", "11", "2005", {"8.30", "12.30", "14", "18.15"});
        m_temp->insert(123456, "123", "7", "", {"8.30", "12.30"});
        m_temp->insert(123457, "1", "1", "2006", {"0008.300", "12.30", "00013.45", "17", "20", "22"});
        m_temp->insert(123458, "5", "3", "2004", {"8.30", "12.30", "", "", "20", "22"});
        m_temp->insert(123459, "6", "3", "2004", {"", "", "9", "10"});
        m_temp->insert(123460, "7", "3", "2004", {"0.01", "99999.59"});
        Outcome error;
        m_archive = Archive::open(m_temp->path(), &error);
        QVERIFY2(m_archive, qPrintable(error.text));
    }

    // Each line of the list in number order, with each of its durations and the running total; a
    // second printout the same, its running total starting from nothing again.
    void lines()
    {
        FakePrinter printer;
        QVERIFY(!printHoursList(*m_archive, printer).failed());
        QVERIFY(!printHoursList(*m_archive, printer).failed());
        QCOMPARE(printer.documents.size(), 2);
        QCOMPARE(printer.documents.at(1), printer.documents.at(0));
        const QString day = QStringLiteral("  Tot.Giorno: "), week = QStringLiteral("  Tot.Settimana: ");
        // Period 1 incomplete: no day total; the running total empty before the first one, then kept.
        const QString noPeriod1 =
            QStringLiteral("                Tot.1:                     9     10  Tot.2:   1 h / 0 Min.");
        // clang-format off
        QCOMPARE(printer.documents.at(0), QStringList({
            "1     06/03/2004" + noPeriod1 + day + QString(14, u' ') + week + QString(15, u' '),
            "7     14/11/2005   8.30  12.30  Tot.1:   4 h / 0 Min.     14  18.15  Tot.2:  4 h / 15 Min." + day + " 8 h / 15 Min." + week + "  8 h / 15 Min.",
            "123456 23/07/0000   8.30  12.30" + day + "  4 h / 0 Min." + week + " 12 h / 15 Min.",
            "123457 01/01/2006 08.300  12.30  Tot.1:   4 h / 0 Min. 013.45     17  Tot.2:  3 h / 15 Min.     20     22  Tot.3:    2 h / 0 Min." + day + " 9 h / 15 Min." + week + " 21 h / 30 Min.",
            "123458 05/03/2004   8.30  12.30     20     22  Tot.3:    2 h / 0 Min." + day + "  6 h / 0 Min." + week + " 27 h / 30 Min.",
            "123459 06/03/2004" + noPeriod1 + day + QString(14, u' ') + week + " 27 h / 30 Min.",
            "123460 07/03/2004   0.01 999.59" + day + "99999 h / 58 Min." + week + "100027 h / 28 Min."}));
        // clang-format on
    }

    void failures()
    {
        FakePrinter printer;
        printer.result = PrintResult{{482, QStringLiteral("La stampante non risponde")}};
        PrintResult result = printHoursList(*m_archive, printer);
        QCOMPARE(result.code, 482); // the printer's failure is passed on
        QCOMPARE(result.text, QStringLiteral("La stampante non risponde"));

        // The archive fails past record 7: reported, and not half a list on paper.
        m_temp->failListingAbove(7);
        printer.documents.clear();
        result = printHoursList(*m_archive, printer);
        QVERIFY2(result.failed() && result.code != 482 && !result.text.isEmpty(), qPrintable(result.text));
        QVERIFY(printer.documents.isEmpty() && printer.current.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestPrintout)
#include "tst_printout.moc"
