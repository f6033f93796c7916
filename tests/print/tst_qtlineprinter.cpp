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

#include <memory>

using namespace zelvaro;
using zelvaro::test::TempArchive;

namespace {

using Days = QList<QStringList>;

QtLinePrinter::Now fixedNow(const QDateTime &when)
{
    return [when] { return when; };
}

const QDateTime kWhen(QDate(2004, 3, 5), QTime(9, 15, 30));

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The text of a PDF read back in fixed-pitch layout, one entry per printed line, the left margin
// removed (every printed line starts with a non-blank record number).
QStringList pdfText(const QString &path, qreal pitch)
{
    const QString text =
        run(QStringLiteral("pdftotext"), {QStringLiteral("-fixed"), QString::number(pitch, 'f', 6),
                                          QStringLiteral("-layout"), path, QStringLiteral("-")});
    QStringList lines;
    for (const QString &page : text.split(QLatin1Char('\f'))) {
        QStringList pageLines = page.split(QLatin1Char('\n'));
        while (!pageLines.isEmpty() && pageLines.last().trimmed().isEmpty())
            pageLines.removeLast();
        lines += pageLines;
    }
    qsizetype margin = -1;
    for (const QString &line : std::as_const(lines)) {
        const qsizetype blanks = line.indexOf(QRegularExpression(QStringLiteral("\\S")));
        if (blanks >= 0 && (margin < 0 || blanks < margin))
            margin = blanks;
    }
    for (QString &line : lines)
        line.remove(0, margin);
    return lines;
}

struct PdfInfo
{
    int pages = 0;
    qreal width = 0, height = 0; // of the first page, in points
};

PdfInfo pdfInfo(const QString &path)
{
    const QString text = run(QStringLiteral("pdfinfo"), {path});
    PdfInfo info;
    const auto pages =
        QRegularExpression(QStringLiteral("^Pages:\\s+(\\d+)"), QRegularExpression::MultilineOption)
            .match(text);
    const auto size = QRegularExpression(QStringLiteral("^Page size:\\s+([\\d.]+) x ([\\d.]+) pts"),
                                         QRegularExpression::MultilineOption)
                          .match(text);
    if (pages.hasMatch())
        info.pages = pages.captured(1).toInt();
    if (size.hasMatch()) {
        info.width = size.captured(1).toDouble();
        info.height = size.captured(2).toDouble();
    }
    return info;
}

bool havePoppler()
{
    return !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty();
}

QString sqlText(const QString &value)
{
    if (value.isEmpty())
        return QStringLiteral("NULL");
    return QLatin1Char('\'') + QString(value).replace(QLatin1Char('\''), QStringLiteral("''")) +
           QLatin1Char('\'');
}

// `count` records numbered from `firstNumber`, on consecutive days, cycling through `pattern`.
void fillArchive(const TempArchive &archive, int count, qint64 firstNumber, const Days &pattern)
{
    QString sql = QStringLiteral("BEGIN;");
    for (int i = 0; i < count; ++i) {
        QStringList t = pattern.at(i % pattern.size());
        while (t.size() < 6)
            t.append(QString());
        const QDate day = QDate(2004, 1, 1).addDays(i);
        sql += QStringLiteral(
                   "INSERT INTO MOV_MAG VALUES (%1, '%2', '%3', '%4', %5, %6, %7, %8, %9, %10, NULL);")
                   .arg(firstNumber + i)
                   .arg(day.year())
                   .arg(day.month())
                   .arg(day.day())
                   .arg(sqlText(t[0]), sqlText(t[1]), sqlText(t[2]), sqlText(t[3]), sqlText(t[4]),
                        sqlText(t[5]));
    }
    archive.exec(sql + QStringLiteral("COMMIT;"));
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
    void endToEnd_data();
    void endToEnd();
    void layout_data();
    void layout();
    void documentStartsAfresh();
    void emptyDocument_data();
    void emptyDocument();
    void noPrinter_data();
    void noPrinter();
    void noPrinterSameSecond();
    void unwritable_data();
    void unwritable();
};

void TestQtLinePrinter::endToEnd_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<qint64>("firstNumber");
    QTest::addColumn<Days>("pattern");
    QTest::addColumn<bool>("landscape");
    QTest::addColumn<int>("minPages");

    QTest::newRow("period 1 only: portrait, one page")
        << 20 << qint64(1) << Days{{"8.30", "17"}} << false << 1;
    QTest::newRow("three periods: landscape")
        << 20 << qint64(1) << Days{{"6", "8", "9.15", "12.45", "20", "23.59"}} << true << 1;
    QTest::newRow("mixed days, six-digit numbers, over 1000 hours, many pages")
        << 400 << qint64(99950)
        << Days{{"7", "12", "13", "17.45"},
                {"8.30", "17"},
                {"", "", "14", "18"},
                {"22", "12.30"},
                {"6", "8", "9.15", "12.45", "20", "23.59"},
                {"8", "12", "", "", "20", "22"},
                {"", "", "", "", "", ""}}
        << true << 3;
}

