#include "Archive.h"
#include "DailyCopy.h"
#include "FakePrinter.h"
#include "Fakes.h"
#include "Form2.h"
#include "MovementLine.h"
#include "MovementListModel.h"
#include "RecordKey.h"
#include "TempArchive.h"
#include "WindowDriver.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QRegularExpression>
#include <QTest>

#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <optional>

using namespace zelvaro;
using namespace zelvaro::test;
using namespace Qt::StringLiterals;
using Answer = MessageBoxService::Answer;
Q_DECLARE_METATYPE(Answer)

static const QString kNumero = u"Indicare il numero del movimento !!!"_s;
static const QString k44(44, u' ');
// The boxes as the expected texts list them, '|' between: number, date, six times, five totals.
static const QStringList kBoxes =
    u"txtNUM_MOV txtGIORNO txtMESE txtANNO txtORA_INIZIO1 txtORA_FINE1 txtORA_INIZIO2 txtORA_FINE2 "
    "txtORA_INIZIO3 txtORA_FINE3 txtTOTALE_1 txtTOTALE_2 txtTOTALE_3 txtTOTALE_GENERALE "
    "txtTOTALE_GEN_SETTIMANA"_s.split(u' ');

// WCAG 2 contrast ratio of two colours.
static double contrastRatio(const QColor &a, const QColor &b)
{
    const auto luminance = [](const QColor &c) {
        const auto lin = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * lin(c.redF()) + 0.7152 * lin(c.greenF()) + 0.0722 * lin(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

class tst_Form2 : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempArchive> m_temp;
    std::unique_ptr<FakeServices> m_fakes;
    std::unique_ptr<FakePrinter> m_printer;
    std::unique_ptr<Archive> m_archive;
    int m_busyTimeoutMs = Archive::kBusyTimeoutMs;
    std::unique_ptr<Form2> m_form;
    std::unique_ptr<DailyCopy> m_dailyCopy; // the copy before the first change of the day, when set
    WindowDriver m_ui;

    // Texts joined by '|': a stored row (NUM_MOV, ANNO, MESE, GIORNO, six times, NOTE) or the boxes.
    static QStringList fields(const QString &joined) { return joined.split(u'|'); }
    void add(qint64 n, const QString &day, std::initializer_list<QString> times, const QString &note = {})
    {
        m_temp->insert(n, day, u"2"_s, u"2003"_s, times, note);
    }
    void openWindow()
    {
        Outcome error;
        m_archive = Archive::open(m_temp->path(), &error, Archive::OpenMode::ReadWrite, m_busyTimeoutMs);
        QVERIFY2(m_archive, qPrintable(error.text));
        Services services = m_fakes->services();
        services.beforeWrite = m_dailyCopy.get();
        m_form = std::make_unique<Form2>(*m_archive, services, *m_printer);
        m_ui = WindowDriver(m_form.get());
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    }
    QStringList boxTexts() const { return m_ui.texts(kBoxes); }
    void typeTimes(const QString &joined)
    {
        for (int i = 0; i < 6; ++i)
            m_ui.type(kBoxes[4 + i], fields(joined).at(i));
    }
    void expect(Answer a) { m_fakes->messages.expect(a); }
    void expectOk(int count = 1) { m_fakes->messages.expectOk(count); }
    QStringList texts() const { return m_fakes->messages.texts(); }

private slots:
    void init()
    {
        m_temp = std::make_unique<TempArchive>();
        m_fakes = std::make_unique<FakeServices>();
        m_printer = std::make_unique<FakePrinter>();
    }

    void cleanup()
    {
        const bool busy = m_form && m_fakes->pointer.busy;
        m_form.reset();
        m_archive.reset();
        m_dailyCopy.reset();
        m_busyTimeoutMs = Archive::kBusyTimeoutMs;
        QVERIFY2(!busy, "the pointer stayed busy");
        QCOMPARE(m_fakes->messages.unexpected, QStringList());
        QCOMPARE(m_fakes->messages.pending(), 0); // each box the test expected was shown
    }

    // Each control where the window's design puts it, named for a screen reader; each box tied to
    // the label above it, whose caption shows whole.
    void controls_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("twips");       // left, top, width, height
        QTest::addColumn<QString>("captionOf"); // the control showing the caption: the box's label
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QStringList>("tiedTo"); // the labels a screen reader reads for it
        QTest::addColumn<QString>("state");      // after the load
        QTest::addColumn<QColor>("background");
        QTest::addColumn<QString>("spoken");  // the name a screen reader says
        QTest::addColumn<double>("contrast"); // the least its text has when disabled

        const QColor base = QApplication::palette().color(QPalette::Active, QPalette::Base);
        const QColor cyan(0, 255, 255), pink(255, 192, 255), green(0, 255, 0), yellow(255, 255, 0);
        const QString ro = u"read-only"_s, off = u"disabled"_s;
        auto box = [](const char *name, QRect r, const char *label, const char *caption, const QString &state,
                      QColor bg, const char *spoken, double contrast = 0) {
            QTest::newRow(name) << QString(name) << r << QString(label) << QString(caption)
                                << QStringList{QString(label)} << state << bg << QString(spoken) << contrast;
        };
        auto other = [base](const char *name, QRect r, const char *caption, const QString &state,
                            const char *spoken) {
            QTest::newRow(name) << QString(name) << r << QString(name) << QString(caption) << QStringList()
                                << state << base << QString(spoken) << 0.0;
        };
        // clang-format off
        other("List1", {120, 120, 10335, 4470}, "", {}, "Elenco movimenti");
        box("txtNUM_MOV", {120, 4920, 855, 285}, "Label5", "Num. mov.", ro, cyan, "Num. mov.");
        // The date of a picked record stays readable in the protected date boxes.
        box("txtGIORNO", {1320, 4920, 495, 285}, "Label13", "Giorno", off, base, "Giorno", 4.5);
        box("txtMESE", {1800, 4920, 495, 285}, "Label12", " Mese", off, base, "Mese", 4.5);
        box("txtANNO", {2280, 4920, 495, 285}, "Label11", " Anno", off, base, "Anno", 4.5);
        box("txtORA_INIZIO1", {3240, 4920, 975, 285}, "Label7", "Ora inizio 1", {}, base, "Ora inizio 1");
        box("txtORA_FINE1", {4320, 4920, 975, 285}, "Label10", "Ora fine 1", {}, base, "Ora fine 1");
        box("txtORA_INIZIO2", {5640, 4920, 975, 285}, "Label14", "Ora inizio 2", {}, base, "Ora inizio 2");
        box("txtORA_FINE2", {6720, 4920, 975, 285}, "Label15", "Ora fine 2", {}, base, "Ora fine 2");
        box("txtORA_INIZIO3", {8040, 4920, 975, 285}, "Label9", "Ora inizio 3", {}, base, "Ora inizio 3");
        box("txtORA_FINE3", {9120, 4920, 975, 285}, "Label16", "Ora fine 3", {}, base, "Ora fine 3");
        box("txtTOTALE_GENERALE", {120, 5520, 1575, 315}, "Label8", "Totale Ore Giornata", ro, pink, "Totale Ore Giornata");
        box("txtTOTALE_1", {3720, 5520, 1215, 315}, "Label2", "Totale ore 1", ro, green, "Totale ore 1");
        box("txtTOTALE_2", {6120, 5520, 1215, 315}, "Label1", "Totale ore 2", ro, green, "Totale ore 2");
        box("txtTOTALE_3", {8520, 5520, 1215, 315}, "Label3", "Totale ore 3", ro, green, "Totale ore 3");
        box("txtTOTALE_GEN_SETTIMANA", {120, 6120, 1575, 315}, "Label4", "Tot. Ore Settimana", ro, yellow, "Tot. Ore Settimana");
        other("Command2", {2040, 6000, 1335, 375}, "Stampa elenco", {}, "Stampa elenco");
        other("Command1", {4680, 6000, 1335, 375}, "Cancella", off, "Cancella");
        other("cmdNUOVO", {6240, 6000, 1335, 375}, "Nuovo", {}, "Nuovo");
        other("cmdCONFERMA", {7800, 6000, 1335, 375}, "Conferma", {}, "Conferma");
        other("cmdFINE", {9360, 6000, 1095, 375}, "F i n e", {}, "Fine");
        // clang-format on
    }

    void controls()
    {
        QFETCH(QString, name);
        QFETCH(QRect, twips);
        QFETCH(QString, captionOf);
        QFETCH(QString, caption);
        QFETCH(QStringList, tiedTo);
        QFETCH(QString, state);
        QFETCH(QColor, background);
        QFETCH(QString, spoken);
        QFETCH(double, contrast);
        expectOk(); // "Archivio vuoto !"
        openWindow();
        QWidget *control = m_ui.find(name);
        QCOMPARE(control->geometry(), QRect(twips.topLeft() / 15, twips.size() / 15));
        QCOMPARE(control->isEnabled(), state != u"disabled");
        QCOMPARE(control->property("readOnly").toBool(), state == u"read-only");
        QCOMPARE(control->palette().color(QPalette::Active, QPalette::Base), background);
        QVERIFY(contrastRatio(control->palette().color(QPalette::Disabled, QPalette::Text),
                              control->palette().color(QPalette::Disabled, QPalette::Base)) >= contrast);
        QAccessibleInterface *spokenAs = QAccessible::queryAccessibleInterface(control);
        QCOMPARE(spokenAs->text(QAccessible::Name), spoken);
        QStringList labels;
        for (const auto &[label, relation] : spokenAs->relations(QAccessible::Label))
            labels.append(label->object()->objectName());
        QCOMPARE(labels, tiedTo);
        QWidget *shown = m_ui.find(captionOf);
        QCOMPARE(shown->property("text").toString(), caption);
        QVERIFY2(QFontMetrics(shown->font()).horizontalAdvance(caption) <= shown->width(), "caption cut off");
    }

    // A day added; another picked with the arrow keys (the list takes the focus with no line chosen),
    // kept after a "No", then deleted.
    void typicalRoad()
    {
        m_temp->insert(1, u"4"_s, u"3"_s, u"2004"_s, {u"8.30"_s, u"12.30"_s}, u"nota"_s);
        openWindow();
        m_ui.click(u"cmdNUOVO"_s);
        typeTimes(u"8.30|17||||"_s);
        m_ui.click(u"cmdCONFERMA"_s);
        QCOMPARE(m_temp->row(2), fields(u"2|2004|03|05|8.30|17|||||"_s));
        const QString line2 = u"2          05/03/2004       8.30         17"_s + k44;
        QCOMPARE(m_ui.rows(), (QStringList{u"1          04/03/2004       8.30      12.30"_s + k44, line2}));
        QCOMPARE(boxTexts(),
                 fields(u"2|05|03|2004|8.30|17|||||8 h / 30 Min.|||8 h / 30 Min.|12 h / 30 Min."_s));
        QVERIFY(!m_ui.box(u"txtGIORNO"_s)->isEnabled());

        QFocusEvent focusIn(QEvent::FocusIn, Qt::TabFocusReason);
        QCoreApplication::sendEvent(m_ui.find(u"List1"_s), &focusIn);
        QTest::keyClick(m_ui.find(u"List1"_s), Qt::Key_Down);
        const QStringList picked =
            fields(u"1|4|3|2004|8.30|12.30|||||4 h / 0 Min.|||4 h / 0 Min.|12 h / 30 Min."_s);
        QCOMPARE(boxTexts(), picked);
        expect(Answer::No);
        m_ui.click(u"Command1"_s);
        QCOMPARE(m_temp->rowCount(), 2);
        QCOMPARE(boxTexts(), picked);
        expect(Answer::Yes);
        m_ui.click(u"Command1"_s);
        QCOMPARE(m_temp->row(1), QStringList());
        QCOMPARE(m_ui.rows(), QStringList{line2});
        QCOMPARE(m_ui.box(u"txtTOTALE_GEN_SETTIMANA"_s)->text(), u"8 h / 30 Min."_s);
        QCOMPARE(texts(), QStringList(2, u"Confermi la cancellazione del movimento 1"_s));
        QVERIFY(m_fakes->messages.shown[1].title == u"Cancellazione nodo"_s &&
                m_fakes->messages.shown[1].buttons == MessageBoxService::Buttons::YesNo);
        m_ui.click(u"cmdNUOVO"_s);
        QVERIFY(!m_ui.button(u"Command1"_s)->isEnabled());
    }

    // "Nuovo" proposes the number after the last and today's date, and keeps the times and totals.
    void nuovo_data()
    {
        QTest::addColumn<QList<qint64>>("numbers");
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QStringList>("said"); // by the load and by "Nuovo"
        QTest::addColumn<QString>("boxes");    // number|day|month|year
        QTest::addColumn<bool>("dateOpen");
        QTest::newRow("last number 41 gives 42")
            << QList<qint64>{3, 41, 17} << QDate(2024, 12, 31) << QStringList() << u"42|31|12|2024"_s << true;
        QTest::newRow("only rows at 0 and below: an empty archive")
            << QList<qint64>{0, -1} << QDate(999, 1, 9) << QStringList{u"Archivio vuoto !"_s}
            << u"1|09|01|0999"_s << true;
        QTest::newRow("numbers exhausted")
            << QList<qint64>{std::numeric_limits<qint64>::max()} << QDate(2004, 3, 5)
            << QStringList{u"Numeri di movimento esauriti"_s} << u"9223372036854775807|1|2|2003"_s << false;
    }

    void nuovo()
    {
        QFETCH(QList<qint64>, numbers);
        QFETCH(QDate, today);
        QFETCH(QStringList, said);
        QFETCH(QString, boxes);
        QFETCH(bool, dateOpen);
        for (qint64 n : numbers)
            add(n, u"1"_s, {u"8"_s, u"12"_s, u"13"_s, u"14.15"_s});
        m_fakes->clock.when = QDateTime(today, QTime(23, 59));
        expectOk(int(said.size()));
        openWindow();
        m_ui.pick(0); // the record key is now the first line's: "Nuovo" asks the archive
        const QStringList kept = boxTexts().mid(4);
        m_ui.click(u"cmdNUOVO"_s);
        QCOMPARE(texts(), said);
        QCOMPARE(boxTexts(), fields(boxes) + kept);
        for (const QString &date : kBoxes.mid(1, 3))
            QCOMPARE(m_ui.box(date)->isEnabled(), dateOpen);
    }

    // A step that cannot be done says why and changes nothing: a missing entry is refused with a
    // beep, a number that names no record is reported, and so is each step on a locked archive. Each
    // missing time is read from its own box.
    void nothingChangesWhenRefused_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("times");
        QTest::addColumn<QString>("otherProgram"); // what another program, open meanwhile, does first
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QList<Answer>>("answers"); // to the boxes shown
        QTest::addColumn<QStringList>("said");
        QTest::addColumn<int>("beeps");
        const QStringList conferma{u"cmdCONFERMA"_s}, numero{kNumero};
        const QList<Answer> ok{Answer::Ok};
        auto ora = [](const char *which, int period) {
            return QStringList{
                u"Indicare l'ora di %1 %2.Periodo !!!"_s.arg(QLatin1String(which)).arg(period)};
        };
        // clang-format off
        QTest::newRow("number of blanks only") << u"   "_s << u"8|12||||"_s << QString() << conferma << ok << numero << 1;
        QTest::newRow("no start of period 1") << u"5"_s << u"|12||||"_s << QString() << conferma << ok << ora("inizio", 1) << 1;
        QTest::newRow("end 2 without start 2") << u"5"_s << u"8|12||18.00||"_s << QString() << conferma << ok << ora("inizio", 2) << 1;
        QTest::newRow("end 3 without start 3") << u"5"_s << u"8|12||||20"_s << QString() << conferma << ok << ora("inizio", 3) << 1;
        QTest::newRow("Cancella without number") << u"  "_s << u"8|12||||"_s << QString() << QStringList{u"Command1"_s} << ok << numero << 1;
        // clang-format on
        const QString report = u"Errore  20 - Numero del movimento non valido: x1\r\r"_s;
        QTest::newRow("number that names no record")
            << u"  x1 "_s << u"7|11||||"_s << QString() << QStringList{u"cmdCONFERMA"_s, u"Command1"_s}
            << QList<Answer>{Answer::Ok, Answer::Yes, Answer::Ok}
            << QStringList{report, u"Confermi la cancellazione del movimento x1"_s, report} << 0;
        const QString locked =
            u"Errore  5 - L'archivio è bloccato da un altro programma (database is locked)"_s;
        QTest::newRow("archive locked by another program")
            << u"5"_s << u"7|13||||"_s << u"BEGIN EXCLUSIVE"_s
            << QStringList{u"cmdCONFERMA"_s, u"Command1"_s, u"Command2"_s, u"cmdNUOVO"_s}
            << QList<Answer>{Answer::Ok, Answer::Yes, Answer::Ok, Answer::Ok, Answer::Ok}
            << QStringList{locked + u": il movimento non è stato registrato\r\r"_s,
                           u"Confermi la cancellazione del movimento 5"_s,
                           locked + u": il movimento non è stato cancellato\r\r"_s, locked + u"\r\r"_s,
                           locked + u"\r\r"_s}
            << 0;
    }

    void nothingChangesWhenRefused()
    {
        QFETCH(QString, number);
        QFETCH(QString, times);
        QFETCH(QString, otherProgram);
        QFETCH(QStringList, clicks);
        QFETCH(QList<Answer>, answers);
        QFETCH(QStringList, said);
        QFETCH(int, beeps);
        m_busyTimeoutMs = 50;
        add(5, u"1"_s, {u"7"_s, u"11"_s}, u"nota"_s);
        openWindow();
        m_ui.pick(0);
        m_ui.box(u"txtNUM_MOV"_s)->setText(number); // read-only: only the program writes it
        typeTimes(times);
        const QStringList linesBefore = m_ui.rows(), boxesBefore = boxTexts();
        auto other = std::make_unique<SqlFile>(m_temp->path());
        other->exec(otherProgram);
        for (const Answer answer : answers)
            expect(answer);
        for (const QString &button : clicks)
            m_ui.click(button);
        QCOMPARE(texts(), said);
        QCOMPARE(m_fakes->beep.count, beeps);
        QCOMPARE(boxTexts(), boxesBefore);
        QCOMPARE(m_ui.rows(), linesBefore);
        QVERIFY(m_printer->documents.isEmpty() && !m_ui.box(u"txtGIORNO"_s)->isEnabled());
        other.reset();
        QCOMPARE(m_temp->row(5), fields(u"5|2003|2|1|7|11|<NULL>|<NULL>|<NULL>|<NULL>|nota"_s));
    }

    // The load shows the last listed day; neither a change, the list filled again, nor the printout
    // uses the boxes for their own work. Without a printer the list goes into a PDF, and the window
    // says where.
    void boxesAreNotScratchSpace()
    {
        add(3, u"3"_s, {u"14"_s, u"18"_s, u"19"_s, u"20"_s});
        add(1, u"1"_s, {u"8"_s, u"12"_s});
        openWindow();
        QCOMPARE(boxTexts(),
                 fields(u"||||14|18|19|20|||4 h / 0 Min.|1 h / 0 Min.||5 h / 0 Min.|9 h / 0 Min."_s));
        m_ui.pick(0);
        m_ui.type(u"txtORA_FINE1"_s, u"13"_s);
        m_ui.click(u"cmdCONFERMA"_s);
        const QStringList day = fields(u"1|1|2|2003|8|13|||||5 h / 0 Min.|||5 h / 0 Min.|10 h / 0 Min."_s);
        QCOMPARE(boxTexts(), day);
        m_ui.click(u"cmdCONFERMA"_s); // a double click on "Conferma"
        QCOMPARE(m_temp->row(1), fields(u"1|2003|2|1|8|13|||||<NULL>"_s));
        QCOMPARE(m_temp->rowCount(), 2);
        const QString pdf = u"/tmp/ZELVARO_elenco_20040305_091530.pdf"_s;
        m_printer->result = PrintResult{{}, pdf};
        expectOk();
        m_ui.click(u"Command2"_s);
        QCOMPARE(boxTexts(), day);
        QCOMPARE(m_printer->documents.size(), 1);
        QCOMPARE(texts(),
                 QStringList{u"Nessuna stampante disponibile: l'elenco è stato salvato in "_s + pdf});
        QCOMPARE(m_fakes->messages.shown[0].beepsBefore, 0);
    }

    // A pick shows the record the line was made from, or no record when it cannot: never the number
    // or the times of the record shown before, which a "Conferma" would then overwrite.
    void pickShowsTheLinesRecordOrNone_data()
    {
        QTest::addColumn<QString>("setup");     // the records of the two lines
        QTest::addColumn<QString>("afterFill"); // what another program does once the list is filled
        QTest::addColumn<QStringList>("said");
        QTest::addColumn<QString>("boxes"); // after the first line is picked, then the second
        const auto records = [](const char *second) {
            return u"INSERT INTO MOV_MAG (NUM_MOV, ANNO, MESE, GIORNO, ORA_INIZIO_1, ORA_FINE_1) VALUES "
                   "(1234567890, '2003', '2', '1', '8', '12'), (%1, '2003', '2', '2', '9', '17')"_s.arg(
                       second);
        };
        const QString none = u"||||||||||||||12 h / 0 Min."_s;
        QTest::newRow("number of eleven digits, cut in the line")
            << records("12345678901") << QString() << QStringList()
            << u"12345678901|2|2|2003|9|17|||||8 h / 0 Min.|||8 h / 0 Min.|12 h / 0 Min."_s;
        QTest::newRow("record removed since the fill")
            << records("12345678901") << u"DELETE FROM MOV_MAG WHERE NUM_MOV = 12345678901"_s << QStringList()
            << u"|||||||||||||4 h / 0 Min.|12 h / 0 Min."_s; // the day total of a day without period 1 stays
        QTest::newRow("number with letters, stored by another tool")
            << u"DROP TABLE MOV_MAG; CREATE TABLE MOV_MAG (%1); "_s.arg(QLatin1String(kAllColumns)) +
                   records("'12a'")
            << QString() << QStringList{u"Errore  20 - Numero del movimento non valido: 12a\r\r"_s} << none;
        QTest::newRow("archive locked by another program")
            << records("12345678901") << u"BEGIN EXCLUSIVE"_s
            << QStringList{u"Errore  5 - L'archivio è bloccato da un altro programma (database is locked)\r\r"_s}
            << none;
    }

    void pickShowsTheLinesRecordOrNone()
    {
        QFETCH(QString, setup);
        QFETCH(QString, afterFill);
        QFETCH(QStringList, said);
        QFETCH(QString, boxes);
        m_busyTimeoutMs = 50;
        m_temp->exec(setup);
        openWindow();
        m_ui.pick(0);
        SqlFile other(m_temp->path()); // open until the test ends
        other.exec(afterFill);
        expectOk(int(said.size()));
        m_ui.pick(1);
        QCOMPARE(texts(), said);
        QCOMPARE(boxTexts(), fields(boxes));
    }

    // The archive numbers a new row itself: after another program has removed the last record,
    // "Nuovo" proposes a number that the archive does not give. The number box, and the report of a
    // list that cannot be read again, name the row stored, so that a second "Conferma" overwrites it.
    void confermaNamesTheRowStored()
    {
        add(7, u"1"_s, {u"8"_s, u"12"_s});
        openWindow();
        const QStringList lines = m_ui.rows();
        m_temp->exec(u"DELETE FROM MOV_MAG"_s);
        m_temp->failListingAbove(0);
        m_ui.click(u"cmdNUOVO"_s);
        QCOMPARE(m_ui.box(u"txtNUM_MOV"_s)->text(), u"8"_s);
        typeTimes(u"8|16||||"_s);
        expectOk();
        m_ui.click(u"cmdCONFERMA"_s);
        m_temp->restoreTable();
        std::optional<qint64> given;
        QVERIFY(!m_archive->lastNumber(&given).failed() && given);
        const QString number = QString::number(*given);
        QCOMPARE(texts(), QStringList{u"Errore  1 - Il movimento "_s + number +
                                      u" è stato registrato, ma l'elenco non è stato aggiornato: Errore "
                                      "nell'interrogazione dell'archivio (integer overflow)\r\r"_s});
        QCOMPARE(m_ui.rows(), lines); // the list as it was
        QVERIFY(!m_fakes->pointer.busy);
        QCOMPARE(m_ui.box(u"txtNUM_MOV"_s)->text(), number);
        m_ui.type(u"txtORA_FINE1"_s, u"17"_s);
        m_ui.click(u"cmdCONFERMA"_s);
        QCOMPARE(m_temp->rowCount(), 1);
        QCOMPARE(m_temp->row(*given).at(5), u"17"_s);
    }

    // Before the first change of a day the archive is copied, by "Cancella" as by "Conferma", also
    // when the window stays open past midnight. A copy that fails is told once a day, in the one
    // message that says what became of the change.
    void dailyCopyBeforeTheFirstChange_data()
    {
        QTest::addColumn<QString>("folder");        // of the copies, beside the archive
        QTest::addColumn<QString>("otherProgram");  // what it holds meanwhile
        QTest::addColumn<QStringList>("clicks");    // the changes; "mezzanotte": the clock's next day
        QTest::addColumn<QList<Answer>>("answers"); // to the boxes shown
        QTest::addColumn<QStringList>("said");      // '@' the archive's folder, '#' the series' digits
        QTest::addColumn<QStringList>("copies");    // in the series folder
        const QString notMade =
            u"La copia di sicurezza giornaliera «ZELVARO_97-20040305.mdb» non è stata fatta "
            "nella cartella «@/%1/ZELVARO_97-#»: %2.\r\rLa copia viene ritentata a ogni "
            "modifica; questo avviso non si ripete fino a domani."_s;
        const QString cancella = u"Confermi la cancellazione del movimento 1"_s;
        const QStringList today{u"ZELVARO_97-20040305.mdb"_s};
        QTest::newRow("Cancella") << u"copie"_s << QString() << QStringList{u"Command1"_s}
                                  << QList<Answer>{Answer::Yes} << QStringList{cancella} << today;
        QTest::newRow("open past midnight: the next day's first change copies again")
            << u"copie"_s << QString() << QStringList{u"cmdCONFERMA"_s, u"mezzanotte"_s, u"cmdCONFERMA"_s}
            << QList<Answer>() << QStringList() << (today + QStringList{u"ZELVARO_97-20040306.mdb"_s});
        QTest::newRow("copy impossible: the change made, said once")
            << u"ZELVARO_97.mdb/copie"_s << QString() << QStringList{u"cmdCONFERMA"_s, u"Command1"_s}
            << QList<Answer>{Answer::Ok, Answer::Yes}
            << QStringList{u"Il movimento 1 è stato registrato.\r\r"_s +
                               notMade.arg(
                                   u"ZELVARO_97.mdb/copie"_s,
                                   u"la cartella non si può creare (una parte del percorso non è una cartella)"_s),
                           cancella}
            << QStringList();
        QTest::newRow("archive locked at the first change: one message, true")
            << u"copie"_s << u"BEGIN EXCLUSIVE"_s << QStringList{u"cmdCONFERMA"_s}
            << QList<Answer>{Answer::Ok}
            << QStringList{u"Errore  5 - L'archivio è bloccato da un altro programma (database is locked): "
                           u"il "
                           "movimento non è stato registrato\r\r"_s +
                           notMade.arg(
                               u"copie"_s,
                               u"l'archivio è bloccato da un altro programma (database is locked)"_s) +
                           u"\r\r"_s}
            << QStringList();
    }

    void dailyCopyBeforeTheFirstChange()
    {
        QFETCH(QString, folder);
        QFETCH(QString, otherProgram);
        QFETCH(QStringList, clicks);
        QFETCH(QList<Answer>, answers);
        QFETCH(QStringList, said);
        QFETCH(QStringList, copies);
        folder = m_temp->folder() + u'/' + folder;
        m_dailyCopy = std::make_unique<DailyCopy>(folder, m_fakes->clock);
        m_busyTimeoutMs = 50;
        add(1, u"1"_s, {u"8"_s, u"12"_s});
        add(2, u"2"_s, {u"8"_s, u"12"_s});
        openWindow();
        m_dailyCopy->setArchive(m_archive.get());
        m_ui.pick(0);
        SqlFile other(m_temp->path());
        other.exec(otherProgram);
        for (const Answer answer : answers)
            expect(answer);
        for (const QString &button : clicks) {
            if (button == u"mezzanotte"_s)
                m_fakes->clock.when = QDateTime(QDate(2004, 3, 6), QTime(0, 5));
            else
                m_ui.click(button);
        }
        const QRegularExpression digits(u"ZELVARO_97-[0-9a-f]{8}(»|$)"_s);
        QCOMPARE(
            texts().replaceInStrings(m_temp->folder(), u"@"_s).replaceInStrings(digits, u"ZELVARO_97-#\\1"_s),
            said);
        const QStringList series = QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QCOMPARE(series.filter(digits), series);
        QCOMPARE(series.isEmpty() ? QStringList() : QDir(folder + u'/' + series[0]).entryList(QDir::Files),
                 copies);
    }

    // The list line column by column: number 1-10, date 12-21, the six times 23-32, 34-43, ... 78-87.
    void columns_data()
    {
        QTest::addColumn<QString>("fields"); // number|day|month|year|six times
        QTest::addColumn<QString>("line");
        // clang-format off
        QTest::newRow("null fields give zeros and blanks") << u"|||||||||"_s
            << u"           00/00/0000                                                                  "_s;
        QTest::newRow("eleven digits keep the first ten") << u"12345678901|1|1|2004|8.30|12|||13.5|"_s
            << u"1234567890 01/01/2004       8.30         12                             13.5           "_s;
        QTest::newRow("day 123 keeps its last two, year 04 reads 0004") << u"2|123|012|04|||||1|"_s
            << u"2          23/12/0004                                                      1           "_s;
        QTest::newRow("times longer than ten keep their last ten")
            << u"6|1|1|2000|0123456789AB|12345678901|1234567890|||zzzzzzzzzzzz8.30"_s
            << u"6          01/01/2000 23456789AB 2345678901 1234567890                       zzzzzz8.30"_s;
        QTest::newRow("Latin-1 letters") << u"7|1|1|2000|è8|||||ÿ"_s
            << u"7          01/01/2000         è8                                                      ÿ"_s;
        QTest::newRow("characters beyond Latin-1") << u"8|1|1|2000|8€||||||"_s
            << u"8          01/01/2000         8€                                                       "_s;
        // clang-format on
    }

    void columns()
    {
        QFETCH(QString, fields);
        QFETCH(QString, line);
        const QStringList f = fields.split(u'|');
        // As the list keeps it, between two other lines.
        const HoursRecord record{
            f[0], f[3], f[2], f[1], f[4], f[5], f[6], f[7], f[8], f[9], u"never shown"_s};
        HoursRecord other;
        other.numMov = u"1"_s;
        MovementRows rows;
        for (const HoursRecord *r : std::array<const HoursRecord *, 3>{&other, &record, &other})
            rows.append(*r, 0);
        QCOMPARE(rows.line(1), line);
    }

    void recordNumber_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<qint64>("number"); // 0: not a record number
        QTest::newRow("leading zeros") << u"007"_s << qint64(7);
        QTest::newRow("largest 64-bit number") << u"9223372036854775807"_s << qint64(9223372036854775807LL);
        QTest::newRow("one beyond 64 bits") << u"9223372036854775808"_s << qint64(0);
        QTest::newRow("sign") << u"+3"_s << qint64(0);
    }

    void recordNumber()
    {
        QFETCH(QString, key);
        QFETCH(qint64, number);
        const std::optional<qint64> result = recordNumberFromKey(key);
        QCOMPARE(result.has_value(), number != 0);
        QCOMPARE(result.value_or(0), number);
    }

    void nextNumber_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("next");
        QTest::newRow("beyond 2^53 counted exactly") << u"9007199254740993"_s << u"9007199254740994"_s;
        QTest::newRow("decimal key") << u"3.5"_s << u"4.5"_s;
    }

    void nextNumber()
    {
        QFETCH(QString, key);
        QFETCH(QString, next);
        QCOMPARE(nextNumberText(key), next);
    }
};

QTEST_MAIN(tst_Form2)
#include "tst_form2.moc"
