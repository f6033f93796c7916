#include "Files.h"
#include "Printout.h"
#include "PrivateCups.h"
#include "QtLinePrinter.h"
#include "TempArchive.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace zelvaro;
using zelvaro::test::cupsTool;
using zelvaro::test::folderEntries;
using zelvaro::test::PrivateCups;
using zelvaro::test::sbin;
using zelvaro::test::writeBytes;

namespace {

const QDateTime kWhen(QDate(2004, 3, 5), QTime(9, 15, 30));
const QtLinePrinter::Now fixedNow = [] { return kWhen; };
const QString kPdfName = QStringLiteral("ZELVARO_elenco_20040305_091530");
const QString kPpd = QStringLiteral("/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd");

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

// The PDF files saved in `folder` and the documents spooled there.
QFileInfoList documentsIn(const QString &folder)
{
    return QDir(folder).entryInfoList({"*.pdf", "d*"}, QDir::Files);
}

} // namespace

class TestQtLinePrinter : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup() { QFile::remove(m_home.filePath(QStringLiteral(".cups/lpoptions"))); } // no default left
    void endToEnd();
    void withoutService();
    void printService_data();
    void printService();

private:
    QTemporaryDir m_home;
    QString socket() const { return m_home.filePath("cups.sock"); }
};

