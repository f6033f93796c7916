#include "Printout.h"
#include "QtLinePrinter.h"
#include "TempArchive.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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

QString sbin(const QString &tool)
{
    return QStandardPaths::findExecutable(tool, {"/usr/sbin", "/sbin", "/usr/bin"});
}

bool writeFile(const QString &path, const QString &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) == text.toUtf8().size();
}

// A print service of the test's own: cupsd with its configuration, spool and logs in `folder`,
// listening only on `socket`. Its queues hold every job, so none reaches the cups-pdf backend,
// which would write into the real home of the job's owner.
class PrivateCups
{
public:
    PrivateCups(const QString &folder, const QString &socket) : m_folder(folder), m_socket(socket) {}
    ~PrivateCups() { stop(); }
    bool start()
    {
        QFile::remove(m_socket);
        const QString files =
            QString("ServerRoot %1/root\nRequestRoot %1/spool\nTempDir %1/spool/tmp\n"
                    "CacheDir %1/cache\nStateDir %1/state\nErrorLog %1/log\nAccessLog %1/log\n"
                    "PageLog %1/log\nPrintcap %1/printcap\n")
                .arg(m_folder);
        const QString policy = "<Policy default>\n<Limit All>\n</Limit>\n</Policy>\n"; // no authentication
        if (!QDir(m_folder).mkpath("spool/tmp") || !QDir(m_folder).mkpath("root") ||
            !writeFile(m_folder + "/root/cups-files.conf", files) ||
            !writeFile(m_folder + "/root/cupsd.conf", "Listen " + m_socket + "\nBrowsing No\n" + policy))
            return false;
        m_cupsd.start(sbin("cupsd"),
                      {"-f", "-c", m_folder + "/root/cupsd.conf", "-s", m_folder + "/root/cups-files.conf"});
        for (int i = 0; i < 250 && m_cupsd.waitForStarted(5000) && !QFileInfo::exists(m_socket); ++i)
            QTest::qWait(20);
        return QFileInfo::exists(m_socket);
    }
    void stop()
    {
        m_cupsd.terminate();
        if (!m_cupsd.waitForFinished(5000))
            m_cupsd.kill();
    }
    // Runs a CUPS tool, which finds this service through CUPS_SERVER.
    bool admin(const QString &tool, const QStringList &arguments)
    {
        QProcess process;
        process.start(sbin(tool), arguments);
        return process.waitForFinished(5000) && process.exitStatus() == QProcess::NormalExit &&
               process.exitCode() == 0;
    }
    QStringList spooled() const { return QDir(m_folder + "/spool").entryList({"d*"}, QDir::Files); }

private:
    QString m_folder;
    QString m_socket;
    QProcess m_cupsd;
};

} // namespace