void TestQtLinePrinter::endToEnd()
{
    QFETCH(int, count);
    QFETCH(qint64, firstNumber);
    QFETCH(Days, pattern);
    QFETCH(bool, landscape);
    QFETCH(int, minPages);
    if (!havePoppler())
        QSKIP("pdftotext and pdfinfo (poppler-utils) are not installed");

    TempArchive temp;
    fillArchive(temp, count, firstNumber, pattern);
    ArchiveError error;
    std::unique_ptr<Archive> archive = Archive::open(temp.path(), &error);
    QVERIFY2(archive, qPrintable(error.text));
    QStringList expected;
    QVERIFY(!hoursListLines(*archive, &expected).failed());
    QCOMPARE(expected.size(), count);

    QTemporaryDir out;
    const QString pdf = out.filePath(QStringLiteral("elenco.pdf"));
    QtLinePrinter printer(temp.folder(), fixedNow(kWhen));
    printer.setOutputPdf(pdf);
    const PrintResult result = printHoursList(*archive, printer);
    QVERIFY2(!result.failed(), qPrintable(result.text));
    QCOMPARE(result.pdfPath, pdf);

    const PrintLayout layout = printer.lastLayout();
    QCOMPARE(layout.landscape, landscape);
    QVERIFY(layout.pages >= minPages);
    const PdfInfo info = pdfInfo(pdf);
    QCOMPARE(info.pages, layout.pages);
    QCOMPARE(info.width > info.height, landscape);

    const QStringList printed = pdfText(pdf, layout.pitch);
    QCOMPARE(printed.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i)
        QCOMPARE(printed.at(i), expected.at(i));
}

void TestQtLinePrinter::layout_data()
{
    QTest::addColumn<int>("length"); // of the longest line
    QTest::addColumn<bool>("landscape");
    QTest::addColumn<bool>("largestSize"); // printed at 10 pt

    QTest::newRow("short lines at 10 pt, portrait") << 40 << false << true;
    QTest::newRow("90 characters fit portrait") << 90 << false << false;
    QTest::newRow("150 characters turn the page") << 150 << true << false;
    QTest::newRow("188 characters, landscape") << 188 << true << false;
    QTest::newRow("600 characters still fit, however small") << 600 << true << false;
}

void TestQtLinePrinter::layout()
{
    QFETCH(int, length);
    QFETCH(bool, landscape);
    QFETCH(bool, largestSize);

    QTemporaryDir out;
    const QString pdf = out.filePath(QStringLiteral("layout.pdf"));
    QtLinePrinter printer(out.path(), fixedNow(kWhen));
    printer.setOutputPdf(pdf);
    printer.printLine(QStringLiteral("1 short line"));
    printer.printLine(QStringLiteral("2 ").leftJustified(length, QLatin1Char('x')));
    printer.printLine(QStringLiteral("3 another short line"));
    QVERIFY(!printer.endDocument().failed());

    const PrintLayout layout = printer.lastLayout();
    QCOMPARE(layout.landscape, landscape);
    QVERIFY2(
        layout.pitch * length <= layout.printableWidth,
        qPrintable(
            QStringLiteral("line of %1 pt in %2 pt").arg(layout.pitch * length).arg(layout.printableWidth)));
    QVERIFY(layout.pointSize <= 10);
    if (largestSize)
        QCOMPARE(layout.pointSize, 10.0);
    else
        QVERIFY2(layout.pitch * length > 0.98 * layout.printableWidth,
                 "the size must be the largest that fits");
    // A4 either way up, one page.
    if (havePoppler()) {
        const PdfInfo info = pdfInfo(pdf);
        QCOMPARE(info.pages, 1);
        QCOMPARE(qRound(std::max(info.width, info.height)), 842);
        QCOMPARE(qRound(std::min(info.width, info.height)), 595);
        QCOMPARE(info.width > info.height, landscape);
    }
}

void TestQtLinePrinter::documentStartsAfresh()
{
    if (!havePoppler())
        QSKIP("pdftotext and pdfinfo (poppler-utils) are not installed");
    QTemporaryDir out;
    QtLinePrinter printer(out.path(), fixedNow(kWhen));
    printer.setOutputPdf(out.filePath(QStringLiteral("first.pdf")));
    printer.printLine(QStringLiteral("1     primo documento"));
    printer.printLine(QStringLiteral("2     primo documento"));
    QVERIFY(!printer.endDocument().failed());
    const QString second = out.filePath(QStringLiteral("second.pdf"));
    printer.setOutputPdf(second);
    printer.printLine(QStringLiteral("3     secondo"));
    QVERIFY(!printer.endDocument().failed());

    QCOMPARE(pdfText(second, printer.lastLayout().pitch), QStringList{QStringLiteral("3     secondo")});
}

void TestQtLinePrinter::emptyDocument_data()
{
    QTest::addColumn<bool>("forced");
    QTest::newRow("forced to a PDF file") << true;
    QTest::newRow("no printer") << false;
}