// Nothing of the real home nor of the system's print service: CUPS is asked on a socket of the
// test's own, where no service listens unless a test starts one.
void TestQtLinePrinter::initTestCase()
{
    if (sbin("cupsd").isEmpty() || sbin("lpadmin").isEmpty() || sbin("pdftotext").isEmpty() ||
        sbin("pdfinfo").isEmpty() || !QFileInfo::exists(kPpd))
        QSKIP("cups, cups-client, printer-driver-cups-pdf or poppler-utils are not installed");
    QVERIFY(m_home.isValid());
    for (const char *name :
         {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR", "CUPS_SERVERROOT"})
        qputenv(name, m_home.path().toUtf8());
    qputenv("CUPS_SERVER", socket().toUtf8());
    qunsetenv("LPDEST");
    qunsetenv("PRINTER");
}

// A small archive printed to a PDF through the real printer and read back, line by line.
void TestQtLinePrinter::endToEnd()
{
    // Mixed days, six-digit numbers, a running total past 1000 hours: landscape, several pages.
    const QStringList pattern{"7|12|13|17.45",           "8.30|17",      "||14|18", "22|12.30",
                              "6|8|9.15|12.45|20|23.59", "8|12|||20|22", ""};
    QStringList days;
    for (int i = 0; i < 400; ++i)
        days.append(pattern.at(i % pattern.size()));
    test::TempArchive temp;
    temp.insertDays(99950, QDate(2004, 1, 1), days);
    Outcome error;
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

    // The largest size at which the widest line (three periods, a running total past 1000 hours) fits.
    const PrintLayout layout = printer.lastLayout();
    const qreal width = layout.pitch * 189;
    QVERIFY(layout.landscape && layout.pages >= 4 && width <= layout.printableWidth &&
            width > 0.98 * layout.printableWidth);
    const QString info = run("pdfinfo", {pdf}).simplified();
    QVERIFY2(info.contains(QStringLiteral("Pages: %1 ").arg(layout.pages)) && info.contains("842 x 595 pts"),
             qPrintable(info));
    QCOMPARE(pdfText(pdf, layout.pitch), expected); // whole lines: none clipped
}

// No print service answers: each printout goes to a PDF file of its own, named after the moment; with
// a default printer of the user's the service is said to be unreachable.
void TestQtLinePrinter::withoutService()
{
    QTemporaryDir folder;
    const QString lpoptions = m_home.filePath(QStringLiteral(".cups/lpoptions"));
    const QString pdf = folder.filePath(kPdfName),
                  unreachable = "Il servizio di stampa per la stampante «zelvaro» non è raggiungibile (" +
                                socket() + ")";
    QtLinePrinter printer(folder.path(), fixedNow);
    const PrintResult empty = printer.endDocument(hoursListDocument()); // writes and says nothing
    QVERIFY(!empty.failed() && printNotice(empty, hoursListDocument()).isEmpty());
    QCOMPARE(folderEntries(folder.path()), QStringList());
    printer.printLine(QStringLiteral("1     primo"));
    QCOMPARE(printNotice(printer.endDocument(hoursListDocument()), hoursListDocument()),
             "Nessuna stampante disponibile: l'elenco è stato salvato in " + pdf + ".pdf");
    QVERIFY(printer.lastLayout().pointSize == 10 && !printer.lastLayout().landscape); // short lines
    QVERIFY(writeBytes(lpoptions, "Default zelvaro/bozza"));
    const QString line = QStringLiteral("2     secondo").leftJustified(90, u'.'); // a day of one period
    printer.printLine(line); // the same second: a file of its own
    const mode_t umaskBefore = ::umask(0);
    const PrintResult second = printer.endDocument(hoursListDocument());
    ::umask(umaskBefore);
    QCOMPARE(QFile::permissions(second.pdfPath) & (QFile::ReadGroup | QFile::ReadOther),
             0); // the user's alone
    QCOMPARE(printNotice(second, hoursListDocument()),
             unreachable + ": l'elenco è stato salvato in " + pdf + "_2.pdf");
    QVERIFY(run("pdfinfo", {second.pdfPath}).contains("595 x 842 pts")); // A4, portrait
    const PrintLayout layout = printer.lastLayout();
    QVERIFY(layout.pitch * 90 <= layout.printableWidth && layout.pitch * 90 > 0.98 * layout.printableWidth);
    QCOMPARE(pdfText(second.pdfPath, layout.pitch), QStringList{line});

    // A folder that cannot be written (a file stands in its place): a failure, after the cause if any.
    const QString blocked = folder.filePath(QStringLiteral("cartella"));
    QVERIFY(writeBytes(blocked, ""));
    QtLinePrinter blockedPrinter(blocked, fixedNow);
    blockedPrinter.printLine(QStringLiteral("1     primo"));
    PrintResult failed = blockedPrinter.endDocument(hoursListDocument());
    const QString cannot = "Impossibile salvare l'elenco nel file " + blocked + "/" + kPdfName + ".pdf";
    QVERIFY(failed.code == kFileErrorCode && failed.pdfPath.isEmpty());
    QCOMPARE(failed.text, unreachable + ". " + cannot);
    QVERIFY(QFile::remove(lpoptions));
    blockedPrinter.printLine(QStringLiteral("1     primo"));
    QCOMPARE(blockedPrinter.endDocument(hoursListDocument()).text, cannot);
    QCOMPARE(folderEntries(folder.path()), (QStringList{"cartella", kPdfName + ".pdf", kPdfName + "_2.pdf"}));
}

void TestQtLinePrinter::printService_data()
{
    QTest::addColumn<QStringList>("commands"); // after the printers alfa and zelvaro, on Letter paper
    QTest::addColumn<QString>("notice");       // %1 the PDF

    QTest::newRow("default printer: a job, nothing to say") << QStringList{"lpadmin -d zelvaro"} << "";
    QTest::newRow("several printers, no default: the first by name takes it, named")
        << QStringList() << "Nessuna stampante predefinita: l'elenco è stato inviato alla stampante «alfa»";
    QTest::newRow("stopped printer: the job waits, said")
        << QStringList{"lpadmin -d zelvaro", "cupsdisable zelvaro"}
        << "La stampante «zelvaro» è ferma: l'elenco è in coda e sarà stampato quando la stampante "
           "riprenderà";
    QTest::newRow("printer refusing jobs: saved, the refusal named")
        << QStringList{"lpadmin -d zelvaro", "cupsreject zelvaro"}
        << "La stampante «zelvaro» non accetta lavori: l'elenco è stato salvato in %1";
}

// Each case against a real cupsd of its own; the one document, sent or saved, is read back.
void TestQtLinePrinter::printService()
{
    QFETCH(QStringList, commands);
    QFETCH(QString, notice);

    QTemporaryDir folder;
    PrivateCups cups;
    QVERIFY(cups.start(folder.filePath("cups"), socket()));
    for (const char *name : {"alfa", "zelvaro"})
        QVERIFY(cupsTool("lpadmin -p " + QString::fromLatin1(name) + " -E -v cups-pdf:/ -P " + kPpd +
                         " -o PageSize=Letter -o job-hold-until-default=indefinite"));
    for (const QString &command : commands)
        QVERIFY(cupsTool(command));

    QtLinePrinter printer(folder.path(), fixedNow);
    const QString line = QStringLiteral("1     primo").leftJustified(128, u'.'); // periods 1 and 3
    printer.printLine(line);
    const PrintResult result = printer.endDocument(hoursListDocument());
    QCOMPARE(printNotice(result, hoursListDocument()),
             notice.replace("%1", folder.filePath(kPdfName + ".pdf")));
    const QFileInfoList documents = documentsIn(folder.filePath("cups/spool")) + documentsIn(folder.path());
    QCOMPARE(documents.size(), 1);
    const QString document = documents.first().filePath();
    QVERIFY(run("pdfinfo", {document}).contains("792 x 612 pts")); // the printer's Letter, landscape
    QCOMPARE(pdfText(document, printer.lastLayout().pitch), QStringList{line});
}

QTEST_MAIN(TestQtLinePrinter)
#include "tst_qtlineprinter.moc"
