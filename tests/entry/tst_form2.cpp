#include "Archive.h"
#include "DailyBackup.h"
#include "DailyCopy.h"
#include "FakePrinter.h"
#include "Fakes.h"
#include "Form2.h"
#include "TempArchive.h"

#include <QAccessible>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTest>

#include <sqlite3.h>

#include <cmath>
#include <limits>
#include <memory>
#include <optional>

using namespace zelvaro;
using namespace zelvaro::test;
using namespace Qt::StringLiterals;
using Answer = MessageBoxService::Answer;

static const QString kNumero = u"Indicare il numero del movimento !!!"_s;
static const QString k44(44, u' ');
static const QStringList kBoxes =
    u"txtNUM_MOV txtGIORNO txtMESE txtANNO txtORA_INIZIO1 txtORA_FINE1 txtORA_INIZIO2 txtORA_FINE2 "
    u"txtORA_INIZIO3 "
    "txtORA_FINE3 txtTOTALE_1 txtTOTALE_2 txtTOTALE_3 txtTOTALE_GENERALE txtTOTALE_GEN_SETTIMANA"_s.split(
        u' ');

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

    // Texts joined by '|': a stored row (NUM_MOV, ANNO, MESE, GIORNO, six times, NOTE) or the boxes above.
    static QStringList fields(const QString &joined) { return joined.split(u'|'); }
    void add(qint64 n, const QString &day, std::initializer_list<QString> times, const QString &note = {})
    {
        m_temp->insert(n, day, u"2"_s, u"2003"_s, times, note);
    }
    void openWindow(Archive::OpenMode mode = Archive::OpenMode::ReadWrite)
    {
        ArchiveError error;
        m_archive = Archive::open(m_temp->path(), &error, mode, m_busyTimeoutMs);
        QVERIFY2(m_archive, qPrintable(error.text));
        Services services = m_fakes->services();
        services.beforeWrite = m_dailyCopy.get();
        if (m_dailyCopy)
            m_dailyCopy->setArchive(m_archive.get());
        m_form = std::make_unique<Form2>(*m_archive, services, *m_printer);
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    }
    QLineEdit *box(const QString &name) const { return m_form->findChild<QLineEdit *>(name); }
    QPushButton *button(const QString &name) const { return m_form->findChild<QPushButton *>(name); }
    QListView *list() const { return m_form->findChild<QListView *>(u"List1"_s); }
    QStringList lines() const
    {
        QStringList result;
        for (int row = 0; row < list()->model()->rowCount(); ++row)
            result.append(list()->model()->index(row, 0).data().toString());
        return result;
    }
    QStringList boxTexts() const
    {
        QStringList result;
        for (const QString &name : kBoxes)
            result.append(box(name)->text());
        return result;
    }
    void type(const QString &name, const QString &text)
    {
        box(name)->clear();
        QTest::keyClicks(box(name), text);
    }
    void typeTimes(const QString &joined)
    {
        for (int i = 0; i < 6; ++i)
            type(kBoxes[4 + i], fields(joined).at(i));
    }
    void pick(int row)
    {
        const QModelIndex index = list()->model()->index(row, 0);
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, list()->visualRect(index).center());
    }
    void click(const QString &name)
    {
        QVERIFY2(button(name)->isEnabled(), qPrintable(name));
        QTest::mouseClick(button(name), Qt::LeftButton);
    }
    void expect(Answer a) { m_fakes->messages.expect(a); }
    void expectOk(int count = 1) { m_fakes->messages.expectOk(count); }
    QList<FakeMessageBox::Shown> &shown() { return m_fakes->messages.shown; }
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
        const QStringList unexpected = m_fakes->messages.unexpected;
        const int unanswered = m_fakes->messages.pending();
        m_form.reset();
        m_archive.reset();
        m_dailyCopy.reset();
        m_busyTimeoutMs = Archive::kBusyTimeoutMs;
        QVERIFY2(!busy, "the pointer stayed busy");
        QVERIFY2(unexpected.isEmpty(), qPrintable(u"unexpected box: "_s + unexpected.join(u" | "_s)));
        QVERIFY2(unanswered == 0, "a box that the test expected was not shown");
    }

    void controls_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("twips"); // left, top, width, height
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("caption"); // of the button, or of the label above the box
        QTest::addColumn<QString>("state");   // after the load
        QTest::addColumn<QColor>("background");
        QTest::addColumn<QString>("spoken"); // the name a screen reader says

        const QColor none, cyan(0, 255, 255), pink(255, 192, 255), green(0, 255, 0), yellow(255, 255, 0);
        const QString ro = u"read-only"_s, off = u"disabled"_s;
        auto row = [](const char *name, QRect r, const char *label, const QString &caption,
                      const QString &state, QColor bg, const char *spoken) {
            QTest::newRow(name) << QString::fromLatin1(name) << r << QString::fromLatin1(label) << caption
                                << state << bg << QString::fromUtf8(spoken);
        };
        row("List1", QRect(120, 120, 10335, 4470), "", {}, {}, none, "Elenco movimenti");
        row("txtNUM_MOV", QRect(120, 4920, 855, 285), "Label5", u"Num. mov."_s, ro, cyan, "Num. mov.");
        row("txtGIORNO", QRect(1320, 4920, 495, 285), "Label13", u"Giorno"_s, off, none, "Giorno");
        row("txtMESE", QRect(1800, 4920, 495, 285), "Label12", u" Mese"_s, off, none, "Mese");
        row("txtANNO", QRect(2280, 4920, 495, 285), "Label11", u" Anno"_s, off, none, "Anno");
        row("txtORA_INIZIO1", QRect(3240, 4920, 975, 285), "Label7", u"Ora inizio 1"_s, {}, none,
            "Ora inizio 1");
        row("txtORA_FINE1", QRect(4320, 4920, 975, 285), "Label10", u"Ora fine 1"_s, {}, none, "Ora fine 1");
        row("txtORA_INIZIO2", QRect(5640, 4920, 975, 285), "Label14", u"Ora inizio 2"_s, {}, none,
            "Ora inizio 2");
        row("txtORA_FINE2", QRect(6720, 4920, 975, 285), "Label15", u"Ora fine 2"_s, {}, none, "Ora fine 2");
        row("txtORA_INIZIO3", QRect(8040, 4920, 975, 285), "Label9", u"Ora inizio 3"_s, {}, none,
            "Ora inizio 3");
        row("txtORA_FINE3", QRect(9120, 4920, 975, 285), "Label16", u"Ora fine 3"_s, {}, none, "Ora fine 3");
        row("txtTOTALE_GENERALE", QRect(120, 5520, 1575, 315), "Label8", u"Totale Ore Giornata"_s, ro, pink,
            "Totale Ore Giornata");
        row("txtTOTALE_1", QRect(3720, 5520, 1215, 315), "Label2", u"Totale ore 1"_s, ro, green,
            "Totale ore 1");
        row("txtTOTALE_2", QRect(6120, 5520, 1215, 315), "Label1", u"Totale ore 2"_s, ro, green,
            "Totale ore 2");
        row("txtTOTALE_3", QRect(8520, 5520, 1215, 315), "Label3", u"Totale ore 3"_s, ro, green,
            "Totale ore 3");
        row("txtTOTALE_GEN_SETTIMANA", QRect(120, 6120, 1575, 315), "Label4", u"Tot. Ore Settimana"_s, ro,
            yellow, "Tot. Ore Settimana");
        row("Command2", QRect(2040, 6000, 1335, 375), "", u"Stampa elenco"_s, {}, none, "Stampa elenco");
        row("Command1", QRect(4680, 6000, 1335, 375), "", u"Cancella"_s, off, none, "Cancella");
        row("cmdNUOVO", QRect(6240, 6000, 1335, 375), "", u"Nuovo"_s, {}, none, "Nuovo");
        row("cmdCONFERMA", QRect(7800, 6000, 1335, 375), "", u"Conferma"_s, {}, none, "Conferma");
        row("cmdFINE", QRect(9360, 6000, 1095, 375), "", u"F i n e"_s, {}, none, "Fine");
    }

    void controls()
    {
        QFETCH(QString, name);
        QFETCH(QRect, twips);
        QFETCH(QString, label);
        QFETCH(QString, caption);
        QFETCH(QString, state);
        QFETCH(QColor, background);
        QFETCH(QString, spoken);
        expectOk(); // "Archivio vuoto !"
        openWindow();
        auto *w = m_form->findChild<QWidget *>(name);
        QVERIFY(w);
        QCOMPARE(w->geometry(), QRect(twips.topLeft() / 15, twips.size() / 15));
        QCOMPARE(w->isEnabled(), state != u"disabled");
        QAccessibleInterface *spokenAs = QAccessible::queryAccessibleInterface(w);
        QVERIFY(spokenAs);
        QCOMPARE(spokenAs->text(QAccessible::Name), spoken);
        if (auto *b = qobject_cast<QPushButton *>(w))
            QCOMPARE(b->text(), caption);
        if (auto *edit = qobject_cast<QLineEdit *>(w)) {
            auto *l = m_form->findChild<QLabel *>(label);
            QVERIFY(l);
            QCOMPARE(l->text(), caption);
            const auto labels = spokenAs->relations(QAccessible::Label);
            QVERIFY2(labels.size() == 1 && labels[0].first->object() == l,
                     "the label is not tied to its box");
            if (!edit->isEnabled()) // the date of a picked record must stay readable
                QVERIFY(contrastRatio(edit->palette().color(QPalette::Disabled, QPalette::Text),
                                      edit->palette().color(QPalette::Disabled, QPalette::Base)) >= 4.5);
            QVERIFY2(QFontMetrics(l->font()).horizontalAdvance(caption) <= l->width(), "caption cut off");
            QCOMPARE(edit->isReadOnly(), state == u"read-only");
            QVERIFY(edit->text().isEmpty());
            QCOMPARE(edit->palette().color(QPalette::Active, QPalette::Base),
                     background.isValid() ? background
                                          : m_form->palette().color(QPalette::Active, QPalette::Base));
        }
    }

    void typicalRoad()
    {
        m_temp->insert(1, u"4"_s, u"3"_s, u"2004"_s, {u"8.30"_s, u"12.30"_s}, u"nota"_s);
        openWindow();
        click("cmdNUOVO");
        typeTimes(u"8.30|17||||"_s);
        click("cmdCONFERMA");
        QCOMPARE(m_temp->row(2), fields(u"2|2004|03|05|8.30|17|||||"_s));
        const QString line2 = u"2          05/03/2004       8.30         17"_s + k44;
        QCOMPARE(lines(), (QStringList{u"1          04/03/2004       8.30      12.30"_s + k44, line2}));
        QCOMPARE(boxTexts(),
                 fields(u"2|05|03|2004|8.30|17|||||8 h / 30 Min.|||8 h / 30 Min.|12 h / 30 Min."_s));

        pick(0);
        const QStringList picked =
            fields(u"1|4|3|2004|8.30|12.30|||||4 h / 0 Min.|||4 h / 0 Min.|12 h / 30 Min."_s);
        QCOMPARE(boxTexts(), picked);
        expect(Answer::No);
        click("Command1");
        QCOMPARE(m_temp->rowCount(), 2);
        QCOMPARE(boxTexts(), picked);
        expect(Answer::Yes);
        click("Command1");
        QCOMPARE(m_temp->row(1), QStringList());
        QCOMPARE(lines(), QStringList{line2});
        QCOMPARE(box("txtTOTALE_GEN_SETTIMANA")->text(), u"8 h / 30 Min."_s);
        QCOMPARE(texts(), QStringList(2, u"Confermi la cancellazione del movimento 1"_s));
        QCOMPARE(shown()[1].title, u"Cancellazione nodo"_s);
        QCOMPARE(shown()[1].buttons, MessageBoxService::Buttons::YesNo);
    }

    void nuovo_data()
    {
        QTest::addColumn<QList<qint64>>("numbers");
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QString>("boxes"); // number|day|month|year
        QTest::newRow("last number 41 gives 42")
            << QList<qint64>{3, 41, 17} << QDate(2004, 3, 5) << u"42|05|03|2004"_s;
        QTest::newRow("rows at 0 and below are not the last")
            << QList<qint64>{5, 0, -8} << QDate(2024, 12, 31) << u"6|31|12|2024"_s;
        QTest::newRow("empty archive gives 1") << QList<qint64>{} << QDate(1999, 1, 9) << u"1|09|01|1999"_s;
        QTest::newRow("only rows at 0 and below: empty")
            << QList<qint64>{0, -1} << QDate(999, 10, 10) << u"1|10|10|0999"_s;
    }

    void nuovo()
    {
        QFETCH(QList<qint64>, numbers);
        QFETCH(QDate, today);
        QFETCH(QString, boxes);
        for (qint64 n : numbers)
            add(n, u"1"_s, {u"8"_s, u"12"_s, u"13"_s, u"14.15"_s});
        m_fakes->clock.when = QDateTime(today, QTime(23, 59));
        const bool empty = boxes.startsWith(u"1|");
        expectOk(empty);
        openWindow();
        QCOMPARE(texts(), empty ? QStringList{u"Archivio vuoto !"_s} : QStringList());
        if (!empty)
            pick(0);
        const QStringList kept = boxTexts().mid(4);
        click("cmdNUOVO");
        QCOMPARE(boxTexts(), fields(boxes) + kept); // times and totals stay as they were
        QVERIFY(box("txtGIORNO")->isEnabled() && box("txtMESE")->isEnabled() && box("txtANNO")->isEnabled());
        QVERIFY(!button("Command1")->isEnabled());
        QCOMPARE(m_temp->rowCount(), numbers.size());
    }

    void nuovoAfterDeletingLastRow()
    {
        add(7, u"1"_s, {u"8"_s, u"12"_s});
        openWindow();
        pick(0);
        expect(Answer::Yes);
        expectOk(); // "Archivio vuoto !"
        click("Command1");
        click("cmdNUOVO");
        QCOMPARE(box("txtNUM_MOV")->text(), u"8"_s);
        typeTimes(u"8|16||||"_s);
        click("cmdCONFERMA");
        std::optional<qint64> given;
        QVERIFY(!m_archive->lastNumber(&given).failed() && given);
        // The number box names the row the archive added, whatever number it gave, so that a
        // second "Conferma" overwrites that row instead of adding the same day again.
        QCOMPARE(box("txtNUM_MOV")->text(), QString::number(*given));
        QVERIFY(lines().size() == 1 && lines()[0].startsWith(QString::number(*given) + u' '));
        type("txtORA_FINE1", u"17"_s);
        click("cmdCONFERMA");
        QCOMPARE(m_temp->rowCount(), 1);
        QCOMPARE(m_temp->row(*given).at(5), u"17"_s);
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("times");
        QTest::addColumn<QString>("message");
        const QString c = u"cmdCONFERMA"_s;
        auto ora = [](const char *which, int period) {
            return u"Indicare l'ora di %1 %2.Periodo !!!"_s.arg(QLatin1String(which)).arg(period);
        };
        QTest::newRow("number of blanks only") << c << u"   "_s << u"8|12||||"_s << kNumero;
        QTest::newRow("number first, before the times") << c << QString() << u"||14|||"_s << kNumero;
        QTest::newRow("no start of period 1") << c << u"5"_s << u"|12||||"_s << ora("inizio", 1);
        QTest::newRow("period 1 before period 2") << c << u"5"_s << u"||14|||"_s << ora("inizio", 1);
        QTest::newRow("no end of period 1") << c << u"5"_s << u"8|||||"_s << ora("fine", 1);
        QTest::newRow("end 2 without start 2") << c << u"5"_s << u"8|12||18.00||"_s << ora("inizio", 2);
        QTest::newRow("start 2 without end 2") << c << u"5"_s << u"8|12|14.00|||"_s << ora("fine", 2);
        QTest::newRow("period 2 before period 3") << c << u"5"_s << u"8|12|14.00|||20"_s << ora("fine", 2);
        QTest::newRow("end 3 without start 3") << c << u"5"_s << u"8|12||||20"_s << ora("inizio", 3);
        QTest::newRow("start 3 ending at 0.00") << c << u"5"_s << u"8|12|13|14|19|0.00"_s << ora("fine", 3);
        QTest::newRow("Cancella without number") << u"Command1"_s << u"  "_s << u"8|12||||"_s << kNumero;
    }

    void refusals()
    {
        QFETCH(QString, button);
        QFETCH(QString, number);
        QFETCH(QString, times);
        QFETCH(QString, message);
        add(5, u"1"_s, {u"7"_s, u"11"_s}, u"nota"_s);
        openWindow();
        pick(0);
        box("txtNUM_MOV")->setText(number); // read-only: only the program writes it
        typeTimes(times);
        const QStringList boxesBefore = boxTexts();
        expectOk();
        click(button);
        QCOMPARE(texts(), QStringList{message});
        QCOMPARE(shown()[0].beepsBefore, 1);
        QCOMPARE(m_fakes->beep.count, 1);
        QCOMPARE(m_temp->rowCount(), 1);
        QCOMPARE(m_temp->row(5), fields(u"5|2003|2|1|7|11|<NULL>|<NULL>|<NULL>|<NULL>|nota"_s));
        QCOMPARE(boxTexts(), boxesBefore);
    }

    void overwriteTrimmedNumberKeepsNote()
    {
        add(7, u"1"_s, {u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s, u"6"_s}, u"nota importante"_s);
        add(8, u"2"_s, {u"8"_s, u"9"_s}, u"altra"_s);
        openWindow();
        pick(0);
        box("txtNUM_MOV")->setText(u" 7 "_s);
        // The date boxes are protected after a pick; an overwrite writes whatever they hold.
        box("txtGIORNO")->setText(u"9 "_s);
        box("txtMESE")->setText(u"8"_s);
        box("txtANNO")->setText(u" 2001"_s);
        typeTimes(u"7.15|11.45|||  17|19.05 "_s); // period 3 without period 2
        click("cmdCONFERMA");
        QCOMPARE(m_temp->rowCount(), 2);
        QCOMPARE(m_temp->row(7), fields(u"7|2001|8|9|7.15|11.45|||17|19.05|nota importante"_s));
        QCOMPARE(m_temp->row(8).at(10), u"altra"_s);
        QCOMPARE(lines()[0],
                 u"7          09/08/2001       7.15      11.45"_s + QString(31, u' ') + u"17      19.05"_s);
        QCOMPARE(boxTexts().mid(10), fields(u"4 h / 30 Min.||2 h / 5 Min.|6 h / 35 Min.|7 h / 35 Min."_s));
        QCOMPARE(box("txtNUM_MOV")->text(), u" 7 "_s);
    }

    void boxesAreNotScratchSpace()
    {
        add(3, u"3"_s, {u"14"_s, u"18"_s, u"19"_s, u"20"_s});
        add(1, u"1"_s, {u"8"_s, u"12"_s});
        add(0, u"2"_s, {u"8"_s, u"9"_s}); // not listed
        openWindow();
        QCOMPARE(lines(),
                 (QStringList{u"1          01/02/2003          8         12"_s + k44,
                              u"3          03/02/2003         14         18         19         20"_s +
                                  QString(22, u' ')}));
        // The load alone shows the last listed day, so that "Nuovo" proposes its times.
        QCOMPARE(boxTexts(),
                 fields(u"||||14|18|19|20|||4 h / 0 Min.|1 h / 0 Min.||5 h / 0 Min.|9 h / 0 Min."_s));
        pick(0);
        type("txtORA_FINE1", u"13"_s);
        click("cmdCONFERMA");
        const QStringList day = fields(u"1|1|2|2003|8|13|||||5 h / 0 Min.|||5 h / 0 Min.|10 h / 0 Min."_s);
        QCOMPARE(boxTexts(), day);
        click("cmdCONFERMA"); // a double click on "Conferma"
        QCOMPARE(m_temp->row(1), fields(u"1|2003|2|1|8|13|||||<NULL>"_s));
        QCOMPARE(m_temp->row(3), fields(u"3|2003|2|3|14|18|19|20|<NULL>|<NULL>|<NULL>"_s));
        QCOMPARE(m_temp->rowCount(), 3);
        click("Command2"); // the printout leaves the boxes alone too
        QCOMPARE(boxTexts(), day);
    }

    void invalidNumberBox_data()
    {
        QTest::addColumn<QString>("number"); // as the box holds it
        QTest::addColumn<QString>("key");    // as the report names it
        QTest::newRow("letters with blanks around") << u"  x1 "_s << u"x1"_s;
        QTest::newRow("zero") << u"0"_s << u"0"_s;
        QTest::newRow("SQL text") << u"1 or 1=1"_s << u"1 or 1=1"_s;
    }

    void invalidNumberBox()
    {
        QFETCH(QString, number);
        QFETCH(QString, key);
        add(1, u"1"_s, {u"8"_s, u"12"_s}, u"n"_s);
        openWindow();
        box("txtNUM_MOV")->setText(number);
        typeTimes(u"8|10||||"_s);
        const QStringList boxesBefore = boxTexts();
        const QString report = u"Errore  20 - Numero del movimento non valido: "_s + key + u"\r\r"_s;
        expectOk();
        expect(Answer::Yes);
        expectOk();
        click("cmdCONFERMA");
        button("Command1")->setEnabled(true);
        click("Command1");
        QCOMPARE(texts(), (QStringList{report, u"Confermi la cancellazione del movimento "_s + key, report}));
        QCOMPARE(boxTexts(), boxesBefore);
        QCOMPARE(m_temp->rowCount(), 1);
        QCOMPARE(m_temp->row(1), fields(u"1|2003|2|1|8|12|<NULL>|<NULL>|<NULL>|<NULL>|n"_s));
    }

    void failedPickShowsNoRecord_data()
    {
        QTest::addColumn<QString>("numMov"); // as another tool stored it
        QTest::newRow("letters after the digits") << u"12a"_s;
        QTest::newRow("not a whole number") << u"3.5"_s;
    }

    void failedPickShowsNoRecord()
    {
        QFETCH(QString, numMov);
        m_temp->exec(
            u"DROP TABLE MOV_MAG; CREATE TABLE MOV_MAG (NUM_MOV, ANNO, MESE, GIORNO, ORA_INIZIO_1, "
            "ORA_FINE_1, ORA_INIZIO_2, ORA_FINE_2, ORA_INIZIO_3, ORA_FINE_3, NOTE);"
            "INSERT INTO MOV_MAG (NUM_MOV, ORA_INIZIO_1, ORA_FINE_1) VALUES (1, '8', '12'), ('%1', '9', '17')"_s
                .arg(numMov));
        openWindow();
        pick(0);
        const QString week = box("txtTOTALE_GEN_SETTIMANA")->text();
        expectOk(2);
        pick(1);
        QCOMPARE(boxTexts(), QStringList(14, QString()) << week);
        click("cmdCONFERMA"); // nothing in the window names record 1 any more
        QCOMPARE(
            texts(),
            (QStringList{u"Errore  20 - Numero del movimento non valido: "_s + numMov + u"\r\r"_s, kNumero}));
        QCOMPARE(m_temp->row(1), fields(u"1|<NULL>|<NULL>|<NULL>|8|12|<NULL>|<NULL>|<NULL>|<NULL>|<NULL>"_s));
    }

    void nuovoWhenNumbersAreExhausted()
    {
        add(std::numeric_limits<qint64>::max(), u"1"_s, {u"8"_s, u"12"_s});
        openWindow();
        const QStringList before = boxTexts();
        expectOk();
        click("cmdNUOVO");
        QCOMPARE(texts(), QStringList{u"Numeri di movimento esauriti"_s});
        QCOMPARE(shown()[0].beepsBefore, 1);
        QCOMPARE(boxTexts(), before);
        QVERIFY(!box("txtANNO")->isEnabled());
    }

    // The day is stored even when the list cannot be read again afterwards: the message says so.
    void reloadFailureAfterConfermaIsReported()
    {
        add(1, u"1"_s, {u"8"_s, u"12"_s});
        openWindow();
        m_temp->failListingAbove(1);
        click("cmdNUOVO");
        typeTimes(u"8|16||||"_s);
        expectOk();
        click("cmdCONFERMA");
        QCOMPARE(texts().size(), 1);
        QVERIFY2(texts()[0].startsWith(u"Errore  1 - Il movimento 2 è stato registrato, ma l'elenco non è "
                                       u"stato aggiornato: "_s),
                 qPrintable(texts()[0]));
        QCOMPARE(lines().size(), 1); // the list as it was
        QCOMPARE(box("txtNUM_MOV")->text(), u"2"_s);
        m_temp->restoreTable();
        QCOMPARE(m_temp->row(2), fields(u"2|2004|03|05|8|16|||||"_s));
    }

    // Before the first change of a day the archive is copied; a copy that fails is said once and
    // the change goes on.
    void dailyCopyBeforeTheFirstChange_data()
    {
        QTest::addColumn<bool>("copyFolderUsable");
        QTest::newRow("copy made once") << true;
        QTest::newRow("copy impossible: said once") << false;
    }

    void dailyCopyBeforeTheFirstChange()
    {
        QFETCH(bool, copyFolderUsable);
        const QString folder =
            m_temp->folder() + (copyFolderUsable ? u"/copie"_s : u"/ZELVARO_97.mdb/copie"_s);
        m_dailyCopy = std::make_unique<DailyCopy>(folder, m_fakes->clock, m_fakes->messages);
        add(1, u"1"_s, {u"8"_s, u"12"_s});
        openWindow();
        pick(0);
        expectOk(!copyFolderUsable);
        click("cmdCONFERMA");
        type("txtORA_FINE1", u"13"_s);
        click("cmdCONFERMA");
        QCOMPARE(texts().size(), int(!copyFolderUsable));
        QCOMPARE(m_temp->row(1).at(5), u"13"_s);
        const QStringList copies = QDir(folder).entryList(QDir::Files);
        QCOMPARE(copies, copyFolderUsable ? QStringList{dailyCopyName(m_temp->path(), QDate(2004, 3, 5))}
                                          : QStringList());
    }

    // A pick shows the record the line was made from, whatever has become of it since the fill.
    void pickShowsTheLinesRecord_data()
    {
        QTest::addColumn<QString>("afterFill"); // what another program does once the list is filled
        QTest::addColumn<QString>("boxes");     // number|day|month|year|six times, after picking line 2
        QTest::newRow("number of eleven digits, cut in the line")
            << u"SELECT 1"_s << u"12345678901|2|2|2003|9|17||||"_s;
        QTest::newRow("record removed since the fill: no times of another record")
            << u"DELETE FROM MOV_MAG WHERE NUM_MOV = 12345678901"_s << u"|||||||||"_s;
    }

    void pickShowsTheLinesRecord()
    {
        QFETCH(QString, afterFill);
        QFETCH(QString, boxes);
        add(1234567890, u"1"_s, {u"8"_s, u"12"_s}); // the number the cut line reads
        add(12345678901, u"2"_s, {u"9"_s, u"17"_s});
        openWindow();
        pick(0);
        m_temp->exec(afterFill);
        pick(1);
        QCOMPARE(boxTexts().mid(0, 10), fields(boxes));
    }

    void selectionByKeyboardAndMouse()
    {
        add(1, u"1"_s, {u"8"_s, u"12"_s});
        add(2, u"2"_s, {u"9"_s, u"12"_s});
        add(3, u"3"_s, {u"10"_s, u"12"_s});
        openWindow();
        QFocusEvent focusIn(QEvent::FocusIn, Qt::TabFocusReason);
        QCoreApplication::sendEvent(list(), &focusIn);
        const std::pair<Qt::Key, QString> steps[] = {{Qt::Key_Down, u"1 8"_s},
                                                     {Qt::Key_Down, u"2 9"_s},
                                                     {Qt::Key_End, u"3 10"_s},
                                                     {Qt::Key_Up, u"2 9"_s}};
        for (const auto &[key, shownDay] : steps) {
            QTest::keyClick(list(), key);
            QCOMPARE(box("txtNUM_MOV")->text() + u' ' + box("txtORA_INIZIO1")->text(), shownDay);
            QCOMPARE(box("txtTOTALE_GEN_SETTIMANA")->text(), u"9 h / 0 Min."_s);
        }
        QCOMPARE(box("txtTOTALE_GENERALE")->text(), u"3 h / 0 Min."_s);
        QVERIFY(button("Command1")->isEnabled());
        pick(0);
        QCOMPARE(box("txtTOTALE_GENERALE")->text(), u"4 h / 0 Min."_s);
        QCOMPARE(box("txtTOTALE_GEN_SETTIMANA")->text(), u"9 h / 0 Min."_s);
    }

    void archiveFailures_data()
    {
        QTest::addColumn<bool>("locked");
        QTest::addColumn<QString>("report");
        QTest::newRow("locked by another program") << true << u"Errore  5 - "_s;
        QTest::newRow("write-protected") << false << u"Errore  8 - "_s;
    }

    void archiveFailures()
    {
        QFETCH(bool, locked);
        QFETCH(QString, report);
        m_busyTimeoutMs = 50;
        add(1, u"1"_s, {u"8"_s, u"12"_s}, u"nota"_s);
        add(2, u"2"_s, {u"8"_s, u"16"_s});
        openWindow(locked ? Archive::OpenMode::ReadWrite : Archive::OpenMode::ReadOnly);
        pick(0);
        type("txtORA_FINE1", u"13"_s);
        const QStringList linesBefore = lines(), boxesBefore = boxTexts();
        sqlite3 *other = nullptr; // another program, holding the write lock
        std::unique_ptr<sqlite3, int (*)(sqlite3 *)> lock(nullptr, sqlite3_close);
        if (locked) {
            sqlite3_open_v2(m_temp->path().toUtf8().constData(), &other, SQLITE_OPEN_READWRITE, nullptr);
            lock.reset(other);
            QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        }
        expectOk();
        expect(Answer::Yes);
        expectOk(locked ? 4 : 1);
        click("cmdCONFERMA");
        click("Command1"); // the question, then the report
        QCOMPARE(boxTexts(), boxesBefore);
        click("Command2"); // a write-protected archive is still listed, picked and printed
        pick(1);
        click("cmdNUOVO");
        QCOMPARE(shown().size(), locked ? 6 : 3);
        QCOMPARE(shown().takeAt(1).title, u"Cancellazione nodo"_s);
        for (const FakeMessageBox::Shown &s : shown())
            QVERIFY2(s.text.startsWith(report) && s.text.endsWith(u"\r\r"_s), qPrintable(s.text));
        QCOMPARE(m_printer->documents.size(), locked ? 0 : 1);
        QCOMPARE(lines(), linesBefore);
        if (locked) {
            // The failed pick shows no record: the boxes no longer name record 1.
            QCOMPARE(boxTexts(), QStringList(14, QString()) << boxesBefore.last());
            QVERIFY(!box("txtGIORNO")->isEnabled()); // the failed "Nuovo" did not open the date
            lock.reset();
        } else {
            QCOMPARE(boxTexts().mid(0, 6), fields(u"3|05|03|2004|8|16"_s));
        }
        QCOMPARE(m_temp->row(1), fields(u"1|2003|2|1|8|12|<NULL>|<NULL>|<NULL>|<NULL>|nota"_s));
        if (!locked)
            return;
        pick(0);
        type("txtORA_FINE1", u"13"_s);
        click("cmdCONFERMA");
        QCOMPARE(m_temp->row(1), fields(u"1|2003|2|1|8|13|||||nota"_s));
        QCOMPARE(lines()[0], u"1          01/02/2003          8         13"_s + k44);
    }

    void printoutWithoutPrinter()
    {
        add(1, u"1"_s, {u"8.30"_s, u"17"_s});
        add(2, u"2"_s, {u"8.30"_s, u"12"_s, u"12.30"_s, u"17.30"_s});
        openWindow();
        pick(0);
        type("txtORA_FINE1", u"11"_s);
        const QStringList boxesBefore = boxTexts();
        const QString pdf = u"/tmp/ZELVARO_elenco_20040305_091530.pdf"_s;
        m_printer->result = PrintResult{0, {}, pdf};
        expectOk();
        click("Command2");
        QCOMPARE(m_printer->documents.size(), 1);
        QVERIFY(m_printer->documents[0].size() == 2 &&
                m_printer->documents[0][1].endsWith(u"17 h / 0 Min."_s));
        QCOMPARE(texts(),
                 QStringList{u"Nessuna stampante disponibile: l'elenco è stato salvato in "_s + pdf});
        QCOMPARE(shown()[0].beepsBefore, 0);
        QCOMPARE(boxTexts(), boxesBefore);
        QVERIFY(button("Command1")->isEnabled() && !box("txtANNO")->isEnabled());
    }
};

QTEST_MAIN(tst_Form2)
#include "tst_form2.moc"
