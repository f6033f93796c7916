#include "Archive.h"
#include "FakePrinter.h"
#include "Fakes.h"
#include "Form2.h"
#include "TempArchive.h"

#include <QAbstractItemModel>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <sqlite3.h>

#include <memory>

using namespace zelvaro;
using namespace zelvaro::test;
using namespace Qt::StringLiterals;

namespace {

QString blanks(int n)
{
    return QString(n, u' ');
}

// Records whether the pointer was busy when each box was shown, then lets the fake answer.
class PointerWatchingBox : public MessageBoxService
{
public:
    PointerWatchingBox(FakeMessageBox &inner, FakePointer &pointer) : m_inner(inner), m_pointer(pointer) {}
    Answer show(const QString &text, const QString &title, Icon icon, Buttons buttons,
                bool systemModal) override
    {
        busyWhenShown.append(m_pointer.busy);
        return m_inner.show(text, title, icon, buttons, systemModal);
    }
    QList<bool> busyWhenShown;

private:
    FakeMessageBox &m_inner;
    FakePointer &m_pointer;
};

// Holds the archive's write lock from another connection, as another program would.
class ForeignLock
{
public:
    explicit ForeignLock(const QString &path)
    {
        sqlite3_open_v2(path.toUtf8().constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr);
        m_locked = sqlite3_exec(m_db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    ~ForeignLock() { release(); }
    bool locked() const { return m_locked; }
    void release()
    {
        if (m_db) {
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
            sqlite3_close(m_db);
            m_db = nullptr;
        }
    }

private:
    sqlite3 *m_db = nullptr;
    bool m_locked = false;
};

const QString kNumeroMessage = u"Indicare il numero del movimento !!!"_s;

QString errorText(int code, const QString &text)
{
    return u"Errore "_s + (code > 0 ? u" "_s : QString()) + QString::number(code) + u" - "_s + text +
           u"\r\r"_s;
}

} // namespace

class tst_Form2 : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void window();
    void controls_data();
    void controls();
    void labels_data();
    void labels();
    void focusOrder();
    void listFont();

    void loadFillsListAndWeekTotal();
    void emptyArchive_data();
    void emptyArchive();
    void typicalRoad();
    void nuovo_data();
    void nuovo();
    void nuovoKeepsTimeAndTotalBoxes();
    void nuovoAfterDeletingLastRow();
    void refusals_data();
    void refusals();
    void deleteWithoutNumber();
    void deleteAnswerNo();
    void periodThreeWithoutPeriodTwo();
    void numberTrimmed();
    void overwriteKeepsNote();
    void boxesAreNotScratchSpace();
    void invalidNumberBox_data();
    void invalidNumberBox();
    void keyboardSelection();
    void selectionKeepsWeekTotal();
    void selectingRemovedRecord();
    void dateBoxesSelectOnEntry_data();
    void dateBoxesSelectOnEntry();
    void lockedArchive();
    void lockedArchiveAtLoad();
    void writeProtectedArchive();
    void printout();
    void printoutWithoutPrinter();
    void printoutFailures_data();
    void printoutFailures();
    void fine();
    void closeBox();

private:
    void openWindow(Archive::OpenMode mode = Archive::OpenMode::ReadWrite);
    QLineEdit *box(const char *name) const;
    QPushButton *button(const char *name) const;
    QListView *list() const;
    QStringList lines() const;
    QStringList boxTexts() const;
    void pick(int row);
    void type(const char *name, const QString &text);
    void click(const char *name);
    void expectOk(int count = 1) { m_fakes->messages.expectOk(count); }
    void expectAnswer(MessageBoxService::Answer a) { m_fakes->messages.expect(a); }
    QList<FakeMessageBox::Shown> &shown() { return m_fakes->messages.shown; }

