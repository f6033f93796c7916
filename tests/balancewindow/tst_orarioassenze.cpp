#include "Accessibility.h"
#include "Archive.h"
#include "Fakes.h"
#include "OrarioAssenzeWindow.h"
#include "TempArchive.h"
#include "WindowDriver.h"

#include <QCalendarWidget>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTest>

using namespace zelvaro;
using namespace zelvaro::test;
using namespace Qt::StringLiterals;
using Rows = QList<QStringList>;

namespace {

// Counts the writes announced to the daily copy, which answers with `note`.
struct CountingHook : ArchiveWriteHook
{
    QString beforeWrite() override
    {
        ++count;
        return note;
    }
    int count = 0;
    QString note;
};

} // namespace

class tst_OrarioAssenze : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempArchive> m_temp;
    std::unique_ptr<FakeServices> m_fakes;
    CountingHook m_hook;
    std::unique_ptr<Archive> m_archive;
    std::unique_ptr<OrarioAssenzeWindow> m_window;
    WindowDriver m_ui;

    Rows stored(const QString &sql) const { return SqlFile(m_temp->path()).rows(sql); }
    QString outcome() const { return m_ui.find<QPlainTextEdit>(u"txtESITO"_s)->toPlainText(); }
    void showTab(int index) const
    {
        m_ui.find<QTabWidget>(u"tabORARIO"_s)->setCurrentIndex(index);
        QCOMPARE(unnamedControls(m_window.get()), QStringList());
    }
    void enter(const QString &box, const QString &text) const
    {
        m_ui.type(box, text);
        QTest::keyClick(m_ui.box(box), Qt::Key_Return);
    }

