#include "Archive.h"
#include "ConfigurationFile.h"
#include "Fakes.h"
#include "Files.h"
#include "Form2.h"
#include "GestioneCommands.h"
#include "QtLinePrinter.h"
#include "TempArchive.h"
#include "WindowDriver.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace zelvaro;
using namespace zelvaro::test;
using namespace Qt::StringLiterals;
using Answer = MessageBoxService::Answer;
Q_DECLARE_METATYPE(Answer)
using CancelWhen = std::function<bool(qint64 done, qint64 total)>;
// A command as the user starts it.
struct Command
{
    std::function<void()> run;
    bool libmdb = false;        // the import needs it
    bool offersReplace = false; // its save dialog offers to replace a file
};
Q_DECLARE_METATYPE(Command)
Q_DECLARE_METATYPE(CancelWhen)

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
        Outcome error;
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

    // Each command of the menu through its dialogs: what it says, what it leaves beside the archive,
    // and the INI, which only a "Yes" after an import rewrites. Cancelled at a dialog or halfway, a
    // command leaves no file and says nothing. The copy and the import never offer to replace a file.
    void menuCommands_data()
    {
        QTest::addColumn<Command>("command");
        QTest::addColumn<QStringList>("dialogs");   // the paths chosen, '@' the archive's folder, "" cancels
        QTest::addColumn<CancelWhen>("cancelWhen"); // the step at which "Annulla" is pressed
        QTest::addColumn<QList<Answer>>("answers"); // to the boxes shown
        QTest::addColumn<QString>("shown");         // the boxes, '|' between
        QTest::addColumn<QStringList>("made");      // what the folder holds besides the archive and the INI
        QTest::addColumn<QString>("ini");           // its first line afterwards

        const Command esporta{[this] { commands().esportaCsv(); }, false, true},
            copia{[this] { commands().copiaDiSicurezza(); }},
            importa{[this] { commands().importaAccess(); }, true};
        // "Stampa elenco" of the hours window, into a PDF beside the archive.
        const Command stampa{[this] {
            QtLinePrinter pdf(m_temp->folder(), [] { return QDateTime(QDate(2026, 3, 5), QTime(9, 0)); });
            pdf.setOutputPdf(m_temp->folder() + u"/elenco.pdf"_s);
            Form2 form(*m_archive, m_fakes->services(), pdf);
            WindowDriver(&form).click(u"Command2"_s);
        }};
        const auto row = [](const char *name, const Command &command, const QStringList &dialogs,
                            const CancelWhen &cancelWhen, const QList<Answer> &answers, const QString &shown,
                            const QStringList &made = {}, const QString &ini = u"@/ZELVARO_97.mdb"_s) {
            QTest::newRow(name) << command << dialogs << cancelWhen << answers << shown << made << ini;
        };
        const CancelWhen never, atStep2 = [](qint64 done, qint64) { return done >= 2; };
        const QList<Answer> none, ok{Answer::Ok};
        const QStringList cancel{QString()}, csv{u"@/ore.csv"_s};
        const QString testo = dataPath(u"mov_mag_97_testo.mdb"_s), other = dataPath(u"non_access.mdb"_s);
        const QString nuovo = u"@/nuovo.mdb"_s;
        // Both archives named, and what becomes of the days of the one in use.
        const QString use =
            u"N Importate 60 righe da «"_s + testo +
            u"» in «@/nuovo.mdb» in # s\r\rUsare il nuovo archivio «@/nuovo.mdb» dal prossimo "
            "avvio di Zelvaro, al posto dell'archivio attuale «@/ZELVARO_97.mdb»?\r\rI giorni "
            "dell'archivio attuale restano nel suo file, ma non saranno più mostrati quando Zelvaro userà il "
            "nuovo archivio. Anche i giorni registrati da ora fino al riavvio vanno nell'archivio attuale."_s;
        row("esporta: cancelled at the dialog", esporta, cancel, never, none, {});
        row("esporta: a CSV file", esporta, csv, never, ok, u"I Esportati 3 movimenti in «@/ore.csv»"_s,
            {u"ore.csv"_s});
        row("esporta: never over an archive", esporta, {u"@/ZELVARO_97.mdb"_s}, never, ok,
            u"W «@/ZELVARO_97.mdb» è un archivio: non viene sovrascritto"_s);
        row("esporta: cancelled halfway", esporta, csv, atStep2, none, {});
        row("copia: a new file", copia, {u"@/copia.mdb"_s}, never, ok,
            u"I Copiato l'archivio «@/ZELVARO_97.mdb» in «@/copia.mdb» in # s"_s, {u"copia.mdb"_s});
        row("copia: never over a file", copia, {u"@/ZELVARO.INI"_s}, never, ok,
            u"W Copia non eseguita, nessun file creato: la destinazione «@/ZELVARO.INI» esiste già e "
            "non viene toccata: indicare un file nuovo"_s);
        row("importa: No keeps the INI", importa, {testo, nuovo}, never, {Answer::No}, use, {u"nuovo.mdb"_s});
        row("importa: Yes rewrites the INI", importa, {testo, nuovo}, never, {Answer::Yes, Answer::Ok},
            use + u"|I Il file di configurazione «@/ZELVARO.INI» ora indica «@/nuovo.mdb»: Zelvaro lo userà "
                  "dal prossimo avvio."_s,
            {u"nuovo.mdb"_s}, nuovo);
        row("importa: the tool's refusal", importa, {other, nuovo}, never, ok,
            u"W Importazione non eseguita, nessun archivio creato: «"_s + other +
                u"» non è un archivio Access (Jet): manca la firma \"Standard Jet DB\" all'inizio del file"_s);
        row("importa: cancelled while the tool writes rows", importa,
            {dataPath(u"mov_mag_97_grande.mdb"_s), nuovo}, [](qint64 done, qint64) { return done > 0; }, none,
            {});
        // Reading the archive the printout knows no total yet; laying it out it does.
        row("stampa: cancelled while reading", stampa, {},
            [](qint64 done, qint64 total) { return done >= 2 && total == 0; }, none, {});
        row("stampa: cancelled while laid out", stampa, {},
            [](qint64 done, qint64 total) { return done >= 2 && total > 0; }, none, {});
    }

    void menuCommands()
    {
        QFETCH(Command, command);
        QFETCH(QStringList, dialogs);
        QFETCH(CancelWhen, cancelWhen);
        QFETCH(QList<Answer>, answers);
        QFETCH(QString, shown);
        QFETCH(QStringList, made);
        QFETCH(QString, ini);
        if (command.libmdb && !ZELVARO_IMPORT)
            QSKIP("built without libmdb");
        const QString folder = m_temp->folder();
        m_fakes->files.script = dialogs.replaceInStrings(u"@"_s, folder);
        m_fakes->progress.cancelWhen = cancelWhen;
        for (const Answer answer : answers)
            m_fakes->messages.expect(answer);
        command.run();
        QCOMPARE(boxes(), shown.replace(u'@', folder).split(u'|', Qt::SkipEmptyParts));
        QCOMPARE(m_fakes->progress.cancelled, bool(cancelWhen));
        made << u"ZELVARO.INI"_s << u"ZELVARO_97.mdb"_s;
        made.sort(Qt::CaseInsensitive);
        QCOMPARE(folderEntries(folder), made); // no hidden file, no journal left
        QVERIFY(!m_fakes->files.asksToReplace.contains(!command.offersReplace));
        QCOMPARE(readBytes(m_ini), ini.replace(u'@', folder).toUtf8() + "\r\nnota\r\n");
    }

    // Each dialog starts in the documents folder, then in the folder it chose last; the dialogs do
    // not share a folder, and a cancelled one remembers nothing.
    void dialogsStartWhereTheUserLooks()
    {
        if (!ZELVARO_IMPORT)
            QSKIP("built without libmdb");
        const QString folder = m_temp->folder(), testo = dataPath(u"mov_mag_97_testo.mdb"_s);
        m_fakes->files.script = QStringList{folder + u"/ore.csv"_s,   QString(), testo,
                                            folder + u"/nuovo.mdb"_s, QString(), QString()};
        m_fakes->messages.expect(Answer::Ok);
        commands().esportaCsv();
        commands().copiaDiSicurezza();
        m_fakes->messages.expect(Answer::No);
        commands().importaAccess();
        commands().esportaCsv();
        commands().importaAccess();
        QCOMPARE(m_fakes->files.proposed,
                 (QStringList{u"/documenti/ZELVARO_ore.csv"_s, u"/documenti/ZELVARO_97-copia-20040305.mdb"_s,
                              u"/documenti"_s, u"/documenti/mov_mag_97_testo_importato.mdb"_s,
                              folder + u"/ZELVARO_ore.csv"_s, QFileInfo(testo).absolutePath()}));
    }

    // The INI's first line is replaced by way of a new file renamed over the old one, never half
    // written, and the rest kept byte for byte; a path that would not read back is refused.
    void iniRewrite_data()
    {
        QTest::addColumn<QByteArray>("before"); // "-": no file
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<bool>("refused");
        const QString nuovo = u"/d/Contabilità/nuovo.mdb"_s;
        const QByteArray line = nuovo.toUtf8(), old = "/d/a.mdb\n";
        // clang-format off
        QTest::newRow("CR LF and the rest kept") << QByteArray("C:\\ORE.mdb\r\nnota\r\n") << nuovo << line + "\r\nnota\r\n" << false;
        QTest::newRow("LF") << QByteArray("/d/a.mdb\n/d/b.mdb\n") << nuovo << line + "\n/d/b.mdb\n" << false;
        QTest::newRow("no line end") << QByteArray("/d/a.mdb") << nuovo << line << false;
        QTest::newRow("Windows-1252 line, rest as it was")
            << QByteArray("C:\\Contabilit\xe0.mdb\r\n\xe0\r\n") << nuovo << line + "\r\n\xe0\r\n" << false;
        QTest::newRow("no INI yet: written new") << QByteArray("-") << nuovo << line + "\n" << false;
        QTest::newRow("CR in the path refused") << old << u"/d/a\rb.mdb"_s << old << true;
        QTest::newRow("longer than a first line is read") << old << u'/' + QString(kMaxArchivePathBytes, u'x') << old << true;
        // clang-format on
    }

    void iniRewrite()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, path);
        QFETCH(QByteArray, after);
        QFETCH(bool, refused);
        QTemporaryDir dir;
        const QString ini = dir.filePath(u"ZELVARO.INI"_s);
        QVERIFY(before == "-" || writeBytes(ini, before));
        struct stat old = {}, written = {};
        ::stat(QFile::encodeName(ini).constData(), &old);
        QCOMPARE(replaceConfigurationLine(ini, path).failed(), refused);
        QCOMPARE(readBytes(ini), after);
        ::stat(QFile::encodeName(ini).constData(), &written);
        QCOMPARE(written.st_ino == old.st_ino, refused);
        QCOMPARE(folderEntries(dir.path()), QStringList{u"ZELVARO.INI"_s}); // nothing left beside it
    }
};

QTEST_MAIN(tst_Gestione)
#include "tst_gestione.moc"