    std::unique_ptr<TempArchive> m_temp;
    std::unique_ptr<FakeServices> m_fakes;
    std::unique_ptr<PointerWatchingBox> m_watch;
    std::unique_ptr<FakePrinter> m_printer;
    std::unique_ptr<Archive> m_archive;
    std::unique_ptr<Form2> m_form;
};

static const char *const kAllBoxes[] = {"txtNUM_MOV",     "txtGIORNO",          "txtMESE",
                                        "txtANNO",        "txtORA_INIZIO1",     "txtORA_FINE1",
                                        "txtORA_INIZIO2", "txtORA_FINE2",       "txtORA_INIZIO3",
                                        "txtORA_FINE3",   "txtTOTALE_1",        "txtTOTALE_2",
                                        "txtTOTALE_3",    "txtTOTALE_GENERALE", "txtTOTALE_GEN_SETTIMANA"};

void tst_Form2::init()
{
    m_temp = std::make_unique<TempArchive>();
    m_fakes = std::make_unique<FakeServices>();
    m_watch = std::make_unique<PointerWatchingBox>(m_fakes->messages, m_fakes->pointer);
    m_printer = std::make_unique<FakePrinter>();
}

void tst_Form2::cleanup()
{
    const QStringList unexpected = m_fakes->messages.unexpected;
    const int unanswered = m_fakes->messages.pending();
    if (m_form)
        QVERIFY2(!m_fakes->pointer.busy, "the pointer stayed busy");
    m_form.reset();
    m_archive.reset();
    m_printer.reset();
    m_watch.reset();
    m_fakes.reset();
    m_temp.reset();
    Archive::setBusyTimeout(Archive::kBusyTimeoutMs);
    QVERIFY2(unexpected.isEmpty(), qPrintable(u"unexpected box: "_s + unexpected.join(u" | "_s)));
    QVERIFY2(unanswered == 0, "a box that the test expected was not shown");
}

void tst_Form2::openWindow(Archive::OpenMode mode)
{
    ArchiveError error;
    m_archive = Archive::open(m_temp->path(), &error, mode);
    QVERIFY2(m_archive, qPrintable(error.text));
    Services services = m_fakes->services();
    services.messages = m_watch.get();
    m_form = std::make_unique<Form2>(*m_archive, services, *m_printer);
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
}

QLineEdit *tst_Form2::box(const char *name) const
{
    auto *w = m_form->findChild<QLineEdit *>(QLatin1String(name));
    if (!w)
        qFatal("no box %s", name);
    return w;
}

QPushButton *tst_Form2::button(const char *name) const
{
    auto *w = m_form->findChild<QPushButton *>(QLatin1String(name));
    if (!w)
        qFatal("no button %s", name);
    return w;
}

QListView *tst_Form2::list() const
{
    auto *w = m_form->findChild<QListView *>(u"List1"_s);
    if (!w)
        qFatal("no List1");
    return w;
}

QStringList tst_Form2::lines() const
{
    QStringList result;
    const QAbstractItemModel *model = list()->model();
    for (int row = 0; row < model->rowCount(); ++row)
        result.append(model->index(row, 0).data().toString());
    return result;
}

QStringList tst_Form2::boxTexts() const
{
    QStringList result;
    for (const char *name : kAllBoxes)
        result.append(box(name)->text());
    return result;
}

void tst_Form2::pick(int row)
{
    QListView *view = list();
    const QModelIndex index = view->model()->index(row, 0);
    view->scrollTo(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
}

void tst_Form2::type(const char *name, const QString &text)
{
    QLineEdit *edit = box(name);
    edit->clear();
    QTest::keyClicks(edit, text);
    QCOMPARE(edit->text(), text);
}

void tst_Form2::click(const char *name)
{
    QPushButton *b = button(name);
    QVERIFY2(b->isEnabled(), name);
    QTest::mouseClick(b, Qt::LeftButton);
}

// ---- layout ---------------------------------------------------------------------------------

void tst_Form2::window()
{
    m_temp->insert(1, u"1"_s, u"1"_s, u"2004"_s, {u"8"_s, u"12"_s});
    openWindow();
    QCOMPARE(m_form->windowTitle(), u"Zelvaro"_s);
    QCOMPARE(m_form->objectName(), u"Form2"_s);
    QCOMPARE(m_form->size(), QSize(10665 / 15, 6510 / 15));
    QCOMPARE(m_form->sizeHint(), QSize(711, 434));
    QVERIFY(!m_form->windowIcon().isNull());
    QVERIFY(m_form->windowIcon().cacheKey() != QApplication::windowIcon().cacheKey());
}

void tst_Form2::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("twips"); // left, top, width, height
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<bool>("enabled"); // after the load
    QTest::addColumn<QColor>("background");

    const QColor none;
    const QColor cyan(0, 255, 255), pink(255, 192, 255), green(0, 255, 0), yellow(255, 255, 0);
    auto row = [](const char *name, QRect r, const QString &caption, bool ro, bool en, QColor bg) {
        QTest::newRow(name) << QString::fromLatin1(name) << r << caption << ro << en << bg;
    };
    row("List1", QRect(120, 120, 10335, 4470), {}, false, true, none);
    row("txtNUM_MOV", QRect(120, 4920, 855, 285), {}, true, true, cyan);
    row("txtGIORNO", QRect(1320, 4920, 495, 285), {}, false, false, none);
    row("txtMESE", QRect(1800, 4920, 495, 285), {}, false, false, none);
    row("txtANNO", QRect(2280, 4920, 495, 285), {}, false, false, none);
    row("txtORA_INIZIO1", QRect(3240, 4920, 975, 285), {}, false, true, none);
    row("txtORA_FINE1", QRect(4320, 4920, 975, 285), {}, false, true, none);
    row("txtORA_INIZIO2", QRect(5640, 4920, 975, 285), {}, false, true, none);
    row("txtORA_FINE2", QRect(6720, 4920, 975, 285), {}, false, true, none);
    row("txtORA_INIZIO3", QRect(8040, 4920, 975, 285), {}, false, true, none);
    row("txtORA_FINE3", QRect(9120, 4920, 975, 285), {}, false, true, none);
    row("txtTOTALE_GENERALE", QRect(120, 5520, 1575, 315), {}, true, true, pink);
    row("txtTOTALE_1", QRect(3720, 5520, 1215, 315), {}, true, true, green);
    row("txtTOTALE_2", QRect(6120, 5520, 1215, 315), {}, true, true, green);
    row("txtTOTALE_3", QRect(8520, 5520, 1215, 315), {}, true, true, green);
    row("txtTOTALE_GEN_SETTIMANA", QRect(120, 6120, 1575, 315), {}, true, true, yellow);
    row("Command2", QRect(2040, 6000, 1335, 375), u"Stampa elenco"_s, false, true, none);
    row("Command1", QRect(4680, 6000, 1335, 375), u"Cancella"_s, false, false, none);
    row("cmdNUOVO", QRect(6240, 6000, 1335, 375), u"Nuovo"_s, false, true, none);
    row("cmdCONFERMA", QRect(7800, 6000, 1335, 375), u"Conferma"_s, false, true, none);
    row("cmdFINE", QRect(9360, 6000, 1095, 375), u"F i n e"_s, false, true, none);
}

void tst_Form2::controls()
{
    QFETCH(QString, name);
    QFETCH(QRect, twips);
    QFETCH(QString, caption);
    QFETCH(bool, readOnly);
    QFETCH(bool, enabled);
    QFETCH(QColor, background);

    expectOk(); // "Archivio vuoto !": this test opens an empty archive
    openWindow();

    auto *w = m_form->findChild<QWidget *>(name);
    QVERIFY(w);
    QCOMPARE(w->parentWidget(), m_form.get());
    QCOMPARE(w->geometry(), QRect(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15));
    QCOMPARE(w->isEnabled(), enabled);
    if (auto *b = qobject_cast<QPushButton *>(w)) {
        QCOMPARE(b->text(), caption);
        QVERIFY(!b->isDefault());
    }
    if (auto *edit = qobject_cast<QLineEdit *>(w)) {
        QCOMPARE(edit->isReadOnly(), readOnly);
        QVERIFY2(edit->text().isEmpty(), "boxes start empty");
        QVERIFY(edit->maxLength() > 1000000);
        const QColor base = edit->palette().color(QPalette::Active, QPalette::Base);
        QCOMPARE(base, background.isValid() ? background
                                            : m_form->palette().color(QPalette::Active, QPalette::Base));
    }
}

void tst_Form2::labels_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("twips");
    auto row = [](const char *name, const QString &caption, QRect r) {
        QTest::newRow(name) << QString::fromLatin1(name) << caption << r;
    };
    row("Label5", u"Num. mov."_s, QRect(120, 4680, 855, 255));
    row("Label13", u"Giorno"_s, QRect(1320, 4680, 495, 255));
    row("Label12", u" Mese"_s, QRect(1800, 4680, 495, 255));
    row("Label11", u" Anno"_s, QRect(2280, 4680, 495, 255));
    row("Label7", u"Ora inizio 1"_s, QRect(3360, 4680, 855, 255));
    row("Label10", u"Ora fine 1"_s, QRect(4440, 4680, 855, 255));
    row("Label14", u"Ora inizio 2"_s, QRect(5760, 4680, 855, 255));
    row("Label15", u"Ora fine 2"_s, QRect(6840, 4680, 855, 255));
    row("Label9", u"Ora inizio 3"_s, QRect(8160, 4680, 855, 255));
    row("Label16", u"Ora fine 3"_s, QRect(9240, 4680, 855, 255));
    row("Label8", u"Totale Ore Giornata"_s, QRect(240, 5280, 1695, 255));
    row("Label2", u"Totale ore 1"_s, QRect(3840, 5280, 975, 255));
    row("Label1", u"Totale ore 2"_s, QRect(6240, 5280, 975, 255));
    row("Label3", u"Totale ore 3"_s, QRect(8640, 5280, 975, 255));
    row("Label4", u"Tot. Ore Settimana"_s, QRect(240, 5880, 1695, 255));
}

void tst_Form2::labels()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QRect, twips);
    expectOk(); // empty archive
    openWindow();
    auto *label = m_form->findChild<QLabel *>(name);
    QVERIFY(label);
    QCOMPARE(label->text(), caption);
    QCOMPARE(label->geometry(),
             QRect(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15));
    QCOMPARE(label->focusPolicy(), Qt::NoFocus);
    QVERIFY2(QFontMetrics(label->font()).horizontalAdvance(caption) <= label->width(), "caption cut off");
}