private slots:
    void init()
    {
        m_temp = std::make_unique<TempArchive>();
        m_fakes = std::make_unique<FakeServices>();
        m_fakes->clock.when = QDateTime(QDate(2025, 4, 9), QTime(10, 0));
        m_hook = CountingHook();
        Outcome error;
        m_archive = Archive::open(m_temp->path(), &error);
        QVERIFY2(m_archive, qPrintable(error.text));
        Services services = m_fakes->services();
        services.beforeWrite = &m_hook;
        m_window = std::make_unique<OrarioAssenzeWindow>(*m_archive, services);
        m_window->show();
        m_ui = WindowDriver(m_window.get());
    }

    void cleanup()
    {
        m_window.reset();
        QCOMPARE(m_fakes->messages.unexpected, QStringList());
        QVERIFY(m_fakes->messages.pending() == 0 && !m_fakes->pointer.busy);
    }

    // One setting, one contract entry and one range of absences through the controls, each checked in
    // the archive; a refused value stores nothing.
    void changesReachTheArchive()
    {
        const QString at = u"«"_s + m_temp->path() + u"»"_s;
        int changes = 0;
        connect(&m_fakes->events, &ArchiveEvents::changed, this, [&] { ++changes; });
        showTab(0);
        enter(u"txtNOME"_s, u"Anna Rossi"_s);
        QCOMPARE(stored(u"SELECT CHIAVE, VALORE FROM IMPOSTAZIONI"_s), (Rows{{u"nome"_s, u"Anna Rossi"_s}}));
        QCOMPARE(stored(u"PRAGMA user_version"_s), (Rows{{u"1"_s}}));
        QCOMPARE(outcome(), u"Salvate le impostazioni in "_s + at + u": nome"_s);
        m_fakes->messages.expectOk();
        enter(u"txtPATRONO"_s, u"30/02"_s);
        QCOMPARE(
            m_fakes->messages.texts(),
            QStringList{u"Santo patrono «30/02» non valido: si scrive GG/MM (per esempio 04/10), o vuoto per "
                        "nessuno"_s});
        QCOMPARE(m_ui.box(u"txtPATRONO"_s)->text(), QString()); // what is stored
        QCOMPARE(stored(u"SELECT COUNT(*) FROM IMPOSTAZIONI"_s), (Rows{{u"1"_s}}));

        showTab(1);
        m_ui.type(u"txtDAL_ORARIO"_s, u"01/04/2025"_s);
        const QStringList days{u"LUN"_s, u"MAR"_s, u"MER"_s, u"GIO"_s, u"VEN"_s, u"SAB"_s, u"DOM"_s};
        const QStringList hours{u"8"_s, u"8"_s, u"8"_s, u"8"_s, u"7.36"_s, u"0"_s, u"0"_s};
        for (int day = 0; day < 7; ++day)
            m_ui.type(u"txtORE_"_s + days[day], hours[day]);
        m_ui.click(u"cmdREGISTRA_ORARIO"_s);
        QCOMPARE(stored(u"SELECT * FROM ORARIO_CONTRATTUALE"_s),
                 (Rows{{u"2025-04-01"_s, u"480"_s, u"480"_s, u"480"_s, u"480"_s, u"456"_s, u"0"_s, u"0"_s}}));
        QCOMPARE(m_ui.rows(u"grdORARIO"_s, {0, 5, 6}), QStringList{u"01/04/2025|7.36|0.00"_s});

        // Dal and Al follow the day chosen on the calendar (Al alone with Shift), then Al is typed.
        showTab(2);
        auto *calendar = m_ui.find<QCalendarWidget>(u"calASSENZE"_s);
        QCOMPARE(calendar->selectedDate(), QDate(2025, 4, 9));
        QWidget *grid = calendar->findChild<QWidget *>(u"qt_calendar_calendarview"_s);
        QTest::keyClick(grid, Qt::Key_Down);
        QCOMPARE(m_ui.texts({u"txtDAL"_s, u"txtAL"_s}), (QStringList{u"16/04/2025"_s, u"16/04/2025"_s}));
        QTest::keyClick(grid, Qt::Key_Right, Qt::ShiftModifier); // with Shift only Al
        QCOMPARE(m_ui.texts({u"txtDAL"_s, u"txtAL"_s}), (QStringList{u"16/04/2025"_s, u"17/04/2025"_s}));
        m_ui.type(u"txtAL"_s, u"22/04/2025"_s);
        m_ui.find<QComboBox>(u"cboTIPO"_s)->setCurrentIndex(1);
        m_ui.click(u"cmdREGISTRA_ASSENZA"_s);
        QCOMPARE(stored(u"SELECT * FROM ASSENZE"_s), (Rows{{u"2025-04-16"_s, u"malattia"_s, u"480"_s},
                                                           {u"2025-04-17"_s, u"malattia"_s, u"480"_s},
                                                           {u"2025-04-18"_s, u"malattia"_s, u"456"_s},
                                                           {u"2025-04-22"_s, u"malattia"_s, u"480"_s}}));
        QCOMPARE(outcome(),
                 u"Registrate 4 assenze di tipo malattia dal 16/04/2025 al 22/04/2025 in "_s + at +
                     u"\nGiorni saltati:\n  19/04/2025: giorno non lavorativo\n  20/04/2025: festività "
                     "(Pasqua)\n  21/04/2025: festività (Lunedì dell'Angelo)"_s);
        m_ui.type(u"txtDAL"_s, u"18/04/2025"_s);
        // A daily copy that failed is told once, with what became of the change.
        m_hook.note = u"La copia di sicurezza giornaliera «ZELVARO_97-20250409.mdb» non è stata fatta"_s;
        m_fakes->messages.expectOk();
        m_ui.click(u"cmdTOGLI_ASSENZE"_s);
        QCOMPARE(m_fakes->messages.texts().last(), outcome() + u"\r\r"_s + m_hook.note);
        QCOMPARE(stored(u"SELECT DATA FROM ASSENZE"_s), (Rows{{u"2025-04-16"_s}, {u"2025-04-17"_s}}));
        QCOMPARE(m_ui.rows(u"lstASSENZE"_s),
                 (QStringList{u"mer 16/04/2025 - Malattia 8.00"_s, u"gio 17/04/2025 - Malattia 8.00"_s,
                              u"dom 20/04/2025 - Festività: Pasqua"_s,
                              u"lun 21/04/2025 - Festività: Lunedì dell'Angelo"_s,
                              u"ven 25/04/2025 - Festività: Festa della Liberazione"_s}));
        QCOMPARE(m_hook.count, 4); // never before a refusal
        QCOMPARE(changes, 4);
    }
};

QTEST_MAIN(tst_OrarioAssenze)
#include "tst_orarioassenze.moc"
