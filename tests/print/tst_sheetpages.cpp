#include "Files.h"
#include "PrivateCups.h"
#include "QtSheetPrinter.h"
#include "SheetPages.h"

#include <QLocale>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <numeric>

using namespace zelvaro;
using zelvaro::test::folderEntries;
using zelvaro::test::sbin;

namespace {

const QtSheetPrinter::Now fixedNow = [] { return QDateTime(QDate(2004, 3, 5), QTime(9, 15, 30)); };
const PrintDocument kDocument{"ZELVARO - foglio ore 04/2025", "ZELVARO_foglio_2025_04", "il foglio ore"};
const QString kPpd = QStringLiteral("/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd");

SignedSheetRow row(SignedSheetRow::Kind kind, const QStringList &cells, bool dayOff = false)
{
    return {kind, cells, dayOff};
}

SignedSheet sheetOf(const QList<SignedSheetRow> &rows, int closing = 2)
{
    SignedSheet sheet;
    sheet.title = "Foglio ore - aprile 2025";
    sheet.heading = QStringList{"Dipendente: Mario Rossi", "Datore di lavoro: Bianchi Costruzioni s.r.l.",
                                "Mese: aprile 2025"};
    sheet.columns = QStringList{"Giorno",   "Entrata",  "Uscita", "Entrata",          "Uscita",
                                "Lavorate", "Previste", "Saldo",  "Assenza/festività"};
    sheet.rows = rows;
    for (int i = 0; i < closing; ++i)
        sheet.closing.append(i == 0 ? "Saldo progressivo a inizio mese: +3:15"
                                    : "Saldo progressivo a fine mese: +4:45");
    sheet.printDate = "Stampato il 07/12/2026";
    return sheet;
}

QList<SignedSheetRow> dayRows(int count, const QString &absence = QString())
{
    QList<SignedSheetRow> rows;
    for (int i = 0; i < count; ++i)
        rows.append(
            row(SignedSheetRow::Kind::Day, {QString("gio %1/04").arg(i % 30 + 1, 2, 10, QChar('0')), "8:30",
                                            "12:30", "13:30", "17:30", "8:00", "8:00", "+0:00", absence}));
    return rows;
}

// April 2025: 30 days from a Tuesday, a Sunday off each week, 25 April a holiday, five weeks (the
// last one partial) and the month: 36 lines.
SignedSheet april2025()
{
    QList<SignedSheetRow> rows;
    for (int day = 1; day <= 30; ++day) {
        const QDate date(2025, 4, day);
        const bool off = date.dayOfWeek() == 7 || day == 25;
        const QString name = QLocale(QLocale::Italian).toString(date, "ddd dd/MM");
        rows.append(off ? row(SignedSheetRow::Kind::Day,
                              {name, "", "", "", "", "0:00", "0:00", "0:00", day == 25 ? "Liberazione" : ""},
                              true)
                        : row(SignedSheetRow::Kind::Day,
                              {name, "8:30", "12:30", "13:30", "17:45", "8:15", "8:00", "+0:15", ""}));
        if (date.dayOfWeek() == 7 || day == 30)
            rows.append(row(SignedSheetRow::Kind::Week, {QString("Settimana %1").arg(date.weekNumber()), "",
                                                         "", "", "", "", "", "+1:15", ""}));
    }
    rows.append(
        row(SignedSheetRow::Kind::Month, {"Totale mese", "", "", "", "", "173:15", "168:00", "+5:15", ""}));
    return sheetOf(rows);
}

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The text of each page of a PDF, laid out as printed.
QStringList pdfPages(const QString &path)
{
    QStringList pages = run("pdftotext", {"-layout", path, "-"}).split(u'\f');
    pages.removeLast(); // after the last page's form feed
    return pages;
}

} // namespace

Q_DECLARE_METATYPE(zelvaro::SignedSheet)
Q_DECLARE_METATYPE(zelvaro::SheetOrientation)