void tst_Form2::focusOrder()
{
    expectOk();
    openWindow();
    const QStringList expected = {u"List1"_s,
                                  u"txtNUM_MOV"_s,
                                  u"txtGIORNO"_s,
                                  u"txtMESE"_s,
                                  u"txtANNO"_s,
                                  u"txtORA_INIZIO1"_s,
                                  u"txtORA_FINE1"_s,
                                  u"txtORA_INIZIO2"_s,
                                  u"txtORA_FINE2"_s,
                                  u"txtORA_INIZIO3"_s,
                                  u"txtORA_FINE3"_s,
                                  u"txtTOTALE_1"_s,
                                  u"txtTOTALE_GENERALE"_s,
                                  u"Command1"_s,
                                  u"cmdNUOVO"_s,
                                  u"cmdCONFERMA"_s,
                                  u"cmdFINE"_s,
                                  u"txtTOTALE_2"_s,
                                  u"txtTOTALE_3"_s,
                                  u"Command2"_s,
                                  u"txtTOTALE_GEN_SETTIMANA"_s};
    QStringList chain;
    QWidget *w = list();
    do {
        if (w->parentWidget() == m_form.get() && (w->focusPolicy() & Qt::TabFocus))
            chain.append(w->objectName());
        w = w->nextInFocusChain();
    } while (w != list() && chain.size() < 40);
    QCOMPARE(chain, expected);
}

void tst_Form2::listFont()
{
    expectOk();
    openWindow();
    const QFont font = list()->font();
    QCOMPARE(font.pointSizeF(), 8.25);
    QCOMPARE(font.weight(), QFont::Normal);
    if (QFontDatabase::families().contains(u"Courier New"_s))
        QCOMPARE(font.family(), u"Courier New"_s);
    QVERIFY2(QFontInfo(font).fixedPitch(), qPrintable(QFontInfo(font).family()));
    QVERIFY(box("txtORA_INIZIO1")->font() != font);
}

// ---- list ------------------------------------------------------------------------------------

void tst_Form2::loadFillsListAndWeekTotal()
{
    m_temp->insert(3, u"7"_s, u"3"_s, u"2004"_s, {u"8.30"_s, u"17"_s});
    m_temp->insert(1, u"5"_s, u"3"_s, u"2004"_s, {u"8.30"_s, u"17"_s});
    m_temp->insert(0, u"1"_s, u"1"_s, u"2004"_s, {u"8"_s, u"9"_s});
    m_temp->insert(-4, u"1"_s, u"1"_s, u"2004"_s, {u"8"_s, u"9"_s});
    m_temp->insert(2, u"6"_s, u"3"_s, u"2004"_s, {u"8.30"_s, u"12.30"_s, u"13"_s, u"17.30"_s});
    m_temp->insert(4, u"8"_s, u"3"_s, u"2004"_s, {u"0"_s, u"17"_s}); // incomplete period 1: adds nothing
    openWindow();

    const QStringList expected = {
        u"1          05/03/2004       8.30         17"_s + blanks(44),
        u"2          06/03/2004       8.30      12.30         13      17.30"_s + blanks(22),
        u"3          07/03/2004       8.30         17"_s + blanks(44),
        u"4          08/03/2004          0         17"_s + blanks(44),
    };
    QCOMPARE(lines(), expected);
    QCOMPARE(box("txtTOTALE_GEN_SETTIMANA")->text(), u"25 h / 30 Min."_s);
    for (const char *name : kAllBoxes)
        if (qstrcmp(name, "txtTOTALE_GEN_SETTIMANA") != 0)
            QVERIFY2(box(name)->text().isEmpty(), name);
    QVERIFY(!list()->selectionModel()->hasSelection());
    QVERIFY(!button("Command1")->isEnabled());
    QCOMPARE(m_fakes->pointer.history, (QList<bool>{true, false}));
    QVERIFY(shown().isEmpty());
}

void tst_Form2::emptyArchive_data()
{
    QTest::addColumn<QList<qint64>>("numbers");
    QTest::newRow("no row") << QList<qint64>{};
    QTest::newRow("only rows at 0 and below") << QList<qint64>{0, -1, -20};
}

void tst_Form2::emptyArchive()
{
    QFETCH(QList<qint64>, numbers);
    for (qint64 n : numbers)
        m_temp->insert(n, u"1"_s, u"1"_s, u"2004"_s, {u"8"_s, u"12"_s});
    expectOk();
    openWindow();
    QCOMPARE(shown().size(), 1);
    QCOMPARE(shown()[0].text, u"Archivio vuoto !"_s);
    QCOMPARE(shown()[0].title, QString());
    QCOMPARE(shown()[0].icon, MessageBoxService::Icon::None);
    QCOMPARE(shown()[0].buttons, MessageBoxService::Buttons::Ok);
    QCOMPARE(shown()[0].beepsBefore, 0);
    QCOMPARE(m_watch->busyWhenShown, QList<bool>{true});
    QCOMPARE(lines(), QStringList());
    QCOMPARE(boxTexts(), QStringList(std::size(kAllBoxes), QString()));
}

// ---- the typical road --------------------------------------------------------------------------

void tst_Form2::typicalRoad()
{
    m_temp->insert(1, u"4"_s, u"3"_s, u"2004"_s, {u"8.30"_s, u"12.30"_s}, u"nota"_s);
    openWindow();
    QCOMPARE(lines().size(), 1);
    QCOMPARE(box("txtTOTALE_GEN_SETTIMANA")->text(), u"4 h / 0 Min."_s);

    click("cmdNUOVO");
    QCOMPARE(box("txtNUM_MOV")->text(), u"2"_s);
    QCOMPARE(box("txtGIORNO")->text(), u"05"_s);
    type("txtORA_INIZIO1", u"8.30"_s);
    type("txtORA_FINE1", u"17"_s);
    click("cmdCONFERMA");

    QCOMPARE(m_temp->rowCount(), 2);
    QCOMPARE(m_temp->row(2), (QStringList{u"2"_s, u"2004"_s, u"03"_s, u"05"_s, u"8.30"_s, u"17"_s, QString(),
                                          QString(), QString(), QString(), QString()}));
    QCOMPARE(lines().size(), 2);
    QCOMPARE(lines()[1], u"2          05/03/2004       8.30         17"_s + blanks(44));
    QCOMPARE(box("txtNUM_MOV")->text(), u"2"_s);
    QCOMPARE(box("txtORA_INIZIO1")->text(), u"8.30"_s);
    QCOMPARE(box("txtTOTALE_1")->text(), u"8 h / 30 Min."_s);
    QCOMPARE(box("txtTOTALE_GENERALE")->text(), u"8 h / 30 Min."_s);
    QCOMPARE(box("txtTOTALE_GEN_SETTIMANA")->text(), u"12 h / 30 Min."_s);
    QVERIFY(!box("txtGIORNO")->isEnabled());
    QVERIFY(!box("txtANNO")->isEnabled());

    pick(0);
    QCOMPARE(box("txtNUM_MOV")->text(), u"1"_s);
    QCOMPARE(box("txtGIORNO")->text(), u"4"_s);
    QCOMPARE(box("txtMESE")->text(), u"3"_s);
    QCOMPARE(box("txtANNO")->text(), u"2004"_s);
    QCOMPARE(box("txtORA_INIZIO1")->text(), u"8.30"_s);
    QCOMPARE(box("txtORA_FINE1")->text(), u"12.30"_s);
    QCOMPARE(box("txtTOTALE_1")->text(), u"4 h / 0 Min."_s);
    QCOMPARE(box("txtTOTALE_GENERALE")->text(), u"4 h / 0 Min."_s);
    QCOMPARE(box("txtTOTALE_GEN_SETTIMANA")->text(), u"12 h / 30 Min."_s);
    QVERIFY(button("Command1")->isEnabled());
    QVERIFY(list()->selectionModel()->isRowSelected(0, {}));

    expectAnswer(MessageBoxService::Answer::No);
    click("Command1");
    QCOMPARE(m_temp->rowCount(), 2);
    expectAnswer(MessageBoxService::Answer::Yes);
    click("Command1");
    QCOMPARE(m_temp->rowCount(), 1);
    QCOMPARE(m_temp->row(1), QStringList());
    QCOMPARE(lines(), QStringList{u"2          05/03/2004       8.30         17"_s + blanks(44)});
    QCOMPARE(box("txtTOTALE_GEN_SETTIMANA")->text(), u"8 h / 30 Min."_s);
    QCOMPARE(box("txtNUM_MOV")->text(), u"1"_s); // still the deleted record's

    QCOMPARE(shown().size(), 2);
    for (const FakeMessageBox::Shown &s : shown()) {
        QCOMPARE(s.text, u"Confermi la cancellazione del movimento 1"_s);
        QCOMPARE(s.title, u"Cancellazione nodo"_s);
        QCOMPARE(s.buttons, MessageBoxService::Buttons::YesNo);
        QCOMPARE(s.icon, MessageBoxService::Icon::None);
        QCOMPARE(s.beepsBefore, 0);
    }
}

