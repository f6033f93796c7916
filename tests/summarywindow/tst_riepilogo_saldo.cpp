#include "Accessibility.h"
#include "Archive.h"
#include "BalanceTables.h"
#include "FakePrinter.h"
#include "FakeSheetPrinter.h"
#include "Fakes.h"
#include "RiepilogoWindow.h"
#include "TempArchive.h"
#include "WindowDriver.h"

#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>

using namespace zelvaro;
using namespace zelvaro::test;
using namespace Qt::StringLiterals;

// The summary window once contract hours exist. The archive: contract from 1/4/2025, 8 hours Monday
// to Friday; opening balance -2.15; worked 1/4 (9 h), 2/4 (8 h) and Easter Monday 21/4 (3 h); ferie on
// 3/4, recupero on 4/4 (8 h each), permesso 2 h on 3/6. Worked out by hand:
//   April: expected 20 working days x 8 h = 160 h, worked 20 h, absence 8 h, balance -132.00,
//          running -134.15; May: expected 21 days = 168 h (1 May is a holiday), running -302.15;
//   June 1-3 (1 a Sunday, 2 a holiday): expected 8 h, absence 2 h, balance -6.00, running -308.15.
class tst_RiepilogoSaldo : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempArchive> m_temp;
    std::unique_ptr<FakeServices> m_fakes;
    FakePrinter m_printer;
    FakeSheetPrinter m_sheetPrinter;
    std::unique_ptr<Archive> m_archive;
    std::unique_ptr<RiepilogoWindow> m_window;
    WindowDriver m_ui;

    QTreeWidget *tree() const { return m_ui.find<QTreeWidget>(u"tvwPERIODI"_s); }
    void choose(const QString &period)
    {
        tree()->setCurrentItem(tree()->findItems(period, Qt::MatchExactly | Qt::MatchRecursive).value(0));
    }
    // The grid's line whose day (or subtotal) is `label`: its times, worked hours and balance columns.
    QString line(const QString &label) const
    {
        const auto *grid = m_ui.find<QTableWidget>(u"grdGIORNI"_s);
        for (int r = 0; r < grid->rowCount(); ++r) {
            if (grid->item(r, 1)->text() != label)
                continue;
            QStringList cells;
            for (int c : {0, 2, 3, 8, 10, 11, 12, 13, 14})
                cells.append(grid->item(r, c)->text());
            return cells.join(u'|');
        }
        return u"(manca)"_s;
    }

    // The contract, the settings and the absences, saved as the tools save them; the window hears of it.
    void addBalance()
    {
        BalanceTables tables(*m_archive);
        bool replaced = false;
        QVERIFY(!tables.saveContractEntry({QDate(2025, 4, 1), {480, 480, 480, 480, 480, 0, 0}}, &replaced)
                     .failed());
        QVERIFY(!tables.saveSettings({u"Maria Rossi"_s, u"Officine Bianchi"_s, std::nullopt, -135}).failed());
        int count = 0;
        QVERIFY(!tables
                     .saveAbsences({{QDate(2025, 4, 3), {AbsenceType::Ferie, 480}},
                                    {QDate(2025, 4, 4), {AbsenceType::Recupero, 480}},
                                    {QDate(2025, 6, 3), {AbsenceType::Permesso, 120}}},
                                   &count)
                     .failed());
        emit m_fakes->events.changed();
    }