class TestSheetPages : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void paging_data();
    void paging();
    void columns_data();
    void columns();
    void pdf();
    void withoutPrinter();
    void withPrinter();

private:
    QTemporaryDir m_home;
};

// Nothing of the real home nor of the system's print service: CUPS is asked on a socket of the test's
// own, where no service listens unless a test starts one.
void TestSheetPages::initTestCase()
{
    QVERIFY(m_home.isValid());
    for (const char *name :
         {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR", "CUPS_SERVERROOT"})
        qputenv(name, m_home.path().toUtf8());
    qputenv("CUPS_SERVER", m_home.filePath("cups.sock").toUtf8());
    qunsetenv("LPDEST");
    qunsetenv("PRINTER");
}

void TestSheetPages::paging_data()
{
    QTest::addColumn<SignedSheet>("sheet");
    QTest::addColumn<QList<int>>("rows");    // on each page, A4 portrait
    QTest::addColumn<QList<int>>("closing"); // the signatures are on the last page

    QTest::newRow("a month of 30 days, 5 weeks and the total: one page")
        << april2025() << QList{36} << QList{2};
    QTest::newRow("31 days, 5 weeks, the total: one page") << sheetOf(dayRows(37)) << QList{37} << QList{2};
    QTest::newRow("120 lines: the first page shorter by the heading")
        << sheetOf(dayRows(120)) << QList{48, 53, 19} << QList{0, 0, 2};
    QTest::newRow("no room for the signatures: alone on a new page")
        << sheetOf(dayRows(45)) << QList{45, 0} << QList{2, 0};
    QTest::newRow("no room for the closing lines: they go with the signatures")
        << sheetOf(dayRows(48)) << QList{48, 0} << QList{0, 2};
    QTest::newRow("a full last page of lines")
        << sheetOf(dayRows(154)) << QList{48, 53, 53, 0} << QList{0, 0, 0, 2};
}

void TestSheetPages::paging()
{
    QFETCH(SignedSheet, sheet);
    QFETCH(QList<int>, rows);
    QFETCH(QList<int>, closing);

    const SheetLayout layout = layoutSheet(sheet);
    QCOMPARE(layout.page.orientation(), QPageLayout::Portrait);
    QList<int> gotRows, gotClosing;
    qsizetype row = 0, line = 0;
    for (const SheetPage &page : layout.pages) {
        QCOMPARE(page.firstRow, row); // every line once, in order
        QCOMPARE(page.firstClosing, line);
        QCOMPARE(page.signatures, &page == &layout.pages.last());
        gotRows.append(int(page.rowCount));
        gotClosing.append(int(page.closingCount));
        row += page.rowCount;
        line += page.closingCount;
    }
    QCOMPARE(gotRows, rows);
    QCOMPARE(gotClosing, closing);
}

void TestSheetPages::columns_data()
{
    QTest::addColumn<SignedSheet>("sheet");
    QTest::addColumn<SheetOrientation>("orientation");
    QTest::addColumn<QList<bool>>("right");
    QTest::addColumn<bool>("landscape");
    QTest::addColumn<qreal>("pointSize");

    const QList<bool> figures{false, true, true, true, true, true, true, true, false};
    QTest::newRow("times and balances right, the day and the absence left")
        << april2025() << SheetOrientation::TurnIfNeeded << figures << false << 9.0;
    SignedSheet mixed = april2025();
    mixed.rows[2].cells[1] = "Ferie"; // one text among times
    mixed.rows[3].cells[8] = "8:00";  // one time among texts
    QTest::newRow("each column as most of its cells")
        << mixed << SheetOrientation::TurnIfNeeded << figures << false << 9.0;
    const SignedSheet wide = sheetOf(dayRows(3, QString(60, u'x')));
    QTest::newRow("a little wider than portrait: upright, smaller")
        << sheetOf(dayRows(3, QString(40, u'x'))) << SheetOrientation::TurnIfNeeded << figures << false
        << 8.0;
    QTest::newRow("wider than portrait: landscape")
        << wide << SheetOrientation::TurnIfNeeded << figures << true << 9.0;
    QTest::newRow("wider than portrait, kept: smaller")
        << wide << SheetOrientation::KeepOrientation << figures << false << 6.6;
    QTest::newRow("wider than landscape: smaller")
        << sheetOf(dayRows(3, QString(120, u'x'))) << SheetOrientation::TurnIfNeeded << figures << true
        << 6.7;
}

// Every column as wide as its longest text, the table within the page's width.
void TestSheetPages::columns()
{
    QFETCH(SignedSheet, sheet);
    QFETCH(SheetOrientation, orientation);
    QFETCH(QList<bool>, right);
    QFETCH(bool, landscape);
    QFETCH(qreal, pointSize);

    const SheetLayout layout = layoutSheet(sheet, sheetPageLayout(), orientation);
    QCOMPARE(layout.rightAligned, right);
    QCOMPARE(layout.page.orientation() == QPageLayout::Landscape, landscape);
    QCOMPARE(layout.pointSize, pointSize);
    const qreal width = std::accumulate(layout.columnWidths.cbegin(), layout.columnWidths.cend(), 0.0);
    QVERIFY2(width <= layout.page.paintRect(QPageLayout::Point).width(), qPrintable(QString::number(width)));
}

// Through the printer's own PDF: what each page says, and a day as a line of its cells.
void TestSheetPages::pdf()
{
    if (sbin("pdftotext").isEmpty() || sbin("pdfinfo").isEmpty())
        QSKIP("poppler-utils is not installed");
    QTemporaryDir folder;
    QtSheetPrinter printer(folder.path(), fixedNow);
    printer.setOutputPdf(folder.filePath("mese.pdf"));
    const PrintResult month = printer.print(april2025(), kDocument);
    QVERIFY2(!month.failed(), qPrintable(month.text));
    QCOMPARE(month.pdfPath, folder.filePath("mese.pdf"));
    QVERIFY(run("pdfinfo", {month.pdfPath}).contains("595 x 842 pts")); // A4, portrait
    const QStringList pages = pdfPages(month.pdfPath);
    QCOMPARE(pages.size(), 1);
    for (const QString text : {"Foglio ore - aprile 2025", "Datore di lavoro: Bianchi Costruzioni s.r.l.",
                               "Saldo progressivo a fine mese: +4:45", "Firma del dipendente",
                               "Firma del responsabile", "Stampato il 07/12/2026", "Pagina 1 di 1"})
        QVERIFY2(pages.first().contains(text), qPrintable(text));
    for (const QStringList &cells :
         {QStringList{"mer 02/04", "8:30", "12:30", "13:30", "17:45", "8:15", "8:00", "+0:15"},
          QStringList{"ven 25/04", "0:00", "0:00", "0:00", "Liberazione"}}) {
        QStringList words;
        for (const QString &cell : cells)
            words.append(QRegularExpression::escape(cell));
        const QRegularExpression line("\\n *" + words.join(" +") + "\\n");
        QVERIFY2(pages.first().contains(line), qPrintable(pages.first()));
    }

    printer.setOutputPdf(folder.filePath("lungo.pdf"));
    const QStringList long3 = pdfPages(printer.print(sheetOf(dayRows(120)), kDocument).pdfPath);
    QCOMPARE(long3.size(), 3);
    for (int n = 0; n < 3; ++n) {
        QVERIFY(long3.at(n).contains(QString("Pagina %1 di 3").arg(n + 1)));
        QCOMPARE(long3.at(n).count("Assenza/festività"), 1); // the column headings above each page's lines
        QCOMPARE(long3.at(n).contains("Foglio ore"), n == 0);
        QCOMPARE(long3.at(n).contains("Firma del responsabile"), n == 2);
    }
}

// No printer at all: no dialog, the PDF in the folder, and the window's notice says where; a folder that
// cannot be written: a failure naming the file, and nothing left.
void TestSheetPages::withoutPrinter()
{
    QTemporaryDir folder;
    QtSheetPrinter printer(folder.path(), fixedNow);
    bool shown = false;
    printer.setDialogs(
        [&shown](QPrinter &, const std::function<void(QPrinter &)> &) { return !(shown = true); });
    const PrintResult result = printer.print(april2025(), kDocument);
    const QString pdf = folder.filePath("ZELVARO_foglio_2025_04_20040305_091530.pdf");
    QVERIFY2(!result.failed(), qPrintable(result.text));
    QCOMPARE(result.pdfPath, pdf);
    QCOMPARE(printNotice(result, kDocument),
             "Nessuna stampante disponibile: il foglio ore è stato salvato in " + pdf);
    QCOMPARE(folderEntries(folder.path()), QStringList{"ZELVARO_foglio_2025_04_20040305_091530.pdf"});
    QVERIFY(!shown);

    const QString blocked = folder.filePath("cartella"); // a file stands in its place
    QVERIFY(test::writeBytes(blocked, ""));
    printer.setPdfFolder(blocked);
    const PrintResult failed = printer.print(april2025(), kDocument);
    QCOMPARE(failed.code, kFileErrorCode);
    QCOMPARE(failed.text, "Impossibile salvare il foglio ore nel file " + blocked +
                              "/ZELVARO_foglio_2025_04_20040305_091530.pdf");
    QVERIFY(failed.pdfPath.isEmpty());
    QCOMPARE(folderEntries(folder.path()),
             (QStringList{"cartella", "ZELVARO_foglio_2025_04_20040305_091530.pdf"}));
}

// With a printer, the dialogs decide: closed, nothing is printed; confirmed for page 2 only, page 2
// alone reaches the printer (here its PDF output).
void TestSheetPages::withPrinter()
{
    if (sbin("cupsd").isEmpty() || sbin("lpadmin").isEmpty() || sbin("pdftotext").isEmpty() ||
        !QFileInfo::exists(kPpd))
        QSKIP("cups, cups-client, printer-driver-cups-pdf or poppler-utils are not installed");
    QTemporaryDir folder;
    test::PrivateCups cups;
    QVERIFY(cups.start(folder.filePath("cups"), m_home.filePath("cups.sock")));
    QVERIFY(test::cupsTool("lpadmin -p zelvaro -E -v cups-pdf:/ -P " + kPpd +
                           " -o job-hold-until-default=indefinite"));
    QtSheetPrinter printer(folder.path(), fixedNow);
    QString shown;
    printer.setDialogs([&](QPrinter &target, const std::function<void(QPrinter &)> &) {
        shown = target.printerName();
        return false;
    });
    const PrintResult closed = printer.print(sheetOf(dayRows(120)), kDocument);
    QVERIFY(closed.cancelled());
    QCOMPARE(shown, "zelvaro");
    QCOMPARE(folderEntries(folder.path()), QStringList{"cups"});

    const QString out = folder.filePath("pagina2.pdf");
    printer.setDialogs([&](QPrinter &target, const std::function<void(QPrinter &)> &paint) {
        target.setOutputFileName(out);
        target.setPrintRange(QPrinter::PageRange);
        target.setFromTo(2, 2);
        paint(target);
        return true;
    });
    const PrintResult printed = printer.print(sheetOf(dayRows(120)), kDocument);
    QVERIFY2(!printed.failed(), qPrintable(printed.text));
    QVERIFY(printed.pdfPath.isEmpty() && printNotice(printed, kDocument).isEmpty());
    const QStringList pages = pdfPages(out);
    QCOMPARE(pages.size(), 1);
    QVERIFY2(pages.first().contains("Pagina 2 di 3"), qPrintable(pages.first()));
}

QTEST_MAIN(TestSheetPages)
#include "tst_sheetpages.moc"