void tst_Form2::nuovo_data()
{
    QTest::addColumn<QList<qint64>>("numbers");
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QStringList>("date"); // day, month, year boxes

    QTest::newRow("last number 41 gives 42") << QList<qint64>{3, 41, 17} << QDate(2004, 3, 5) << u"42"_s
                                             << QStringList{u"05"_s, u"03"_s, u"2004"_s};
    QTest::newRow("rows at 0 and below are not the last")
        << QList<qint64>{5, 0, -8} << QDate(2024, 12, 31) << u"6"_s
        << QStringList{u"31"_s, u"12"_s, u"2024"_s};
    QTest::newRow("empty archive gives 1")
        << QList<qint64>{} << QDate(1999, 1, 9) << u"1"_s << QStringList{u"09"_s, u"01"_s, u"1999"_s};
    QTest::newRow("year before 1000 has four digits")
        << QList<qint64>{9} << QDate(999, 10, 10) << u"10"_s << QStringList{u"10"_s, u"10"_s, u"0999"_s};
}

void tst_Form2::nuovo()
{
    QFETCH(QList<qint64>, numbers);
    QFETCH(QDate, today);
    QFETCH(QString, number);
    QFETCH(QStringList, date);

    for (qint64 n : numbers)
        m_temp->insert(n, u"1"_s, u"2"_s, u"2003"_s, {u"8"_s, u"12"_s});
    m_fakes->clock.when = QDateTime(today, QTime(23, 59));
    if (numbers.isEmpty())
        expectOk(); // "Archivio vuoto !"
    openWindow();
    if (!lines().isEmpty()) {
        pick(0);
        QVERIFY(button("Command1")->isEnabled());
    }
    click("cmdNUOVO");
    QCOMPARE(box("txtNUM_MOV")->text(), number);
    QCOMPARE((QStringList{box("txtGIORNO")->text(), box("txtMESE")->text(), box("txtANNO")->text()}), date);
    QVERIFY(box("txtGIORNO")->isEnabled());
    QVERIFY(box("txtMESE")->isEnabled());
    QVERIFY(box("txtANNO")->isEnabled());
    QVERIFY(!button("Command1")->isEnabled());
    QCOMPARE(m_temp->rowCount(), numbers.size());
}

void tst_Form2::nuovoKeepsTimeAndTotalBoxes()
{
    m_temp->insert(1, u"1"_s, u"2"_s, u"2003"_s, {u"8"_s, u"12"_s, u"13"_s, u"14.15"_s});
    m_temp->insert(2, u"1"_s, u"2"_s, u"2003"_s, {u"9"_s, u"10"_s});
    openWindow();
    pick(0);
    const QStringList before = boxTexts().mid(4);
    click("cmdNUOVO");
    QCOMPARE(boxTexts().mid(4), before);
    QCOMPARE(box("txtNUM_MOV")->text(), u"3"_s);
}

void tst_Form2::nuovoAfterDeletingLastRow()
{
    m_temp->insert(7, u"1"_s, u"2"_s, u"2003"_s, {u"8"_s, u"12"_s});
    openWindow();
    pick(0);
    expectAnswer(MessageBoxService::Answer::Yes);
    expectOk(); // "Archivio vuoto !"
    click("Command1");
    QCOMPARE(shown().last().text, u"Archivio vuoto !"_s);
    QCOMPARE(m_temp->rowCount(), 0);

    click("cmdNUOVO");
    QCOMPARE(box("txtNUM_MOV")->text(), u"8"_s);
    type("txtORA_INIZIO1", u"8"_s);
    type("txtORA_FINE1", u"16"_s);
    click("cmdCONFERMA");
    QCOMPARE(m_temp->rowCount(), 1);
    std::optional<qint64> given;
    QVERIFY(!m_archive->lastNumber(&given).failed());
    QVERIFY(given.has_value());
    // The number box names the row the archive added, whatever number it gave.
    QCOMPARE(box("txtNUM_MOV")->text(), QString::number(*given));
    QCOMPARE(m_form->recordKey(), QString::number(*given));
    QCOMPARE(lines().size(), 1);
    QVERIFY(lines()[0].startsWith(QString::number(*given) + u' '));

    // A second "Conferma" overwrites that row instead of adding the same day again.
    type("txtORA_FINE1", u"17"_s);
    click("cmdCONFERMA");
    QCOMPARE(m_temp->rowCount(), 1);
    QCOMPARE(m_temp->row(*given).at(5), u"17"_s);
    QCOMPARE(lines().size(), 1);
}

// ---- confirm -----------------------------------------------------------------------------------

void tst_Form2::refusals_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<QStringList>("times");
    QTest::addColumn<QString>("message");

    const QString i1 = u"Indicare l'ora di inizio 1.Periodo !!!"_s,
                  f1 = u"Indicare l'ora di fine 1.Periodo !!!"_s,
                  i2 = u"Indicare l'ora di inizio 2.Periodo !!!"_s,
                  f2 = u"Indicare l'ora di fine 2.Periodo !!!"_s,
                  i3 = u"Indicare l'ora di inizio 3.Periodo !!!"_s,
                  f3 = u"Indicare l'ora di fine 3.Periodo !!!"_s;
    const QString e;
    QTest::newRow("empty number") << e << QStringList{u"8"_s, u"12"_s, e, e, e, e} << kNumeroMessage;
    QTest::newRow("number of blanks only")
        << u"   "_s << QStringList{u"8"_s, u"12"_s, e, e, e, e} << kNumeroMessage;
    QTest::newRow("number first, before the times")
        << e << QStringList{e, e, u"14"_s, e, e, e} << kNumeroMessage;
    QTest::newRow("no start of period 1") << u"5"_s << QStringList{e, u"12"_s, e, e, e, e} << i1;
    QTest::newRow("midnight start 0.00") << u"5"_s << QStringList{u"0.00"_s, u"12"_s, e, e, e, e} << i1;
    QTest::newRow("start 0") << u"5"_s << QStringList{u"0"_s, u"12"_s, e, e, e, e} << i1;
    QTest::newRow("start without a number") << u"5"_s << QStringList{u"otto"_s, u"12"_s, e, e, e, e} << i1;
    QTest::newRow("period 1 before period 2") << u"5"_s << QStringList{e, e, u"14"_s, e, e, e} << i1;
    QTest::newRow("no end of period 1") << u"5"_s << QStringList{u"8"_s, e, e, e, e, e} << f1;
    QTest::newRow("end 2 without start 2")
        << u"5"_s << QStringList{u"8"_s, u"12"_s, e, u"18.00"_s, e, e} << i2;
    QTest::newRow("start 2 without end 2")
        << u"5"_s << QStringList{u"8"_s, u"12"_s, u"14.00"_s, e, e, e} << f2;
    QTest::newRow("period 2 before period 3")
        << u"5"_s << QStringList{u"8"_s, u"12"_s, u"14.00"_s, e, e, u"20"_s} << f2;
    QTest::newRow("end 3 without start 3") << u"5"_s << QStringList{u"8"_s, u"12"_s, e, e, e, u"20"_s} << i3;
    QTest::newRow("start 3 without end 3")
        << u"5"_s << QStringList{u"8"_s, u"12"_s, u"13"_s, u"14"_s, u"19"_s, u"0.00"_s} << f3;
}