class TestQtLinePrinter : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void endToEnd();
    void layout_data();
    void layout();
    void noPrinter();
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
    QTemporaryDir folder;
    QtLinePrinter printer(folder.path(), fixedNow);
    const PrintResult empty = printer.endDocument(hoursListDocument()); // an empty document writes nothing
    QVERIFY(!empty.failed() && entriesOf(folder.path()).isEmpty());

    printer.printLine(QStringLiteral("1     primo"));
    const PrintResult first = printer.endDocument(hoursListDocument());
    const QString name = QStringLiteral("ZELVARO_elenco_20040305_091530");
    QCOMPARE(first.pdfPath, QDir(folder.path()).absoluteFilePath(name + ".pdf"));
    QCOMPARE(printNotice(first, hoursListDocument()),
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

void TestQtLinePrinter::printService_data()
{
    QTest::addColumn<QStringList>("printers"); // all on Letter paper; "*" marks the default
    QTest::addColumn<QString>("command");      // what befalls the first printer before the printout
    QTest::addColumn<QString>("lpoptions");    // the user's own default printer
    QTest::addColumn<bool>("blocked");         // the PDF folder cannot be written
    QTest::addColumn<PrintResult::Note>("note");
    QTest::addColumn<bool>("job");
    QTest::addColumn<QString>("message"); // the notice or the error; %1 the PDF, %2 the socket

    using Note = PrintResult::Note;
    const QString refused = "La stampante «zelvaro» non accetta lavori";
    QTest::newRow("default printer: a job, nothing to say") << QStringList{"zelvaro*"} << ""
                                                            << "" << false << Note::None << true << "";
    QTest::newRow("several printers, no default: the first by name takes it, named")
        << QStringList{"zelvaro", "alfa"} << ""
        << "" << false << Note::NoDefault << true
        << "Nessuna stampante predefinita: l'elenco è stato inviato alla stampante «alfa»";
    QTest::newRow("stopped printer: the job waits, said")
        << QStringList{"zelvaro*"} << "cupsdisable"
        << "" << false << Note::Stopped << true
        << "La stampante «zelvaro» è ferma: l'elenco è in coda e sarà stampato quando la stampante "
           "riprenderà";
    QTest::newRow("printer refusing jobs: saved, the refusal named")
        << QStringList{"zelvaro*"} << "cupsreject"
        << "" << false << Note::Refused << false << refused + ": l'elenco è stato salvato in %1";
    QTest::newRow("printer refusing jobs, folder not writable: a failure naming both")
        << QStringList{"zelvaro*"} << "cupsreject"
        << "" << true << Note::Refused << false << refused + ". Impossibile salvare l'elenco nel file %1";
    QTest::newRow("service down, a default of the user: unreachable, saved")
        << QStringList{"zelvaro"} << "stop"
        << "Default zelvaro/bozza" << false << Note::Unreachable << false
        << "Il servizio di stampa per la stampante «zelvaro» non è raggiungibile (%2): l'elenco è stato "
           "salvato in %1";
}

// Each case against a real cupsd of its own; the PDF then sent is read back from its spool.
void TestQtLinePrinter::printService()
{
    const QString ppd = "/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd";
    if (sbin("cupsd").isEmpty() || sbin("lpadmin").isEmpty() || !QFileInfo::exists(ppd) || !havePoppler())
        QSKIP("cups, cups-client, printer-driver-cups-pdf or poppler-utils are not installed");
    QFETCH(QStringList, printers);
    QFETCH(QString, command);
    QFETCH(QString, lpoptions);
    QFETCH(bool, blocked);
    QFETCH(PrintResult::Note, note);
    QFETCH(bool, job);
    QFETCH(QString, message);

    QTemporaryDir folder;
    PrivateCups cups(folder.filePath("cups"), socket());
    QVERIFY(cups.start());
    for (QString name : printers) {
        const bool isDefault = name.endsWith('*');
        name.remove('*');
        QVERIFY(cups.admin("lpadmin", {"-p", name, "-E", "-v", "cups-pdf:/", "-P", ppd, "-o",
                                       "PageSize=Letter", "-o", "job-hold-until-default=indefinite"}));
        QVERIFY(!isDefault || cups.admin("lpadmin", {"-d", name}));
    }
    QVERIFY(command.isEmpty() || command == "stop" || cups.admin(command, {printers.first().remove('*')}));
    if (command == "stop")
        cups.stop();
    QVERIFY(QDir(folder.path()).mkpath(".cups") && writeFile(folder.filePath(".cups/lpoptions"), lpoptions));
    qputenv("HOME", folder.path().toUtf8());
    const QString pdfFolder = folder.filePath("pdf");
    QVERIFY(blocked ? writeFile(pdfFolder, "") : QDir(folder.path()).mkpath("pdf"));

    QtLinePrinter printer(pdfFolder, fixedNow);
    printer.printLine("1     primo");
    const PrintResult result = printer.endDocument(hoursListDocument());
    qputenv("HOME", m_home.path().toUtf8());
    const QString pdf = pdfFolder + "/ZELVARO_elenco_20040305_091530.pdf";
    QCOMPARE(result.failed() ? result.text : printNotice(result, hoursListDocument()),
             QString(message).replace("%1", pdf).replace("%2", socket()));
    QCOMPARE(result.note, note);
    QCOMPARE(result.code, blocked ? kPdfFileErrorCode : 0);
    QCOMPARE(result.pdfPath, job || blocked ? QString() : pdf);
    QCOMPARE(QFileInfo::exists(pdf), result.pdfPath == pdf);
    if (command != "stop")
        QCOMPARE(cups.spooled(),
                 job ? QStringList{QString("d%1-001").arg(result.jobId, 5, 10, QChar('0'))} : QStringList());
    // The printer's paper when it was reached, else A4.
    const QString sent = job ? folder.filePath("cups/spool/" + cups.spooled().value(0)) : pdf;
    if (!blocked) {
        QVERIFY2(run("pdfinfo", {sent}).contains(command == "stop" ? "595 x 842 pts" : "612 x 792 pts"),
                 qPrintable(run("pdfinfo", {sent})));
        QCOMPARE(pdfText(sent, printer.lastLayout().pitch), QStringList{"1     primo"});
    }
}

QTEST_MAIN(TestQtLinePrinter)
#include "tst_qtlineprinter.moc"