void TestQtLinePrinter::emptyDocument()
{
    QFETCH(bool, forced);
    if (!forced && !QPrinterInfo::availablePrinters().isEmpty())
        QSKIP("this machine has printers");
    QTemporaryDir out;
    QtLinePrinter printer(out.path(), fixedNow(kWhen));
    if (forced)
        printer.setOutputPdf(out.filePath(QStringLiteral("vuoto.pdf")));
    const PrintResult result = printer.endDocument();
    QCOMPARE(result.code, 0);
    QVERIFY(result.pdfPath.isEmpty());
    QCOMPARE(entriesOf(out.path()), QStringList());
}

void TestQtLinePrinter::noPrinter_data()
{
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<QString>("fileName");

    QTest::newRow("morning") << kWhen << "ZELVARO_elenco_20040305_091530.pdf";
    QTest::newRow("last second of the year")
        << QDateTime(QDate(2010, 12, 31), QTime(23, 59, 59)) << "ZELVARO_elenco_20101231_235959.pdf";
    QTest::newRow("single digits padded")
        << QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5)) << "ZELVARO_elenco_20240102_030405.pdf";
}

void TestQtLinePrinter::noPrinter()
{
    QFETCH(QDateTime, when);
    QFETCH(QString, fileName);
    if (!QPrinterInfo::availablePrinters().isEmpty())
        QSKIP("this machine has printers: the PDF fallback is not used");

    QTemporaryDir folder;
    QtLinePrinter printer(folder.path(), fixedNow(when));
    printer.printLine(QStringLiteral("12    05/03/2004   8.30  12.30"));
    const PrintResult result = printer.endDocument();

    QVERIFY2(!result.failed(), qPrintable(result.text));
    const QString expectedPath = QDir(folder.path()).absoluteFilePath(fileName);
    QCOMPARE(result.pdfPath, expectedPath);
    QCOMPARE(entriesOf(folder.path()), QStringList{fileName});
    QFile file(expectedPath);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.read(5), QByteArray("%PDF-"));
    QCOMPARE(pdfSavedMessage(result.pdfPath),
             QStringLiteral("Nessuna stampante disponibile: l'elenco è stato salvato in ") + expectedPath);
}

void TestQtLinePrinter::noPrinterSameSecond()
{
    if (!QPrinterInfo::availablePrinters().isEmpty())
        QSKIP("this machine has printers: the PDF fallback is not used");
    QTemporaryDir folder;
    QtLinePrinter printer(folder.path(), fixedNow(kWhen));
    printer.printLine(QStringLiteral("1     primo"));
    const PrintResult first = printer.endDocument();
    QFile firstFile(first.pdfPath);
    QVERIFY(firstFile.open(QIODevice::ReadOnly));
    const QByteArray firstBytes = firstFile.readAll();
    firstFile.close();

    printer.printLine(QStringLiteral("1     primo"));
    printer.printLine(QStringLiteral("2     secondo"));
    const PrintResult second = printer.endDocument();

    QVERIFY2(!second.failed(), qPrintable(second.text));
    QCOMPARE(QFileInfo(second.pdfPath).fileName(), QStringLiteral("ZELVARO_elenco_20040305_091530_2.pdf"));
    QVERIFY(firstFile.open(QIODevice::ReadOnly));
    QCOMPARE(firstFile.readAll(), firstBytes); // the earlier file is left as it was
}

void TestQtLinePrinter::unwritable_data()
{
    QTest::addColumn<bool>("forced");
    QTest::addColumn<bool>("fileInTheWay");

    QTest::newRow("no printer, missing folder") << false << false;
    QTest::newRow("no printer, a file in place of the folder") << false << true;
    QTest::newRow("forced PDF in a missing folder") << true << false;
    QTest::newRow("forced PDF under a file") << true << true;
}

void TestQtLinePrinter::unwritable()
{
    QFETCH(bool, forced);
    QFETCH(bool, fileInTheWay);
    if (!forced && !QPrinterInfo::availablePrinters().isEmpty())
        QSKIP("this machine has printers: the PDF fallback is not used");

    QTemporaryDir parent;
    const QString folder = parent.filePath(QStringLiteral("cartella"));
    if (fileInTheWay) {
        QFile blocker(folder);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }
    const QStringList before = entriesOf(parent.path());

    QtLinePrinter printer(folder, fixedNow(kWhen));
    if (forced)
        printer.setOutputPdf(folder + QStringLiteral("/elenco.pdf"));
    printer.printLine(QStringLiteral("12    05/03/2004   8.30  12.30"));
    const PrintResult result = printer.endDocument();

    QCOMPARE(result.code, kPdfFileErrorCode);
    QVERIFY2(result.text.startsWith(QStringLiteral("Impossibile salvare l'elenco nel file ")),
             qPrintable(result.text));
    QVERIFY2(result.text.contains(QStringLiteral("cartella")), "the text names the file");
    QVERIFY(result.pdfPath.isEmpty());
    QCOMPARE(entriesOf(parent.path()), before);
    QCOMPARE(QFileInfo(folder).isFile(), fileInTheWay);
}

QTEST_MAIN(TestQtLinePrinter)
#include "tst_qtlineprinter.moc"