void tst_Form2::refusals()
{
    QFETCH(QString, number);
    QFETCH(QStringList, times);
    QFETCH(QString, message);

    m_temp->insert(5, u"1"_s, u"2"_s, u"2003"_s, {u"7"_s, u"11"_s}, u"nota"_s);
    openWindow();
    const QStringList rowBefore = m_temp->row(5);
    const QStringList linesBefore = lines();
    box("txtNUM_MOV")->setText(number); // read-only: only the program writes it
    const char *timeBoxes[] = {"txtORA_INIZIO1", "txtORA_FINE1",   "txtORA_INIZIO2",
                               "txtORA_FINE2",   "txtORA_INIZIO3", "txtORA_FINE3"};
    for (int i = 0; i < 6; ++i)
        box(timeBoxes[i])->setText(times[i]);
    const QStringList boxesBefore = boxTexts();

    expectOk();
    click("cmdCONFERMA");
    QCOMPARE(shown().size(), 1);
    QCOMPARE(shown()[0].text, message);
    QCOMPARE(shown()[0].title, QString());
    QCOMPARE(shown()[0].icon, MessageBoxService::Icon::None);
    QCOMPARE(shown()[0].buttons, MessageBoxService::Buttons::Ok);
    QCOMPARE(shown()[0].beepsBefore, 1);
    QCOMPARE(m_fakes->beep.count, 1);
    QCOMPARE(m_temp->rowCount(), 1);
    QCOMPARE(m_temp->row(5), rowBefore);
    QCOMPARE(lines(), linesBefore);
    QCOMPARE(boxTexts(), boxesBefore);
}

void tst_Form2::deleteWithoutNumber()
{
    m_temp->insert(5, u"1"_s, u"2"_s, u"2003"_s, {u"7"_s, u"11"_s});
    openWindow();
    pick(0);
    box("txtNUM_MOV")->setText(u"  "_s);
    expectOk();
    click("Command1");
    QCOMPARE(m_fakes->messages.texts(), QStringList{kNumeroMessage});
    QCOMPARE(shown()[0].beepsBefore, 1);
    QCOMPARE(shown()[0].buttons, MessageBoxService::Buttons::Ok);
    QCOMPARE(m_temp->rowCount(), 1);
}

void tst_Form2::deleteAnswerNo()
{
    m_temp->insert(5, u"1"_s, u"2"_s, u"2003"_s, {u"7"_s, u"11"_s});
    m_temp->insert(6, u"2"_s, u"2"_s, u"2003"_s, {u"7"_s, u"12"_s});
    openWindow();
    pick(1);
    const QStringList boxesBefore = boxTexts();
    const QStringList linesBefore = lines();
    expectAnswer(MessageBoxService::Answer::No);
    click("Command1");
    QCOMPARE(m_fakes->messages.texts(), QStringList{u"Confermi la cancellazione del movimento 6"_s});
    QCOMPARE(m_temp->rowCount(), 2);
    QCOMPARE(boxTexts(), boxesBefore);
    QCOMPARE(lines(), linesBefore);
    QVERIFY(list()->selectionModel()->isRowSelected(1, {}));
    QCOMPARE(m_fakes->beep.count, 0);
}

void tst_Form2::periodThreeWithoutPeriodTwo()
{
    m_temp->insert(1, u"1"_s, u"2"_s, u"2003"_s, {u"7"_s, u"11"_s});
    openWindow();
    click("cmdNUOVO");
    type("txtORA_INIZIO1", u" 8 "_s);
    type("txtORA_FINE1", u"12.15"_s);
    type("txtORA_INIZIO3", u"14"_s);
    type("txtORA_FINE3", u"18.30 "_s);
    click("cmdCONFERMA");
    QCOMPARE(m_temp->row(2), (QStringList{u"2"_s, u"2004"_s, u"03"_s, u"05"_s, u"8"_s, u"12.15"_s, QString(),
                                          QString(), u"14"_s, u"18.30"_s, QString()}));
    QCOMPARE(box("txtTOTALE_1")->text(), u"4 h / 15 Min."_s);
    QCOMPARE(box("txtTOTALE_2")->text(), QString());
    QCOMPARE(box("txtTOTALE_3")->text(), u"4 h / 30 Min."_s);
    QCOMPARE(box("txtTOTALE_GENERALE")->text(), u"8 h / 45 Min."_s);
    QCOMPARE(box("txtTOTALE_GEN_SETTIMANA")->text(), u"12 h / 45 Min."_s);
}

void tst_Form2::numberTrimmed()
{
    m_temp->insert(7, u"1"_s, u"2"_s, u"2003"_s, {u"7"_s, u"11"_s}, u"nota"_s);
    openWindow();
    pick(0);
    box("txtNUM_MOV")->setText(u" 7 "_s);
    type("txtORA_FINE1", u"15"_s);
    click("cmdCONFERMA");
    QCOMPARE(m_temp->rowCount(), 1);
    QCOMPARE(m_temp->row(7), (QStringList{u"7"_s, u"2003"_s, u"2"_s, u"1"_s, u"7"_s, u"15"_s, QString(),
                                          QString(), QString(), QString(), u"nota"_s}));
    QCOMPARE(m_form->recordKey(), u"7"_s);
    QCOMPARE(box("txtNUM_MOV")->text(), u" 7 "_s);
}

void tst_Form2::overwriteKeepsNote()
{
    m_temp->insert(3, u"1"_s, u"1"_s, u"2000"_s, {u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s, u"6"_s},
                   u"nota importante"_s);
    m_temp->insert(4, u"2"_s, u"1"_s, u"2000"_s, {u"8"_s, u"9"_s}, u"altra"_s);
    openWindow();
    pick(0);
    // The date boxes are protected after a pick; an overwrite writes whatever they hold.
    box("txtGIORNO")->setText(u"9 "_s);
    box("txtMESE")->setText(u"8"_s);
    box("txtANNO")->setText(u" 2001"_s);
    type("txtORA_INIZIO1", u"7.15"_s);
    type("txtORA_FINE1", u"11.45"_s);
    type("txtORA_INIZIO2", u"12.30"_s);
    type("txtORA_FINE2", u"16"_s);
    type("txtORA_INIZIO3", u"  17"_s);
    type("txtORA_FINE3", u"19.05"_s);
    click("cmdCONFERMA");
    QCOMPARE(m_temp->rowCount(), 2);
    QCOMPARE(m_temp->row(3), (QStringList{u"3"_s, u"2001"_s, u"8"_s, u"9"_s, u"7.15"_s, u"11.45"_s,
                                          u"12.30"_s, u"16"_s, u"17"_s, u"19.05"_s, u"nota importante"_s}));
    QCOMPARE(m_temp->row(4).at(10), u"altra"_s);
    QCOMPARE(lines()[0],
             u"3          09/08/2001       7.15      11.45      12.30         16         17      19.05"_s);
}

