#include "Archive.h"
#include "FakePrinter.h"
#include "Fakes.h"
#include "Form2.h"
#include "QtLinePrinter.h"
#include "RiepilogoWindow.h"
#include "TempArchive.h"

#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>

#include <memory>

using namespace zelvaro;
using namespace zelvaro::test;
using namespace Qt::StringLiterals;

static QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class tst_Riepilogo : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempArchive> m_temp;
    std::unique_ptr<FakeServices> m_fakes;
    FakePrinter m_printer;
    std::unique_ptr<Archive> m_archive;
    std::unique_ptr<RiepilogoWindow> m_window;

    QTreeWidget *tree() const { return m_window->findChild<QTreeWidget *>(u"tvwPERIODI"_s); }
    QPushButton *button(const QString &name) const { return m_window->findChild<QPushButton *>(name); }
    // The periods as "name|days|hours|decimal hours", a month indented under its year.
    QStringList periods() const
    {
        QStringList lines;
        for (QTreeWidgetItemIterator it(tree()); *it; ++it)
            lines.append(((*it)->parent() ? u"  "_s : QString()) + (*it)->text(0) + u'|' + (*it)->text(1) +
                         u'|' + (*it)->text(2) + u'|' + (*it)->text(3));
        return lines;
    }
    // The chosen month's lines as "day|day total".
    QStringList days() const
    {
        auto *grid = m_window->findChild<QTableWidget *>(u"grdGIORNI"_s);
        QStringList lines;
        for (int row = 0; row < grid->rowCount(); ++row)
            lines.append(grid->item(row, 1)->text() + u'|' + grid->item(row, 8)->text());
        return lines;
    }
    void choose(const QString &period)
    {
        tree()->setCurrentItem(tree()->findItems(period, Qt::MatchExactly | Qt::MatchRecursive, 0).value(0));
    }

