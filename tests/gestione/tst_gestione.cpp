#include "Archive.h"
#include "ConfigurationFile.h"
#include "FakePrinter.h"
#include "Fakes.h"
#include "Files.h"
#include "Form2.h"
#include "GestioneCommands.h"
#include "QtLinePrinter.h"
#include "TempArchive.h"

#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace zelvaro;
using namespace zelvaro::test;
using namespace Qt::StringLiterals;
using Answer = MessageBoxService::Answer;

class tst_Gestione : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempArchive> m_temp;
    std::unique_ptr<FakeServices> m_fakes;
    std::unique_ptr<Archive> m_archive;
    QString m_ini;

    GestioneCommands commands() const
    {
        return GestioneCommands(*m_archive, m_fakes->services(), m_ini,
                                QStringLiteral(ZELVARO_ARCHIVIO_PROGRAM));
    }
    // Every box as the initial of its icon (None, Stop, Information, Warning) and its text, the
    // seconds a command took as "#".
    QStringList boxes() const
    {
        QStringList shown;
        for (const FakeMessageBox::Shown &box : m_fakes->messages.shown)
            shown << u"NSIW"_s.at(int(box.icon)) + u' ' +
                         QString(box.text).replace(QRegularExpression(u" in \\d+,\\d\\d s"_s), u" in # s"_s);
        return shown;
    }