private slots:
    void init()
    {
        m_temp = std::make_unique<TempArchive>();
        m_fakes = std::make_unique<FakeServices>();
        m_fakes->clock.when = QDateTime(QDate(2025, 7, 1), QTime(9, 0));
        m_sheetPrinter = FakeSheetPrinter();
        m_temp->insert(1, u"1"_s, u"4"_s, u"2025"_s, {u"8"_s, u"17"_s});
        m_temp->insert(2, u"2"_s, u"4"_s, u"2025"_s, {u"8"_s, u"16"_s});
        m_temp->insert(3, u"21"_s, u"4"_s, u"2025"_s, {u"9"_s, u"12"_s});
        Outcome error;
        m_archive = Archive::open(m_temp->path(), &error);
        QVERIFY2(m_archive, qPrintable(error.text));
        m_window =
            std::make_unique<RiepilogoWindow>(*m_archive, m_fakes->services(), m_printer, m_sheetPrinter);
        m_ui = WindowDriver(m_window.get());
    }

    void cleanup()
    {
        m_window.reset();
        QCOMPARE(m_fakes->messages.unexpected, QStringList());
    }

    // Without contract hours the window is as it always was; the first contract entry saved
    // elsewhere brings the balance in, months without records included.
    void treeFollowsContract()
    {
        QCOMPARE(tree()->columnCount(), 4);
        QCOMPARE(m_ui.rows(u"tvwPERIODI"_s, {0, 1}), (QStringList{u"2025|3"_s, u"  aprile|3"_s}));

        addBalance();

        QCOMPARE(tree()->columnCount(), 8);
        QCOMPARE(unnamedControls(m_window.get()), QStringList());
        QCOMPARE(m_ui.rows(u"tvwPERIODI"_s, {0, 1, 4, 5, 6, 7}),
                 (QStringList{
                     u"2025|3|336.00|10.00|-306.00|-308.15"_s, u"  aprile|3|160.00|8.00|-132.00|-134.15"_s,
                     u"  maggio|0|168.00|0.00|-168.00|-302.15"_s, u"  giugno|0|8.00|2.00|-6.00|-308.15"_s}));
        QCOMPARE(tree()->currentItem()->text(0), u"aprile"_s); // the month chosen stays chosen

        // Every day of April: holidays by name, absences by type, the days after the last one
        // counted without figures; each week's part inside the month.
        QCOMPARE(m_ui.find<QTableWidget>(u"grdGIORNI"_s)->rowCount(), 30 + 5 + 1);
        QCOMPARE(line(u"mar 01/04/2025"_s), u"1|8|17|9 h / 0 Min.|||8.00|1.00|"_s);
        QCOMPARE(line(u"gio 03/04/2025"_s), u"||||Ferie|8.00|8.00|0.00|"_s);
        QCOMPARE(line(u"ven 04/04/2025"_s), u"||||Recupero|8.00|8.00|-8.00|"_s);
        QCOMPARE(line(u"sab 05/04/2025"_s), u"||||Riposo||0.00|0.00|"_s);
        QCOMPARE(line(u"lun 21/04/2025"_s), u"3|9|12|3 h / 0 Min.|Lunedì dell'Angelo||0.00|3.00|"_s);
        QCOMPARE(line(u"ven 25/04/2025"_s), u"||||Festa della Liberazione||0.00|0.00|"_s);
        QCOMPARE(line(u"Settimana 14 (dal 1/4)"_s), u"|||17 h / 0 Min.||8.00|32.00|-7.00|-9.15"_s);
        QCOMPARE(line(u"Settimana 17 del 2025"_s), u"|||3 h / 0 Min.||0.00|24.00|-21.00|-110.15"_s);
        QCOMPARE(line(u"Settimana 18 (fino al 30/4)"_s), u"|||0 h / 0 Min.||0.00|24.00|-24.00|-134.15"_s);
        QCOMPARE(line(u"Totale aprile 2025"_s), u"|||20 h / 0 Min.||8.00|160.00|-132.00|-134.15"_s);
    }

    // A value the program never writes in the balance's tables is reported by name; the hours are
    // shown all the same, without the balance.
    void damagedBalanceTables()
    {
        addBalance();
        QVERIFY(
            SqlFile(m_temp->path()).exec(u"UPDATE ASSENZE SET TIPO = 'vacanza' WHERE DATA = '2025-04-03'"_s));
        m_fakes->messages.expectOk();
        emit m_fakes->events.changed();
        QCOMPARE(m_fakes->messages.shown.size(), 1);
        QVERIFY2(m_fakes->messages.shown.at(0).text.contains(u"ASSENZE"_s),
                 qPrintable(m_fakes->messages.shown.at(0).text));
        QCOMPARE(m_ui.rows(u"tvwPERIODI"_s, {0, 1}), (QStringList{u"2025|3"_s, u"  aprile|3"_s}));
        QCOMPARE(tree()->columnCount(), 4);
    }

    // "Stampa foglio ore" with contract hours: the timesheet to sign of the month chosen, through the
    // print preview; a cancelled print says nothing. Without them the hours list printer has it.
    void timesheetToSign()
    {
        addBalance();
        choose(u"giugno"_s);
        m_sheetPrinter.result = PrintResult::from(Outcome::cancelledByUser());
        m_ui.click(u"cmdSTAMPA_FOGLIO"_s);
        QCOMPARE(m_sheetPrinter.sheets.size(), 1);
        QVERIFY(m_printer.documents.isEmpty());
        const SignedSheet &sheet = m_sheetPrinter.sheets.at(0);
        QCOMPARE(sheet.title, u"Foglio ore - giugno 2025"_s);
        QCOMPARE(sheet.heading,
                 (QStringList{u"Dipendente: Maria Rossi"_s, u"Datore di lavoro: Officine Bianchi"_s,
                              u"Mese: giugno 2025"_s}));
        QCOMPARE(sheet.columns.join(u'|'),
                 u"Giorno|Orari|Lavorate|Festività / assenza|Ore assenza|Ore previste|Saldo"_s);
        QCOMPARE(sheet.rows.size(), 30 + 6 + 1); // 1 June closes week 22, 30 June opens week 27
        QCOMPARE(sheet.rows.at(0).cells.join(u'|'), u"dom 01/06/2025|||Riposo||0.00|0.00"_s);
        QCOMPARE(sheet.rows.at(3).cells.join(u'|'), u"mar 03/06/2025|||Permesso|2.00|8.00|-6.00"_s);
        QCOMPARE(sheet.rows.at(1).cells.at(0), u"Settimana 22 (dal 1/6)"_s);
        QCOMPARE(sheet.rows.constLast().cells.join(u'|'), u"Totale giugno 2025||0.00||2.00|8.00|-6.00"_s);
        // After 3 June, the last day with records or an absence, the days are not counted.
        QCOMPARE(sheet.rows.at(4).cells.mid(5), (QStringList{u""_s, u""_s}));
        QCOMPARE((QList<bool>{sheet.rows.at(0).dayOff, sheet.rows.at(2).dayOff, sheet.rows.at(3).dayOff}),
                 (QList<bool>{true, true, false}));
        QCOMPARE(sheet.closing, (QStringList{u"Saldo progressivo a inizio mese: -302.15"_s,
                                             u"Saldo progressivo a fine mese: -308.15"_s}));
        QCOMPARE(sheet.printDate, u"Stampato il 01/07/2025"_s);
        QCOMPARE(m_sheetPrinter.documents.at(0).pdfStem, u"ZELVARO_foglio_2025_06"_s);

        // On paper a day's periods share a column, and the hours worked are written as the other figures.
        choose(u"aprile"_s);
        m_ui.click(u"cmdSTAMPA_FOGLIO"_s);
        QCOMPARE(m_sheetPrinter.sheets.at(1).rows.at(0).cells.mid(0, 3).join(u'|'),
                 u"mar 01/04/2025|8-17|9.00"_s);
    }
};

QTEST_MAIN(tst_RiepilogoSaldo)
#include "tst_riepilogo_saldo.moc"
