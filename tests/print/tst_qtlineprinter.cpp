#include "Printout.h"
#include "QtLinePrinter.h"
#include "TempArchive.h"

#include <QDir>
#include <QFile>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace zelvaro;

namespace {

const QDateTime kWhen(QDate(2004, 3, 5), QTime(9, 15, 30));
const QtLinePrinter::Now fixedNow = [] { return kWhen; };

bool havePoppler()
{
    return !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty();
}

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The printed lines read back in fixed-pitch layout, without the page margins and blank lines.
QStringList pdfText(const QString &path, qreal pitch)
{
    QStringList lines;
    const QString fixed = QString::number(pitch, 'f', 6);
    for (const QString &line :
         run("pdftotext", {"-fixed", fixed, "-layout", path, "-"}).split(QRegularExpression("[\n\f]")))
        if (!line.trimmed().isEmpty())
            lines.append(line.trimmed());
    return lines;
}

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

} // namespace

class TestQtLinePrinter : public QObject
{
    Q_OBJECT
private slots:
    void endToEnd();
    void layout_data();
    void layout();
    void noPrinter();
};

// A small archive printed to a PDF through the real printer and read back, line by line.
void TestQtLinePrinter::endToEnd()
{
    if (!havePoppler())
        QSKIP("pdftotext and pdfinfo (poppler-utils) are not installed");
    // Mixed days, six-digit numbers, a running total past 1000 hours: landscape, several pages.
    const QStringList pattern{"7|12|13|17.45",           "8.30|17",      "||14|18", "22|12.30",
                              "6|8|9.15|12.45|20|23.59", "8|12|||20|22", ""};
    const int count = 400;
    test::TempArchive temp;
    QString sql = QStringLiteral("BEGIN;");
    for (int i = 0; i < count; ++i) {
        QStringList t = pattern.at(i % pattern.size()).split('|');
        t.resize(6);
        for (QString &time : t)
            time = time.isEmpty() ? QStringLiteral("NULL") : "'" + time + "'";
        const QString date = QDate(2004, 1, 1).addDays(i).toString(u"yyyy, M, d"); // ANNO, MESE, GIORNO
        sql += QStringLiteral("INSERT INTO MOV_MAG VALUES (%1, %2, %3, NULL);")
                   .arg(99950 + i)
                   .arg(date, t.join(','));
    }
    temp.exec(sql + QStringLiteral("COMMIT;"));
    ArchiveError error;
    const std::unique_ptr<Archive> archive = Archive::open(temp.path(), &error);
    QVERIFY2(archive, qPrintable(error.text));
    QStringList expected;
    QVERIFY(!hoursListLines(*archive, &expected).failed());

    const QString pdf = temp.folder() + QStringLiteral("/elenco.pdf");
    QtLinePrinter printer(temp.folder(), fixedNow);
    printer.setOutputPdf(pdf);
    const PrintResult result = printHoursList(*archive, printer);
    QVERIFY2(!result.failed(), qPrintable(result.text));
    QCOMPARE(result.pdfPath, pdf);

    const PrintLayout layout = printer.lastLayout();
    QVERIFY(layout.landscape);
    QVERIFY(layout.pages >= count / 100);
    const QString info = run("pdfinfo", {pdf}).simplified();
    QVERIFY2(info.contains(QStringLiteral("Pages: %1 ").arg(layout.pages)) && info.contains("842 x 595 pts"),
             qPrintable(info));
    const QStringList printed = pdfText(pdf, layout.pitch);
    QCOMPARE(printed.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i)
        QCOMPARE(printed.at(i), expected.at(i));
}

void TestQtLinePrinter::layout_data()
{
    QTest::addColumn<int>("length"); // of the longest line
    QTest::addColumn<bool>("landscape");

    QTest::newRow("short lines at 10 pt, portrait") << 40 << false;
    QTest::newRow("90 characters fit portrait") << 90 << false;
    QTest::newRow("150 characters turn the page") << 150 << true;
    QTest::newRow("600 characters still fit, however small") << 600 << true;
}