private slots:
    void init()
    {
        m_temp = std::make_unique<TempArchive>();
        m_temp->insert(1, u"2"_s, u"3"_s, u"2026"_s, {u"8"_s, u"12"_s});
        m_temp->insert(2, u"3"_s, u"3"_s, u"2026"_s, {u"8.30"_s, u"12.30"_s, u"13.30"_s, u"17.30"_s});
        m_temp->insert(3, u"4"_s, u"3"_s, u"2026"_s, {u"9"_s, u"10"_s});
        m_fakes = std::make_unique<FakeServices>();
        ArchiveError error;
        m_archive = Archive::open(m_temp->path(), &error);
        QVERIFY2(m_archive, qPrintable(error.text));
        m_ini = m_temp->folder() + u"/ZELVARO.INI"_s;
        QVERIFY(writeBytes(m_ini, m_temp->path().toUtf8() + "\r\nnota\r\n"));
    }

    void cleanup()
    {
        QCOMPARE(m_fakes->messages.unexpected + m_fakes->files.unexpected, QStringList());
        QVERIFY(m_fakes->messages.pending() == 0 && m_fakes->files.script.isEmpty() &&
                !m_fakes->pointer.busy);
    }

    void items_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>(
            "dialogs"); // the paths chosen, '|' between; '@' the archive's folder, "" cancels
        QTest::addColumn<int>("answer");    // to the question after an import: Yes, No, or none (-1)
        QTest::addColumn<QString>("shown"); // the boxes, '|' between
        QTest::addColumn<QString>("made");  // what the folder holds besides the archive and the INI

        const QString testo = dataPath(u"mov_mag_97_testo.mdb"_s), other = dataPath(u"non_access.mdb"_s);
        const QString use =
            u"N Importate 60 righe da «"_s + testo +
            u"» in «@/nuovo.mdb» in # s\r\rUsare il nuovo archivio «@/nuovo.mdb» dal prossimo "
            "avvio di Zelvaro?"_s;
        // clang-format off
        QTest::newRow("esporta: cancelled at the dialog") << "esporta" << "" << -1 << "" << "";
        QTest::newRow("esporta: the CSV of the tool") << "esporta" << "@/ore.csv" << -1
            << "I Esportati 3 movimenti in «@/ore.csv»" << "ore.csv";
        QTest::newRow("esporta: never over an archive") << "esporta" << "@/ZELVARO_97.mdb" << -1
            << "W «@/ZELVARO_97.mdb» è un archivio: non viene sovrascritto" << "";
        QTest::newRow("copia: cancelled at the dialog") << "copia" << "" << -1 << "" << "";
        QTest::newRow("copia: a copy that opens") << "copia" << "@/copia.mdb" << -1
            << "I Copiato l'archivio «@/ZELVARO_97.mdb» in «@/copia.mdb» in # s" << "copia.mdb";
        QTest::newRow("copia: never over a file") << "copia" << "@/ZELVARO.INI" << -1
            << "W Copia non eseguita, nessun file creato: la destinazione «@/ZELVARO.INI» esiste già e non "
               "viene toccata: indicare un file nuovo" << "";
        QTest::newRow("importa: cancelled at the old archive") << "importa" << "" << -1 << "" << "";
        QTest::newRow("importa: cancelled at the new one") << "importa" << testo + "|" << -1 << "" << "";
        QTest::newRow("importa: No keeps the INI") << "importa" << testo + "|@/nuovo.mdb" << int(Answer::No)
            << use << "nuovo.mdb";
        QTest::newRow("importa: Yes rewrites the INI") << "importa" << testo + "|@/nuovo.mdb" << int(Answer::Yes)
            << use + "|I Il file di configurazione «@/ZELVARO.INI» ora indica «@/nuovo.mdb»: Zelvaro lo userà "
                     "dal prossimo avvio." << "nuovo.mdb";
        QTest::newRow("importa: the tool's refusal") << "importa" << other + "|@/nuovo.mdb" << -1
            << "W Importazione non eseguita, nessun archivio creato: «" + other + "» non è un archivio Access "
               "(Jet): manca la firma \"Standard Jet DB\" all'inizio del file" << "";
        // clang-format on
    }

    void items()
    {
        QFETCH(QString, item);
        QFETCH(QString, dialogs);
        QFETCH(int, answer);
        QFETCH(QString, shown);
        QFETCH(QString, made);
        if (item == "importa"_L1 && !ZELVARO_IMPORT)
            QSKIP("built without libmdb");
        const QString folder = m_temp->folder();
        m_fakes->files.script = dialogs.replace(u'@', folder).split(u'|');
        const QStringList boxesShown =
            shown.isEmpty() ? QStringList() : shown.replace(u'@', folder).split(u'|');
        if (answer >= 0)
            m_fakes->messages.expect(Answer(answer));
        m_fakes->messages.expectOk(int(boxesShown.size()) - (answer >= 0));
        const QByteArray ini = readBytes(m_ini);
        GestioneCommands c = commands();
        item == "esporta"_L1 ? c.esportaCsv() : item == "copia"_L1 ? c.copiaDiSicurezza() : c.importaAccess();

        QCOMPARE(boxes(), boxesShown);
        QStringList files{u"ZELVARO.INI"_s, u"ZELVARO_97.mdb"_s, made};
        files.removeAll(QString());
        files.sort(Qt::CaseInsensitive);
        QCOMPARE(folderEntries(folder), files); // no hidden file, no journal left
        // The copy and the import never offer to replace a file.
        QVERIFY(!m_fakes->files.asksToReplace.contains(item != "esporta"_L1));
        const QString path = folder + u'/' + made;
        if (made.endsWith(u".csv"_s)) { // byte for byte what "zelvaro-archivio esporta" writes
            QProcess tool;
            tool.start(QStringLiteral(ZELVARO_ARCHIVIO_PROGRAM), {u"esporta"_s, m_temp->path()});
            QVERIFY(tool.waitForFinished() && tool.exitCode() == 0);
            QCOMPARE(readBytes(path), tool.readAllStandardOutput());
        } else if (!made.isEmpty()) { // a sound archive holding every row
            ArchiveError error;
            const std::unique_ptr<Archive> opened = Archive::open(path, &error, Archive::OpenMode::ReadOnly);
            QVERIFY2(opened, qPrintable(error.text));
            int rows = 0;
            QVERIFY(!opened->forEachListed([&](const HoursRecord &) { ++rows; }));
            QCOMPARE(rows, item == "copia"_L1 ? 3 : 60);
        }
        QCOMPARE(readBytes(m_ini), answer == int(Answer::Yes) ? path.toUtf8() + "\r\nnota\r\n" : ini);
    }

    void cancel_data()
    {
        QTest::addColumn<QString>("work");
        QTest::newRow("printout, read") << "stampa";
        QTest::newRow("printout into a PDF, laid out") << "stampa PDF";
        QTest::newRow("export") << "esporta";
        QTest::newRow("import") << "importa";
    }

    // Cancelled halfway, the work sends nothing, leaves no file and says nothing.
    void cancel()
    {
        QFETCH(QString, work);
        const QStringList before = folderEntries(m_temp->folder());
        FakeProgress &progress = m_fakes->progress;
        if (work.startsWith(u"stampa"_s)) {
            FakePrinter fake;
            QtLinePrinter pdf(m_temp->folder(), [] { return QDateTime(QDate(2026, 3, 5), QTime(9, 0)); });
            pdf.setOutputPdf(m_temp->folder() + u"/elenco.pdf"_s);
            const bool laidOut = work.endsWith(u"PDF"_s);
            progress.cancelWhen = [laidOut](qint64 done, qint64 total) {
                return done >= 2 && (total > 0) == laidOut;
            };
            Form2 form(*m_archive, m_fakes->services(), laidOut ? static_cast<LinePrinter &>(pdf) : fake);
            QTest::mouseClick(form.findChild<QPushButton *>(u"Command2"_s), Qt::LeftButton);
            QCOMPARE(fake.documents.size(), 0);
        } else if (work == "esporta"_L1) {
            progress.cancelWhen = [](qint64 done, qint64) { return done >= 2; };
            m_fakes->files.script << m_temp->folder() + u"/ore.csv"_s;
            commands().esportaCsv();
        } else {
            if (!ZELVARO_IMPORT)
                QSKIP("built without libmdb");
            progress.cancelWhen = [](qint64 done, qint64) { return done > 0; }; // the tool is writing rows
            m_fakes->files.script << dataPath(u"mov_mag_97_grande.mdb"_s)
                                  << m_temp->folder() + u"/nuovo.mdb"_s;
            commands().importaAccess();
        }
        QVERIFY(progress.cancelled);
        QCOMPARE(progress.labels.size(), 1);
        QCOMPARE(folderEntries(m_temp->folder()), before);
        QCOMPARE(m_fakes->messages.shown.size(), 0);
    }

    void iniRewrite_data()
    {
        QTest::addColumn<QByteArray>("before"); // "-": no file
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("after"); // empty: refused, the file as it was
        const QString nuovo = u"/d/Contabilità/nuovo.mdb"_s;
        const QByteArray line = nuovo.toUtf8(), old = "/d/a.mdb\n";
        // clang-format off
        QTest::newRow("CR LF and the rest kept") << QByteArray("C:\\ORE.mdb\r\nnota\r\n") << nuovo << line + "\r\nnota\r\n";
        QTest::newRow("LF") << QByteArray("/d/a.mdb\n/d/b.mdb\n") << nuovo << line + "\n/d/b.mdb\n";
        QTest::newRow("CR alone") << QByteArray("/d/a.mdb\rx") << nuovo << line + "\rx";
        QTest::newRow("no line end") << QByteArray("/d/a.mdb") << nuovo << line;
        QTest::newRow("Windows-1252 line, rest as it was")
            << QByteArray("C:\\Contabilit\xe0.mdb\r\n\xe0\r\n") << nuovo << line + "\r\n\xe0\r\n";
        QTest::newRow("no INI yet: written new") << QByteArray("-") << nuovo << line + "\n";
        QTest::newRow("CR in the path refused") << old << u"/d/a\rb.mdb"_s << QByteArray();
        QTest::newRow("LF in the path refused") << old << u"/d/a\nb.mdb"_s << QByteArray();
        QTest::newRow("longer than a first line is read")
            << old << u'/' + QString(kMaxArchivePathBytes, u'x') << QByteArray();
        // clang-format on
    }

    void iniRewrite()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, path);
        QFETCH(QByteArray, after);
        QTemporaryDir dir;
        const QString ini = dir.filePath(u"ZELVARO.INI"_s);
        QVERIFY(before == "-" || writeBytes(ini, before));
        struct stat old = {};
        ::stat(QFile::encodeName(ini).constData(), &old);

        const QString cause = replaceConfigurationLine(ini, path);
        QCOMPARE(cause.isEmpty(), !after.isEmpty());
        QCOMPARE(readBytes(ini), after.isEmpty() ? before : after);
        if (!after.isEmpty()) { // a new file, renamed over the old one: never half written
            QCOMPARE(readConfigurationLine(ini).text, path);
            struct stat written = {};
            QVERIFY(::stat(QFile::encodeName(ini).constData(), &written) == 0 &&
                    written.st_ino != old.st_ino);
        }
        QCOMPARE(folderEntries(dir.path()), QStringList{u"ZELVARO.INI"_s}); // nothing left beside it
    }
};

QTEST_MAIN(tst_Gestione)
#include "tst_gestione.moc"
