#include "Accessibility.h"
#include "Archive.h"
#include "BalanceTables.h"
#include "FakePrinter.h"
#include "FakeSheetPrinter.h"
#include "Fakes.h"
#include "Files.h"
#include "Form2.h"
#include "MDIForm1.h"
#include "QtLinePrinter.h"
#include "RiepilogoWindow.h"
#include "TempArchive.h"
#include "WindowDriver.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QMdiSubWindow>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>

using namespace zelvaro;
using namespace zelvaro::test;
using namespace Qt::StringLiterals;

class tst_Riepilogo : public QObject
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
    QStringList periods() const { return m_ui.rows(u"tvwPERIODI"_s, {0, 1, 2, 3}); }
    QStringList days() const { return m_ui.rows(u"grdGIORNI"_s, {1, 8}); }
    void choose(const QString &period)
    {
        tree()->setCurrentItem(tree()->findItems(period, Qt::MatchExactly | Qt::MatchRecursive).value(0));
    }

    // The window on the archive of m_temp.
    void openWindow()
    {
        Outcome error;
        m_archive = Archive::open(m_temp->path(), &error);
        QVERIFY2(m_archive, qPrintable(error.text));
        m_window =
            std::make_unique<RiepilogoWindow>(*m_archive, m_fakes->services(), m_printer, m_sheetPrinter);
        m_ui = WindowDriver(m_window.get());
    }

    // The archive of the balance's cases, without its tables yet: worked 1/4 (9 h), 2/4 (8 h) and
    // Easter Monday 21/4 (3 h) of 2025.
    void openBalanceArchive()
    {
        m_window.reset();
        m_archive.reset();
        m_temp = std::make_unique<TempArchive>();
        m_fakes->clock.when = QDateTime(QDate(2025, 7, 1), QTime(9, 0));
        m_temp->insert(1, u"1"_s, u"4"_s, u"2025"_s, {u"8"_s, u"17"_s});
        m_temp->insert(2, u"2"_s, u"4"_s, u"2025"_s, {u"8"_s, u"16"_s});
        m_temp->insert(3, u"21"_s, u"4"_s, u"2025"_s, {u"9"_s, u"12"_s});
        openWindow();
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
        m_printer = FakePrinter();
        m_sheetPrinter = FakeSheetPrinter();
        // Record 3 has period 1 incomplete, record 5 the date of record 2, record 6 no real date.
        const QString y = u"2026"_s;
        m_temp->insert(1, u"27"_s, u"2"_s, y, {u"8"_s, u"12"_s});
        m_temp->insert(2, u"2"_s, u"3"_s, y, {u"8.30"_s, u"12.30"_s, u"13.30"_s, u"17.30"_s});
        m_temp->insert(3, u"3"_s, u"3"_s, y, {u""_s, u"12"_s, u"14"_s, u"18"_s});
        m_temp->insert(4, u"9"_s, u"3"_s, y, {u"8"_s, u"12"_s});
        m_temp->insert(5, u"2"_s, u"3"_s, y, {u"18"_s, u"19"_s});
        m_temp->insert(6, u"31"_s, u"4"_s, y, {u"8"_s, u"9"_s});
        openWindow();
    }

    void cleanup()
    {
        m_window.reset();
        QCOMPARE(m_fakes->messages.unexpected + m_fakes->files.unexpected, QStringList());
        QVERIFY(m_fakes->messages.pending() == 0 && !m_fakes->pointer.busy);
    }

    void followsHoursWindow()
    {
        const QStringList before{u"2026|3|17 h / 0 Min.|17,00"_s, u"  febbraio|1|4 h / 0 Min.|4,00"_s,
                                 u"  marzo|2|13 h / 0 Min.|13,00"_s,
                                 u"Data non valida|1|1 h / 0 Min.|1,00"_s};
        QCOMPARE(periods(), before);
        QCOMPARE(unnamedControls(m_window.get()), QStringList());

        m_fakes->clock.when = QDateTime(QDate(2026, 3, 10), QTime(18, 0));
        Form2 form(*m_archive, m_fakes->services(), m_printer); // its boxes show record 6: 8 to 9
        const WindowDriver hours(&form);
        hours.click(u"cmdNUOVO"_s);
        hours.box(u"txtORA_FINE1"_s)->setText(u"10.30"_s);
        hours.click(u"cmdCONFERMA"_s);
        QCOMPARE(periods().at(2), u"  marzo|3|15 h / 30 Min.|15,50"_s);
        QCOMPARE(days().mid(5, 2),
                 (QStringList{u"mar 10/03/2026|2 h / 30 Min."_s, u"Settimana 11 del 2026|6 h / 30 Min."_s}));

        hours.pick(6);
        choose(u"febbraio"_s);
        m_fakes->messages.expect(MessageBoxService::Answer::Yes);
        hours.click(u"Command1"_s);
        QCOMPARE(periods(), before);
        QCOMPARE(tree()->currentItem()->text(0), u"febbraio"_s); // the month chosen stays chosen
    }

    // Opened from the menu beside the hours window, the window starts on the tree and Tab goes round
    // its controls in order; a screen reader reads the line above the grid as it reads.
    void keyboardAndScreenReader()
    {
        const Services services = m_fakes->services();
        MDIForm1 main(*m_archive, services,
                      [&](QWidget *parent) { return new Form2(*m_archive, services, m_printer, parent); });
        main.setSummaryWindowFactory([&](QWidget *parent) {
            return new RiepilogoWindow(*m_archive, services, m_printer, m_sheetPrinter, parent);
        });
        main.MENU0103_Click();
        main.show();
        QApplication::setActiveWindow(&main);
        QVERIFY(QTest::qWaitForWindowActive(&main));
        QStringList reached;
        for (int press = 0; press < 5; ++press) {
            QWidget *focus = QApplication::focusWidget();
            QVERIFY(focus);
            reached << focus->objectName();
            QTest::keyClick(focus, Qt::Key_Tab);
        }
        QCOMPARE(reached, (QStringList{u"tvwPERIODI"_s, u"grdGIORNI"_s, u"cmdSTAMPA_FOGLIO"_s,
                                       u"cmdESPORTA_CSV"_s, u"tvwPERIODI"_s}));
        const QLabel *caption = main.summaryWindow()->findChild<QLabel *>(u"lblPERIODO"_s);
        QCOMPARE(
            QAccessible::queryAccessibleInterface(const_cast<QLabel *>(caption))->text(QAccessible::Name),
            u"marzo 2026 - Giorni: 2 - Ore: 13 h / 0 Min. (13,00) - Incompleti: 1"_s);
    }

    // Records added meanwhile: each year its own line with its own days and hours; the period chosen
    // shows its records, those without a valid date with their field texts, to be found and corrected.
    void treeAndDays_data()
    {
        QTest::addColumn<QStringList>("added"); // "number|day|month|year|start 1|end 1"
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QStringList>("tree");
        QTest::addColumn<QStringList>("days"); // number, day, start 1, end 1, day total, decimal hours
        const QString feb = u"  febbraio|1|4 h / 0 Min.|4,00"_s, mar = u"  marzo|2|13 h / 0 Min.|13,00"_s;
        // clang-format off
        QTest::newRow("two years")
            << QStringList{u"7|28|12|2025|8|12.15"_s, u"8|30|12|2025|14|16.30"_s, u"9|28|12|2026|9|10"_s} << u"dicembre"_s
            << QStringList{u"2025|2|6 h / 45 Min.|6,75"_s, u"  dicembre|2|6 h / 45 Min.|6,75"_s, u"2026|4|18 h / 0 Min.|18,00"_s,
                           feb, mar, u"  dicembre|1|1 h / 0 Min.|1,00"_s, u"Data non valida|1|1 h / 0 Min.|1,00"_s}
            << QStringList{u"7|dom 28/12/2025|8|12.15|4 h / 15 Min.|4,25"_s, u"|Settimana 52 del 2025|||4 h / 15 Min.|4,25"_s,
                           u"8|mar 30/12/2025|14|16.30|2 h / 30 Min.|2,50"_s, u"|Settimana 1 (fino al 31/12)|||2 h / 30 Min.|2,50"_s,
                           u"|Totale dicembre 2025|||6 h / 45 Min.|6,75"_s};
        QTest::newRow("Data non valida")
            << QStringList{u"10|29|2|2025|8|12"_s, u"11|1|13|2026||12"_s} << u"Data non valida"_s
            << QStringList{u"2026|3|17 h / 0 Min.|17,00"_s, feb, mar, u"Data non valida|2|5 h / 0 Min.|5,00"_s}
            << QStringList{u"6|31/4/2026|8|9|1 h / 0 Min.|1,00"_s, u"10|29/2/2025|8|12|4 h / 0 Min.|4,00"_s,
                           u"11|1/13/2026||12|incompleto|"_s, u"|Totale Data non valida|||5 h / 0 Min.|5,00"_s};
        // clang-format on
    }

    void treeAndDays()
    {
        QFETCH(QStringList, added);
        QFETCH(QString, chosen);
        QFETCH(QStringList, tree);
        QFETCH(QStringList, days);
        for (const QString &record : added) {
            const QStringList f = record.split(u'|');
            m_temp->insert(f[0].toLongLong(), f[1], f[2], f[3], {f[4], f[5]});
        }
        emit m_fakes->events.changed(); // as the hours window says after a change
        choose(chosen);
        QCOMPARE(periods(), tree);
        QCOMPARE(m_ui.rows(u"grdGIORNI"_s, {0, 1, 2, 3, 8, 9}), days);
    }

    void printAndExport()
    {
        m_ui.click(u"cmdSTAMPA_FOGLIO"_s);
        const PrintDocument document = m_printer.kinds.value(0);
        QCOMPARE(document.title + u' ' + document.pdfStem,
                 u"ZELVARO - foglio ore 03/2026 ZELVARO_foglio_2026_03"_s);
        const QStringList lines = m_printer.documents.value(0);
        const QString noTimes(54, u' ');
        QCOMPARE(lines.value(0), u"ZELVARO - Foglio ore marzo 2026"_s);
        // clang-format off
        QCOMPARE(lines.mid(2, 4), (QStringList{
            u"Giorno                 Inizio 1   Fine 1 Inizio 2   Fine 2 Inizio 3   Fine 3           Totale Ore decimali"_s,
            u"lun 02/03/2026             8.30    12.30    13.30    17.30                       8 h / 0 Min.         8,00"_s,
            u"lun 02/03/2026               18       19                                         1 h / 0 Min.         1,00"_s,
            u"mar 03/03/2026                        12       14       18                         incompleto             "_s}));
        // clang-format on
        QCOMPARE(lines.value(6), u"Settimana 10 del 2026 "_s + noTimes + u"     9 h / 0 Min.         9,00"_s);
        QCOMPARE(lines.value(11),
                 u"Totale marzo 2026     "_s + noTimes + u"    13 h / 0 Min.        13,00"_s);
        QCOMPARE(lines.value(12), u"Giorni lavorati: 2"_s);
        const QString pdf = u"/tmp/ZELVARO_foglio_2026_03_20260310_180000.pdf"_s;
        m_fakes->messages.expectOk(3);
        m_printer.result = PrintResult{{}, pdf};
        m_ui.click(u"cmdSTAMPA_FOGLIO"_s);
        m_printer.result = PrintResult{{kPrinterErrorCode, u"La stampante non risponde"_s}};
        m_ui.click(u"cmdSTAMPA_FOGLIO"_s);

        const QString csv = m_temp->folder() + u"/r.csv"_s;
        m_fakes->files.script = QStringList{csv};
        m_ui.click(u"cmdESPORTA_CSV"_s);
        // First in the documents folder, then where the user saved last.
        m_fakes->files.script = QStringList{QString()};
        m_ui.click(u"cmdESPORTA_CSV"_s);
        QCOMPARE(m_fakes->files.proposed, (QStringList{u"/documenti/ZELVARO_riepilogo.csv"_s,
                                                       m_temp->folder() + u"/ZELVARO_riepilogo.csv"_s}));
        QCOMPARE(m_fakes->messages.texts(),
                 (QStringList{u"Nessuna stampante disponibile: il foglio ore è stato salvato in "_s + pdf,
                              u"Errore  482 - La stampante non risponde\r\r"_s,
                              u"Il riepilogo ore è stato salvato in «"_s + csv + u'»'}));
        // The whole archive by month, as "zelvaro-archivio riepilogo" writes it.
        QVERIFY(readBytes(csv).endsWith(
            "2026;3;2;1;780;13 h / 0 Min.;13,00\r\nData non valida;;1;0;60;1 h / 0 Min.;"
            "1,00\r\nTotale;;4;1;1080;18 h / 0 Min.;18,00\r\n"));
        // "Annulla" while the summary is read: the file left byte for byte as it was, nothing said.
        const QByteArray written = readBytes(csv);
        m_fakes->files.script = QStringList{csv};
        m_fakes->progress.cancelWhen = [](qint64 done, qint64) { return done >= 2; };
        m_ui.click(u"cmdESPORTA_CSV"_s);
        QVERIFY(m_fakes->progress.cancelled);
        QCOMPARE(readBytes(csv), written);
        QCOMPARE(folderEntries(m_temp->folder()), (QStringList{u"r.csv"_s, u"ZELVARO_97.mdb"_s}));
        choose(u"Data non valida"_s); // printed only by month
        QVERIFY(!m_ui.button(u"cmdSTAMPA_FOGLIO"_s)->isEnabled());
    }

    // The balance's cases: the archive of openBalanceArchive(), given by addBalance() a contract
    // from 1/4/2025, 8 hours Monday to Friday, an opening balance of -2.15, ferie on 3/4 and recupero
    // on 4/4 (8 h each), permesso 2 h on 3/6. Worked out by hand:
    //   April: expected 20 working days x 8 h = 160 h, worked 20 h, absence 8 h, balance -132.00,
    //          running -134.15; May: expected 21 days = 168 h (1 May is a holiday), running -302.15;
    //   June 1-3 (1 a Sunday, 2 a holiday): expected 8 h, absence 2 h, balance -6.00, running -308.15.

    // Without contract hours the window is as it always was; the first contract entry saved
    // elsewhere brings the balance in, months without records included.
    void treeFollowsContract()
    {
        openBalanceArchive();
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
        openBalanceArchive();
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
        openBalanceArchive();
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

QTEST_MAIN(tst_Riepilogo)
#include "tst_riepilogo.moc"