void TestQtLinePrinter::layout()
{
    QFETCH(int, length);
    QFETCH(bool, landscape);

    QTemporaryDir out;
    QtLinePrinter printer(out.path(), fixedNow);
    printer.setOutputPdf(out.filePath(QStringLiteral("layout.pdf")));
    printer.printLine(QStringLiteral("1 short line"));
    printer.printLine(QStringLiteral("2 ").leftJustified(length, QLatin1Char('x')));
    QVERIFY(!printer.endDocument(hoursListDocument()).failed());

    const PrintLayout layout = printer.lastLayout();
    QCOMPARE(layout.landscape, landscape);
    // The largest size, at most 10 pt, at which the line fits.
    const qreal width = layout.pitch * length;
    QVERIFY2(width <= layout.printableWidth && layout.pointSize <= 10 &&
                 (layout.pointSize == 10 || width > 0.98 * layout.printableWidth),
             qPrintable(QStringLiteral("%1 pt at %2 pt").arg(width).arg(layout.pointSize)));
}

void TestQtLinePrinter::noPrinter()
{
    if (!QPrinterInfo::availablePrinters().isEmpty())
        QSKIP("this machine has printers: the PDF fallback is not used");
    QTemporaryDir folder;
    QtLinePrinter printer(folder.path(), fixedNow);
    const PrintResult empty = printer.endDocument(hoursListDocument()); // an empty document writes nothing
    QVERIFY(!empty.failed() && entriesOf(folder.path()).isEmpty());

    printer.printLine(QStringLiteral("1     primo"));
    const PrintResult first = printer.endDocument(hoursListDocument());
    const QString name = QStringLiteral("ZELVARO_elenco_20040305_091530");
    QCOMPARE(first.pdfPath, QDir(folder.path()).absoluteFilePath(name + ".pdf"));
    QCOMPARE(pdfSavedMessage(first.pdfPath),
             QStringLiteral("Nessuna stampante disponibile: l'elenco è stato salvato in ") + first.pdfPath);
    QFile firstFile(first.pdfPath);
    QVERIFY(firstFile.open(QIODevice::ReadOnly));
    const QByteArray firstBytes = firstFile.readAll();
    QVERIFY(firstBytes.startsWith("%PDF-"));

    // A second printout in the same second gets a file of its own, with its own lines only.
    printer.printLine(QStringLiteral("2     secondo"));
    const PrintResult second = printer.endDocument(hoursListDocument());
    QCOMPARE(entriesOf(folder.path()), (QStringList{name + ".pdf", name + "_2.pdf"}));
    QCOMPARE(second.pdfPath, QDir(folder.path()).absoluteFilePath(name + "_2.pdf"));
    firstFile.seek(0);
    QCOMPARE(firstFile.readAll(), firstBytes);
    if (havePoppler())
        QCOMPARE(pdfText(second.pdfPath, printer.lastLayout().pitch), QStringList{"2     secondo"});

    // A folder that cannot be written (a file stands in its place): reported, nothing left behind.
    const QString blocked = folder.filePath(QStringLiteral("cartella"));
    QVERIFY(QFile(blocked).open(QIODevice::WriteOnly));
    QtLinePrinter blockedPrinter(blocked, fixedNow);
    blockedPrinter.printLine(QStringLiteral("1     primo"));
    const PrintResult failed = blockedPrinter.endDocument(hoursListDocument());
    QCOMPARE(failed.code, kPdfFileErrorCode);
    QVERIFY2(failed.text.startsWith("Impossibile salvare l'elenco nel file " + blocked),
             qPrintable(failed.text));
    QVERIFY(failed.pdfPath.isEmpty());
    QCOMPARE(entriesOf(folder.path()).size(), 3);
}

QTEST_MAIN(TestQtLinePrinter)
#include "tst_qtlineprinter.moc"