void tst_Form2::boxesAreNotScratchSpace()
{
    m_temp->insert(1, u"1"_s, u"2"_s, u"2003"_s, {u"8"_s, u"12"_s});
    m_temp->insert(2, u"2"_s, u"2"_s, u"2003"_s, {u"14"_s, u"18"_s, u"19"_s, u"20"_s});
    openWindow();
    pick(0);
    type("txtORA_FINE1", u"13"_s);
    click("cmdCONFERMA");
    QCOMPARE(box("txtNUM_MOV")->text(), u"1"_s);
    QCOMPARE(box("txtORA_INIZIO1")->text(), u"8"_s);
    QCOMPARE(box("txtORA_FINE1")->text(), u"13"_s);
    QCOMPARE(box("txtORA_INIZIO2")->text(), QString());
    QCOMPARE(box("txtTOTALE_1")->text(), u"5 h / 0 Min."_s);
    QCOMPARE(box("txtTOTALE_2")->text(), QString());
    QCOMPARE(box("txtTOTALE_GENERALE")->text(), u"5 h / 0 Min."_s);
    QCOMPARE(box("txtTOTALE_GEN_SETTIMANA")->text(), u"10 h / 0 Min."_s);

    click("cmdCONFERMA"); // a double click on "Conferma"
    QCOMPARE(m_temp->row(1), (QStringList{u"1"_s, u"2003"_s, u"2"_s, u"1"_s, u"8"_s, u"13"_s, QString(),
                                          QString(), QString(), QString(), u"<NULL>"_s}));
    QCOMPARE(m_temp->row(2), (QStringList{u"2"_s, u"2003"_s, u"2"_s, u"2"_s, u"14"_s, u"18"_s, u"19"_s,
                                          u"20"_s, u"<NULL>"_s, u"<NULL>"_s, u"<NULL>"_s}));
    QCOMPARE(m_temp->rowCount(), 2);

    // The printout leaves the boxes alone too: a "Conferma" after it stores the shown times.
    click("Command2");
    click("cmdCONFERMA");
    QCOMPARE(m_temp->row(1).at(5), u"13"_s);
    QCOMPARE(m_temp->row(1).at(6), QString());
}

void tst_Form2::invalidNumberBox_data()
{
    QTest::addColumn<QString>("number"); // as the box holds it
    QTest::addColumn<QString>("key");    // as the report names it
    QTest::newRow("letters") << u"abc"_s << u"abc"_s;
    QTest::newRow("letters with blanks around") << u"  x1 "_s << u"x1"_s;
    QTest::newRow("zero") << u"0"_s << u"0"_s;
    QTest::newRow("negative") << u"-3"_s << u"-3"_s;
    QTest::newRow("decimal") << u"2.5"_s << u"2.5"_s;
    QTest::newRow("digits then letters") << u"7abc"_s << u"7abc"_s;
    QTest::newRow("SQL text") << u"1 or 1=1"_s << u"1 or 1=1"_s;
    QTest::newRow("beyond 64 bits") << u"99999999999999999999"_s << u"99999999999999999999"_s;
}

void tst_Form2::invalidNumberBox()
{
    QFETCH(QString, number);
    QFETCH(QString, key);
    m_temp->insert(1, u"1"_s, u"2"_s, u"2003"_s, {u"8"_s, u"12"_s}, u"n"_s);
    m_temp->insert(7, u"1"_s, u"2"_s, u"2003"_s, {u"9"_s, u"12"_s}, u"n"_s);
    openWindow();
    const QStringList row1 = m_temp->row(1), row7 = m_temp->row(7);
    const QStringList linesBefore = lines();
    box("txtNUM_MOV")->setText(number);
    box("txtORA_INIZIO1")->setText(u"8"_s);
    box("txtORA_FINE1")->setText(u"10"_s);
    const QStringList boxesBefore = boxTexts();
    const QString report = errorText(20, u"Numero del movimento non valido: "_s + key);

    expectOk();
    click("cmdCONFERMA");
    QCOMPARE(m_fakes->messages.texts(), QStringList{report});
    QCOMPARE(shown()[0].title, QString());
    QCOMPARE(shown()[0].icon, MessageBoxService::Icon::None);
    QCOMPARE(shown()[0].beepsBefore, 0);
    QCOMPARE(boxTexts(), boxesBefore);

    expectAnswer(MessageBoxService::Answer::Yes);
    expectOk();
    button("Command1")->setEnabled(true);
    click("Command1");
    QCOMPARE(m_fakes->messages.texts(),
             (QStringList{report, u"Confermi la cancellazione del movimento "_s + key, report}));

    QCOMPARE(m_temp->rowCount(), 2);
    QCOMPARE(m_temp->row(1), row1);
    QCOMPARE(m_temp->row(7), row7);
    QCOMPARE(lines(), linesBefore);
    QVERIFY(!m_fakes->pointer.busy);
}

// ---- selection ---------------------------------------------------------------------------------

void tst_Form2::keyboardSelection()
{
    m_temp->insert(1, u"1"_s, u"2"_s, u"2003"_s, {u"8"_s, u"12"_s});
    m_temp->insert(2, u"2"_s, u"2"_s, u"2003"_s, {u"9"_s, u"12"_s});
    m_temp->insert(3, u"3"_s, u"2"_s, u"2003"_s, {u"10"_s, u"12"_s});
    openWindow();
    QFocusEvent focusIn(QEvent::FocusIn, Qt::TabFocusReason);
    QCoreApplication::sendEvent(list(), &focusIn);
    QVERIFY(!list()->selectionModel()->hasSelection());
    QCOMPARE(box("txtNUM_MOV")->text(), QString());

    struct Step
    {
        Qt::Key key;
        QString number, start;
    };
    const Step steps[] = {{Qt::Key_Down, u"1"_s, u"8"_s},
                          {Qt::Key_Down, u"2"_s, u"9"_s},
                          {Qt::Key_End, u"3"_s, u"10"_s},
                          {Qt::Key_Up, u"2"_s, u"9"_s}};
    for (const Step &step : steps) {
        QTest::keyClick(list(), step.key);
        QCOMPARE(box("txtNUM_MOV")->text(), step.number);
        QCOMPARE(box("txtORA_INIZIO1")->text(), step.start);
        QCOMPARE(m_form->recordKey(), step.number);
    }
    QVERIFY(button("Command1")->isEnabled());
    QCOMPARE(box("txtTOTALE_1")->text(), u"3 h / 0 Min."_s);
}