private slots:
    void init()
    {
        m_temp = std::make_unique<TempArchive>();
        m_fakes = std::make_unique<FakeServices>();
        m_printer = FakePrinter();
        m_temp->insert(1, u"27"_s, u"2"_s, u"2026"_s, {u"8"_s, u"12"_s});
        m_temp->insert(2, u"2"_s, u"3"_s, u"2026"_s, {u"8.30"_s, u"12.30"_s, u"13.30"_s, u"17.30"_s});
        m_temp->insert(3, u"3"_s, u"3"_s, u"2026"_s,
                       {u""_s, u"12"_s, u"14"_s, u"18"_s}); // period 1 incomplete
        m_temp->insert(4, u"9"_s, u"3"_s, u"2026"_s, {u"8"_s, u"12"_s});
        m_temp->insert(5, u"2"_s, u"3"_s, u"2026"_s, {u"18"_s, u"19"_s}); // the same date as record 2
        m_temp->insert(6, u"31"_s, u"4"_s, u"2026"_s, {u"8"_s, u"9"_s});
        ArchiveError error;
        m_archive = Archive::open(m_temp->path(), &error);
        QVERIFY2(m_archive, qPrintable(error.text));
        m_window = std::make_unique<RiepilogoWindow>(*m_archive, m_fakes->services(), m_printer);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void cleanup()
    {
        m_window.reset();
        QVERIFY2(m_fakes->messages.unexpected.isEmpty(), qPrintable(m_fakes->messages.unexpected.join(u'|')));
        QCOMPARE(m_fakes->messages.pending(), 0);
        QVERIFY(m_fakes->files.unexpected.isEmpty() && m_fakes->files.script.isEmpty());
        QVERIFY(!m_fakes->pointer.busy);
    }

    void followsHoursWindow()
    {
        const QStringList before{u"2026|3|17 h / 0 Min.|17,00"_s, u"  febbraio|1|4 h / 0 Min.|4,00"_s,
                                 u"  marzo|2|13 h / 0 Min.|13,00"_s,
                                 u"Data non valida|1|1 h / 0 Min.|1,00"_s};
        QCOMPARE(periods(), before);
        QCOMPARE(days(),
                 (QStringList{u"lun 02/03/2026|8 h / 0 Min."_s, u"lun 02/03/2026|1 h / 0 Min."_s,
                              u"mar 03/03/2026|incompleto"_s, u"Settimana 10 del 2026|9 h / 0 Min."_s,
                              u"lun 09/03/2026|4 h / 0 Min."_s, u"Settimana 11 del 2026|4 h / 0 Min."_s,
                              u"Totale marzo 2026|13 h / 0 Min."_s}));
        for (QWidget *control : m_window->findChildren<QWidget *>())
            QVERIFY2(control->focusPolicy() == Qt::NoFocus || !control->accessibleName().isEmpty(),
                     qPrintable(control->objectName()));

        m_fakes->clock.when = QDateTime(QDate(2026, 3, 10), QTime(18, 0));
        Form2 form(*m_archive, m_fakes->services(), m_printer);
        QTest::mouseClick(form.findChild<QPushButton *>(u"cmdNUOVO"_s), Qt::LeftButton);
        form.findChild<QLineEdit *>(u"txtORA_INIZIO1"_s)->setText(u"8"_s);
        form.findChild<QLineEdit *>(u"txtORA_FINE1"_s)->setText(u"10.30"_s);
        form.findChild<QLineEdit *>(u"txtORA_INIZIO2"_s)->clear();
        form.findChild<QLineEdit *>(u"txtORA_FINE2"_s)->clear();
        QTest::mouseClick(form.findChild<QPushButton *>(u"cmdCONFERMA"_s), Qt::LeftButton);
        QCOMPARE(periods().at(2), u"  marzo|3|15 h / 30 Min.|15,50"_s);
        QCOMPARE(days().mid(4, 3),
                 (QStringList{u"lun 09/03/2026|4 h / 0 Min."_s, u"mar 10/03/2026|2 h / 30 Min."_s,
                              u"Settimana 11 del 2026|6 h / 30 Min."_s}));

        auto *list = form.findChild<QListView *>(u"List1"_s);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualRect(list->model()->index(6, 0)).center());
        choose(u"febbraio"_s);
        m_fakes->messages.expect(MessageBoxService::Answer::Yes);
        QTest::mouseClick(form.findChild<QPushButton *>(u"Command1"_s), Qt::LeftButton);
        QCOMPARE(m_temp->rowCount(), 6);
        QCOMPARE(periods(), before);
        QCOMPARE(tree()->currentItem()->text(0), u"febbraio"_s); // the month chosen stays chosen
    }

    void timesheet()
    {
        QTest::keyClick(tree(), Qt::Key_Up); // the keyboard chooses February, then back to March
        QCOMPARE(days().constLast(), u"Totale febbraio 2026|4 h / 0 Min."_s);
        QTest::keyClick(tree(), Qt::Key_Down);
        QTest::mouseClick(button(u"cmdSTAMPA_FOGLIO"_s), Qt::LeftButton);
        QCOMPARE(m_printer.kinds.size(), 1);
        QCOMPARE(m_printer.kinds[0].title, u"ZELVARO - foglio ore 03/2026"_s);
        QCOMPARE(m_printer.kinds[0].pdfStem, u"ZELVARO_foglio_2026_03"_s);
        const QStringList lines = m_printer.documents[0];
        const QString noTimes(54, u' ');
        QCOMPARE(lines.size(), 13);
        QCOMPARE(lines[0], u"ZELVARO - Foglio ore marzo 2026"_s);
        QCOMPARE(lines[2], u"Giorno                 Inizio 1   Fine 1 Inizio 2   Fine 2 Inizio 3   Fine 3"
                           "           Totale Ore decimali"_s);
        QCOMPARE(lines[3], u"lun 02/03/2026             8.30    12.30    13.30    17.30                  "
                           "     8 h / 0 Min.         8,00"_s);
        QCOMPARE(lines[5], u"mar 03/03/2026                        12       14       18                  "
                           "       incompleto             "_s);
        QCOMPARE(lines[6], u"Settimana 10 del 2026 "_s + noTimes + u"     9 h / 0 Min.         9,00"_s);
        QCOMPARE(lines[11], u"Totale marzo 2026     "_s + noTimes + u"    13 h / 0 Min.        13,00"_s);
        QCOMPARE(lines[12], u"Giorni lavorati: 2"_s);

        const QString pdf = u"/tmp/ZELVARO_foglio_2026_03_20260310_180000.pdf"_s;
        m_printer.result = PrintResult{0, {}, pdf};
        m_fakes->messages.expectOk(2);
        QTest::mouseClick(button(u"cmdSTAMPA_FOGLIO"_s), Qt::LeftButton);
        m_printer.result = PrintResult{kPrinterErrorCode, u"La stampante non risponde"_s, {}};
        QTest::mouseClick(button(u"cmdSTAMPA_FOGLIO"_s), Qt::LeftButton);
        QCOMPARE(m_fakes->messages.texts(),
                 (QStringList{pdfSavedMessage(pdf), u"Errore  482 - La stampante non risponde\r\r"_s}));
        for (const QString &period : {u"2026"_s, u"Data non valida"_s}) {
            choose(period);
            QVERIFY(!button(u"cmdSTAMPA_FOGLIO"_s)->isEnabled());
        }
    }

    void exportCsv_data()
    {
        QTest::addColumn<QString>("answer"); // the file chosen: '@' stands for the archive's folder
        QTest::addColumn<QString>("message");
        QTest::newRow("written") << u"@/r.csv"_s << u"Il riepilogo ore è stato salvato in «@/r.csv»"_s;
        QTest::newRow("cancelled") << QString() << QString();
        QTest::newRow("never over the archive")
            << u"@/ZELVARO_97.mdb"_s
            << u"Errore  75 - «@/ZELVARO_97.mdb» è un archivio: non viene sovrascritto\r\r"_s;
    }

    void exportCsv()
    {
        QFETCH(QString, answer);
        QFETCH(QString, message);
        answer.replace(u'@', m_temp->folder());
        message.replace(u'@', m_temp->folder());
        m_fakes->files.script = QStringList{answer};
        m_fakes->messages.expectOk(!message.isEmpty());
        const QByteArray archive = readBytes(m_temp->path());
        QTest::mouseClick(button(u"cmdESPORTA_CSV"_s), Qt::LeftButton);
        QCOMPARE(m_fakes->files.asked.at(0).path, m_temp->folder() + u"/ZELVARO_riepilogo.csv"_s);
        QCOMPARE(m_fakes->messages.texts(), message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(readBytes(m_temp->path()), archive);
        if (answer.endsWith(u".csv"_s))
            QCOMPARE(readBytes(answer), QByteArray("\xEF\xBB\xBF"
                                                   "Anno;Mese;Giorni;Incompleti;Minuti;Ore;Ore decimali\r\n"
                                                   "2026;2;1;0;240;4 h / 0 Min.;4,00\r\n"
                                                   "2026;3;2;1;780;13 h / 0 Min.;13,00\r\n"
                                                   "Data non valida;;1;0;60;1 h / 0 Min.;1,00\r\n"
                                                   "Totale;;4;1;1080;18 h / 0 Min.;18,00\r\n"));
        QCOMPARE(QDir(m_temp->folder()).entryList(QDir::Files).size(), answer.endsWith(u".csv"_s) ? 2 : 1);
    }
};

QTEST_MAIN(tst_Riepilogo)
#include "tst_riepilogo.moc"