void tst_Form2::selectionKeepsWeekTotal()
{
    m_temp->insert(1, u"1"_s, u"2"_s, u"2003"_s, {u"8.30"_s, u"17"_s});
    m_temp->insert(2, u"2"_s, u"2"_s, u"2003"_s, {u"8"_s, u"12"_s});
    m_temp->insert(3, u"3"_s, u"2"_s, u"2003"_s, {u"8"_s, u"17"_s});
    openWindow();
    QCOMPARE(box("txtTOTALE_GEN_SETTIMANA")->text(), u"21 h / 30 Min."_s);
    pick(1);
    QCOMPARE(box("txtTOTALE_GEN_SETTIMANA")->text(), u"21 h / 30 Min."_s);
    QCOMPARE(box("txtTOTALE_GENERALE")->text(), u"4 h / 0 Min."_s);
    pick(2);
    QCOMPARE(box("txtTOTALE_GEN_SETTIMANA")->text(), u"21 h / 30 Min."_s);
    QCOMPARE(box("txtTOTALE_GENERALE")->text(), u"9 h / 0 Min."_s);
    // The accumulators hold the last picked day alone.
    QCOMPARE(m_form->weekAccumulators().hours, 9.0);
    QCOMPARE(m_form->weekAccumulators().minutes, 0.0);
    // A click below the last line changes nothing.
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, QPoint(20, list()->viewport()->height() - 5));
    QVERIFY(list()->selectionModel()->isRowSelected(2, {}));
    QCOMPARE(box("txtNUM_MOV")->text(), u"3"_s);
    // A click on the line already selected shows it again.
    type("txtORA_FINE1", u"20"_s);
    pick(2);
    QCOMPARE(box("txtORA_FINE1")->text(), u"17"_s);
    QCOMPARE(box("txtTOTALE_GEN_SETTIMANA")->text(), u"21 h / 30 Min."_s);
}

void tst_Form2::selectingRemovedRecord()
{
    m_temp->insert(1, u"1"_s, u"2"_s, u"2003"_s, {u"8"_s, u"12"_s});
    m_temp->insert(2, u"2"_s, u"2"_s, u"2003"_s, {u"9"_s, u"12"_s, u"13"_s, u"14"_s});
    openWindow();
    pick(0);
    m_temp->exec(u"DELETE FROM MOV_MAG WHERE NUM_MOV = 2"_s);
    pick(1);
    for (const char *name : {"txtNUM_MOV", "txtGIORNO", "txtMESE", "txtANNO", "txtORA_INIZIO1",
                             "txtORA_FINE1", "txtORA_INIZIO2", "txtORA_FINE2", "txtTOTALE_1", "txtTOTALE_2"})
        QVERIFY2(box(name)->text().isEmpty(), name);
    QCOMPARE(box("txtTOTALE_GENERALE")->text(), u"4 h / 0 Min."_s); // period 1 incomplete: kept
    QCOMPARE(box("txtTOTALE_GEN_SETTIMANA")->text(), u"8 h / 0 Min."_s);
    QCOMPARE(m_form->recordKey(), u"2"_s);
    QVERIFY(button("Command1")->isEnabled());
    QVERIFY(!box("txtANNO")->isEnabled());
}

void tst_Form2::dateBoxesSelectOnEntry_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("reason");
    QTest::addColumn<bool>("selected");
    QTest::newRow("day by Tab") << u"txtGIORNO"_s << int(Qt::TabFocusReason) << true;
    QTest::newRow("month by click") << u"txtMESE"_s << int(Qt::MouseFocusReason) << true;
    QTest::newRow("year by Shift+Tab") << u"txtANNO"_s << int(Qt::BacktabFocusReason) << true;
    QTest::newRow("year by click") << u"txtANNO"_s << int(Qt::MouseFocusReason) << true;
    QTest::newRow("time box by Tab") << u"txtORA_INIZIO1"_s << int(Qt::TabFocusReason) << false;
    QTest::newRow("time box by click") << u"txtORA_FINE3"_s << int(Qt::MouseFocusReason) << false;
    QTest::newRow("number box by Tab") << u"txtNUM_MOV"_s << int(Qt::TabFocusReason) << false;
}

void tst_Form2::dateBoxesSelectOnEntry()
{
    QFETCH(QString, name);
    QFETCH(int, reason);
    QFETCH(bool, selected);
    m_temp->insert(1, u"1"_s, u"2"_s, u"2003"_s, {u"8"_s, u"12"_s});
    openWindow();
    click("cmdNUOVO");
    QLineEdit *edit = box(name.toLatin1().constData());
    if (edit->text().isEmpty())
        edit->setText(u"10.30"_s);
    edit->deselect();
    list()->setFocus();
    // Entering the box as the user would: a click, or the focus moved by Tab / Shift+Tab.
    if (reason == Qt::MouseFocusReason)
        QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(3, edit->height() / 2));
    else
        edit->setFocus(Qt::FocusReason(reason));
    QCoreApplication::processEvents();
    QCOMPARE(edit->selectedText(), selected ? edit->text() : QString());
}

// ---- failures ----------------------------------------------------------------------------------

void tst_Form2::lockedArchive()
{
    Archive::setBusyTimeout(50);
    m_temp->insert(1, u"1"_s, u"2"_s, u"2003"_s, {u"8"_s, u"12"_s}, u"nota"_s);
    m_temp->insert(2, u"2"_s, u"2"_s, u"2003"_s, {u"8"_s, u"16"_s});
    openWindow();
    pick(0);
    type("txtORA_FINE1", u"13"_s);
    const QStringList linesBefore = lines();
    const QStringList boxesBefore = boxTexts();

    ForeignLock lock(m_temp->path());
    QVERIFY(lock.locked());
    expectOk(4);
    expectAnswer(MessageBoxService::Answer::Yes);
    click("cmdCONFERMA");
    click("cmdNUOVO");
    click("Command1"); // question, then the report
    pick(1);
    click("Command2");
    QCOMPARE(shown().size(), 5);
    for (int i : {0, 1, 3, 4}) {
        QVERIFY2(shown()[i].text.startsWith(u"Errore  5 - "_s), qPrintable(shown()[i].text));
        QVERIFY(shown()[i].text.endsWith(u"\r\r"_s));
        QCOMPARE(shown()[i].icon, MessageBoxService::Icon::None);
        QCOMPARE(shown()[i].title, QString());
        QCOMPARE(m_watch->busyWhenShown[i], false);
    }
    QCOMPARE(shown()[1].text, shown()[0].text);
    QVERIFY(m_printer->documents.isEmpty());
    QVERIFY(!m_fakes->pointer.busy);
    QCOMPARE(lines(), linesBefore);
    QCOMPARE(boxTexts(), boxesBefore);       // the failed pick left the window as it was
    QVERIFY(!box("txtGIORNO")->isEnabled()); // the failed "Nuovo" did not open the date

    lock.release();
    QCOMPARE(m_temp->row(1).at(5), u"12"_s);
    QCOMPARE(m_temp->rowCount(), 2);
    click("cmdCONFERMA");
    QCOMPARE(m_temp->row(1), (QStringList{u"1"_s, u"2003"_s, u"2"_s, u"1"_s, u"8"_s, u"13"_s, QString(),
                                          QString(), QString(), QString(), u"nota"_s}));
    QCOMPARE(lines()[0], u"1          01/02/2003          8         13"_s + blanks(44));
    QCOMPARE(box("txtTOTALE_GEN_SETTIMANA")->text(), u"13 h / 0 Min."_s);
    click("cmdNUOVO");
    QCOMPARE(box("txtNUM_MOV")->text(), u"3"_s);
    QCOMPARE(shown().size(), 5);
}

void tst_Form2::lockedArchiveAtLoad()
{
    Archive::setBusyTimeout(50);
    m_temp->insert(1, u"1"_s, u"2"_s, u"2003"_s, {u"8"_s, u"12"_s});
    ArchiveError error;
    m_archive = Archive::open(m_temp->path(), &error);
    QVERIFY(m_archive);
    ForeignLock lock(m_temp->path());
    QVERIFY(lock.locked());
    expectOk();
    Services services = m_fakes->services();
    services.messages = m_watch.get();
    m_form = std::make_unique<Form2>(*m_archive, services, *m_printer);
    QCOMPARE(shown().size(), 1);
    QVERIFY2(shown()[0].text.startsWith(u"Errore  5 - "_s), qPrintable(shown()[0].text));
    QCOMPARE(m_watch->busyWhenShown, QList<bool>{false});
    QVERIFY(lines().isEmpty());
    QVERIFY(!m_fakes->pointer.busy);

    lock.release();
    m_form->show();
    click("cmdNUOVO");
    type("txtORA_INIZIO1", u"9"_s);
    type("txtORA_FINE1", u"12"_s);
    click("cmdCONFERMA");
    QCOMPARE(lines().size(), 2);
    QCOMPARE(box("txtTOTALE_GEN_SETTIMANA")->text(), u"7 h / 0 Min."_s);
}

void tst_Form2::writeProtectedArchive()
{
    m_temp->insert(1, u"1"_s, u"2"_s, u"2003"_s, {u"8"_s, u"12"_s}, u"nota"_s);
    m_temp->insert(2, u"2"_s, u"2"_s, u"2003"_s, {u"8"_s, u"16"_s});
    openWindow(Archive::OpenMode::ReadOnly);
    QVERIFY(m_archive->isReadOnly());
    QCOMPARE(lines().size(), 2);
    pick(1);
    QCOMPARE(box("txtNUM_MOV")->text(), u"2"_s);
    QCOMPARE(box("txtTOTALE_1")->text(), u"8 h / 0 Min."_s);
    click("Command2");
    QCOMPARE(m_printer->documents.size(), 1);
    QCOMPARE(m_printer->documents[0].size(), 2);

    type("txtORA_FINE1", u"17"_s);
    const QStringList boxesBefore = boxTexts();
    expectOk();
    click("cmdCONFERMA");
    expectAnswer(MessageBoxService::Answer::Yes);
    expectOk();
    click("Command1");
    QCOMPARE(shown().size(), 3);
    for (int i : {0, 2})
        QVERIFY2(shown()[i].text.startsWith(u"Errore  8 - "_s), qPrintable(shown()[i].text));
    QCOMPARE(m_temp->rowCount(), 2);
    QCOMPARE(m_temp->row(2).at(5), u"16"_s);
    QCOMPARE(boxTexts(), boxesBefore);
    QCOMPARE(lines().size(), 2);
    click("cmdNUOVO"); // reading still works
    QCOMPARE(box("txtNUM_MOV")->text(), u"3"_s);
}

// ---- printout ----------------------------------------------------------------------------------

void tst_Form2::printout()
{
    m_temp->insert(1, u"1"_s, u"2"_s, u"2003"_s, {u"8.30"_s, u"17"_s});
    m_temp->insert(2, u"2"_s, u"2"_s, u"2003"_s, {u"8.30"_s, u"17"_s});
    m_temp->insert(3, u"3"_s, u"2"_s, u"2003"_s, {u"8.30"_s, u"12"_s, u"12.30"_s, u"17.30"_s});
    openWindow();
    pick(0);
    type("txtORA_FINE1", u"11"_s);
    const QStringList boxesBefore = boxTexts();
    const QList<bool> enabledBefore = {button("Command1")->isEnabled(), box("txtANNO")->isEnabled()};
    m_fakes->pointer.history.clear();

    click("Command2");
    QCOMPARE(m_printer->documents.size(), 1);
    const QStringList printed = m_printer->documents[0];
    QCOMPARE(printed.size(), 3);
    QVERIFY(printed[0].startsWith(u"1     01/02/2003   8.30     17"_s));
    QVERIFY(printed[1].endsWith(u"17 h / 0 Min."_s));
    QVERIFY(printed[2].endsWith(u"25 h / 30 Min."_s));
    QCOMPARE(boxTexts(), boxesBefore);
    QCOMPARE((QList<bool>{button("Command1")->isEnabled(), box("txtANNO")->isEnabled()}), enabledBefore);
    QVERIFY(list()->selectionModel()->isRowSelected(0, {}));
    QCOMPARE(m_fakes->pointer.history, (QList<bool>{true, false}));
    QVERIFY(shown().isEmpty());

    click("Command2");
    QCOMPARE(m_printer->documents.size(), 2);
    QCOMPARE(m_printer->documents[1], printed);
}

void tst_Form2::printoutWithoutPrinter()
{
    m_temp->insert(1, u"1"_s, u"2"_s, u"2003"_s, {u"8"_s, u"12"_s});
    openWindow();
    const QString pdf = m_temp->folder() + u"/ZELVARO_elenco_20040305_091530.pdf"_s;
    m_printer->result.pdfPath = pdf;
    expectOk();
    click("Command2");
    QCOMPARE(shown().size(), 1);
    QCOMPARE(shown()[0].text, u"Nessuna stampante disponibile: l'elenco è stato salvato in "_s + pdf);
    QCOMPARE(shown()[0].title, QString());
    QCOMPARE(shown()[0].icon, MessageBoxService::Icon::None);
    QCOMPARE(shown()[0].buttons, MessageBoxService::Buttons::Ok);
    QCOMPARE(shown()[0].beepsBefore, 0);
    QCOMPARE(m_watch->busyWhenShown, QList<bool>{false});
}

void tst_Form2::printoutFailures_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("printer refuses the job") << 1 << u"La stampante ha rifiutato il documento"_s;
    QTest::newRow("folder cannot be written") << 8 << u"Impossibile scrivere il file PDF"_s;
}

void tst_Form2::printoutFailures()
{
    QFETCH(int, code);
    QFETCH(QString, text);
    m_temp->insert(1, u"1"_s, u"2"_s, u"2003"_s, {u"8"_s, u"12"_s});
    openWindow();
    m_printer->result = PrintResult{code, text, QString()};
    expectOk();
    click("Command2");
    QCOMPARE(m_fakes->messages.texts(), QStringList{errorText(code, text)});
    QCOMPARE(m_watch->busyWhenShown, QList<bool>{false});
    // The window stays usable.
    pick(0);
    QCOMPARE(box("txtNUM_MOV")->text(), u"1"_s);
}

// ---- ending ------------------------------------------------------------------------------------

void tst_Form2::fine()
{
    m_temp->insert(1, u"1"_s, u"2"_s, u"2003"_s, {u"8"_s, u"12"_s});
    openWindow();
    QSignalSpy unloaded(m_form.get(), &Form2::unloaded);
    click("cmdFINE");
    QVERIFY(!m_archive->isOpen());
    QCOMPARE(m_fakes->end.count, 1);
    QVERIFY(shown().isEmpty());
    QCOMPARE(unloaded.count(), 0);
}

void tst_Form2::closeBox()
{
    m_temp->insert(1, u"1"_s, u"2"_s, u"2003"_s, {u"8"_s, u"12"_s});
    openWindow();
    QSignalSpy unloaded(m_form.get(), &Form2::unloaded);
    QVERIFY(m_form->close());
    QCOMPARE(unloaded.count(), 1);
    QVERIFY(m_archive->isOpen());
    QCOMPARE(m_fakes->end.count, 0);
}

QTEST_MAIN(tst_Form2)
#include "tst_form2.moc"
