#include "Archive.h"
#include "Fakes.h"
#include "MDIForm1.h"
#include "TempArchive.h"

#include <QAction>
#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTest>

#include <memory>

using namespace zelvaro;
using namespace zelvaro::test;

namespace {

// Stands in for Form2: records, when it closes, whether the archive was still open.
class ChildStandIn : public QWidget
{
public:
    ChildStandIn(Archive &archive, QWidget *parent, QList<bool> *archiveOpenAtClose)
        : QWidget(parent), m_archive(archive), m_log(archiveOpenAtClose)
    {
        setWindowTitle(QStringLiteral("Zelvaro"));
        resize(300, 200);
    }

protected:
    void closeEvent(QCloseEvent *event) override
    {
        m_log->append(m_archive.isOpen());
        event->accept();
    }

private:
    Archive &m_archive;
    QList<bool> *m_log;
};

void processDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class TestMDIForm1 : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void menuItems_data();
    void menuItems();
    void captionAndClientArea();
    void loadOpensForm2();
    void secondOpenOnlyActivates();
    void closeAndReopenReloads();
    void ending_data();
    void ending();
    void windowList_data();
    void windowList();

private:
    MDIForm1 *makeWindow();

    std::unique_ptr<TempArchive> m_temp;
    std::unique_ptr<Archive> m_archive;
    FakeServices m_fakes;
    std::unique_ptr<MDIForm1> m_window;
    int m_factoryCalls = 0;
    QList<QWidget *> m_made;
    QList<bool> m_archiveOpenAtChildClose;
};

void TestMDIForm1::init()
{
    m_temp = std::make_unique<TempArchive>();
    ArchiveError error;
    m_archive = Archive::open(m_temp->path(), &error);
    QVERIFY2(m_archive, qPrintable(error.text));
    m_factoryCalls = 0;
    m_made.clear();
    m_archiveOpenAtChildClose.clear();
    m_fakes.end.count = 0;
}

void TestMDIForm1::cleanup()
{
    QVERIFY2(m_fakes.messages.unexpected.isEmpty(), qPrintable(m_fakes.messages.unexpected.join(u'|')));
    m_fakes.messages.clear();
    m_window.reset();
    m_archive.reset();
    m_temp.reset();
}

MDIForm1 *TestMDIForm1::makeWindow()
{
    m_window =
        std::make_unique<MDIForm1>(*m_archive, m_fakes.services(), [this](QWidget *parent) -> QWidget * {
            ++m_factoryCalls;
            auto *w = new ChildStandIn(*m_archive, parent, &m_archiveOpenAtChildClose);
            m_made.append(w);
            return w;
        });
    return m_window.get();
}

void TestMDIForm1::menuItems_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("menu"); // the menu that holds it; empty for the menu bar
    QTest::addColumn<int>("position"); // among the visible entries of that menu or bar

    QTest::newRow("MENU01 Gestione") << "MENU01"
                                     << "Gestione" << QString() << 0;
    QTest::newRow("MENU0102 Zelvaro") << "MENU0102"
                                      << "Zelvaro"
                                      << "MENU01" << 0;
    QTest::newRow("MENU0199 Fine") << "MENU0199"
                                   << "Fine"
                                   << "MENU01" << 1;
    QTest::newRow("mnuWindows with access key W") << "mnuWindows"
                                                  << "&Windows" << QString() << 1;
}

void TestMDIForm1::menuItems()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QString, menu);
    QFETCH(int, position);

    MDIForm1 *w = makeWindow();
    QList<QAction *> actions;
    if (menu.isEmpty()) {
        actions = w->menuBar()->actions();
    } else {
        auto *holder = w->findChild<QMenu *>(menu);
        QVERIFY(holder);
        actions = holder->actions();
    }
    QCOMPARE(actions.size(), 2);
    QAction *action = actions.at(position);
    QCOMPARE(action->text(), caption);
    QCOMPARE(action->objectName(), name);
    if (menu.isEmpty()) {
        QVERIFY(action->menu());
        QCOMPARE(action->menu()->objectName(), name);
    }
}

void TestMDIForm1::captionAndClientArea()
{
    MDIForm1 *w = makeWindow();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QCOMPARE(w->windowTitle(), QStringLiteral("Zelvaro"));
    QCOMPARE(w->mdiArea()->size(), QSize(10740 / 15, 6915 / 15));
    QCOMPARE(w->mdiArea()->background(), w->palette().brush(QPalette::Dark));
}

void TestMDIForm1::loadOpensForm2()
{
    MDIForm1 *w = makeWindow();
    QCOMPARE(m_factoryCalls, 1);
    QVERIFY(w->isForm2Open());
    QVERIFY(w->form2Window());
    QCOMPARE(w->form2Window()->widget(), m_made.first());
    QCOMPARE(w->mdiArea()->subWindowList(), QList<QMdiSubWindow *>{w->form2Window()});
    QCOMPARE(w->form2Window()->windowTitle(), QStringLiteral("Zelvaro"));
}

void TestMDIForm1::secondOpenOnlyActivates()
{
    MDIForm1 *w = makeWindow();
    w->show();
    QMdiSubWindow *form2 = w->form2Window();
    QMdiSubWindow *other = w->mdiArea()->addSubWindow(new QWidget);
    other->show();
    w->mdiArea()->setActiveSubWindow(other);
    QCOMPARE(w->mdiArea()->currentSubWindow(), other);

    w->findChild<QAction *>(QStringLiteral("MENU0102"))->trigger();

    QCOMPARE(m_factoryCalls, 1);
    QCOMPARE(w->form2Window(), form2);
    QCOMPARE(w->mdiArea()->subWindowList().size(), 2);
    QCOMPARE(w->mdiArea()->currentSubWindow(), form2);
}

void TestMDIForm1::closeAndReopenReloads()
{
    MDIForm1 *w = makeWindow();
    w->show();
    QPointer<QMdiSubWindow> first = w->form2Window();
    QVERIFY(first->close());
    QVERIFY(!w->isForm2Open());
    QCOMPARE(m_archiveOpenAtChildClose, QList<bool>{true});

    // Reopened before the closed window is deleted: its deletion must leave the new one open.
    w->MENU0102_Click();
    QCOMPARE(m_factoryCalls, 2);
    QVERIFY(w->isForm2Open());
    QVERIFY(w->form2Window() != first);
    processDeferredDeletes();
    QVERIFY(!first);
    QVERIFY(w->isForm2Open());
    QCOMPARE(w->mdiArea()->subWindowList().size(), 1);

    // Deleting the window outright clears the flag too.
    delete w->form2Window();
    QVERIFY(!w->isForm2Open());
    w->MENU0102_Click();
    QCOMPARE(m_factoryCalls, 3);
    QVERIFY(w->isForm2Open());
    QVERIFY(m_archive->isOpen());
    QCOMPARE(m_fakes.end.count, 0);
}

void TestMDIForm1::ending_data()
{
    QTest::addColumn<bool>("byMenu");
    QTest::addColumn<bool>("archiveOpenAfter");
    QTest::addColumn<bool>("form2OpenAfter");
    QTest::addColumn<QList<bool>>("childClosesSeen");

    QTest::newRow("Fine: ends at once, archive left open") << true << true << true << QList<bool>{};
    QTest::newRow("closing the main window: child first, then archive")
        << false << false << false << QList<bool>{true};
}

void TestMDIForm1::ending()
{
    QFETCH(bool, byMenu);
    QFETCH(bool, archiveOpenAfter);
    QFETCH(bool, form2OpenAfter);
    QFETCH(QList<bool>, childClosesSeen);

    MDIForm1 *w = makeWindow();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    if (byMenu)
        w->findChild<QAction *>(QStringLiteral("MENU0199"))->trigger();
    else
        QVERIFY(w->close());

    QCOMPARE(m_fakes.end.count, 1);
    QCOMPARE(m_archive->isOpen(), archiveOpenAfter);
    QCOMPARE(w->isForm2Open(), form2OpenAfter);
    QCOMPARE(m_archiveOpenAtChildClose, childClosesSeen);
    QCOMPARE(w->isVisible(), byMenu);
    QVERIFY(m_fakes.messages.shown.isEmpty());
}

void TestMDIForm1::windowList_data()
{
    QTest::addColumn<int>("activeIndex"); // which child is active when the menu opens
    QTest::addColumn<int>("chosenIndex"); // which entry the user then picks
    QTest::newRow("Form2 active, pick the other") << 0 << 1;
    QTest::newRow("other active, pick Form2") << 1 << 0;
    QTest::newRow("pick the active one") << 1 << 1;
}

void TestMDIForm1::windowList()
{
    QFETCH(int, activeIndex);
    QFETCH(int, chosenIndex);

    MDIForm1 *w = makeWindow();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    auto *otherWidget = new QWidget;
    otherWidget->setWindowTitle(QStringLiteral("Prova & co"));
    QMdiSubWindow *other = w->mdiArea()->addSubWindow(otherWidget);
    other->show();
    const QList<QMdiSubWindow *> children{w->form2Window(), other};
    w->mdiArea()->setActiveSubWindow(children.at(activeIndex));

    auto *menu = w->findChild<QMenu *>(QStringLiteral("mnuWindows"));
    QVERIFY(menu);
    emit menu->aboutToShow();
    const QList<QAction *> entries = menu->actions();
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries.at(0)->text(), QStringLiteral("&1 Zelvaro"));
    QCOMPARE(entries.at(1)->text(), QStringLiteral("&2 Prova && co"));
    for (int i = 0; i < entries.size(); ++i) {
        QVERIFY(entries.at(i)->isCheckable());
        QCOMPARE(entries.at(i)->isChecked(), i == activeIndex);
    }

    entries.at(chosenIndex)->trigger();
    QCOMPARE(w->mdiArea()->currentSubWindow(), children.at(chosenIndex));

    // Rebuilt each time: a closed child no longer appears.
    other->close();
    processDeferredDeletes();
    emit menu->aboutToShow();
    QCOMPARE(menu->actions().size(), 1);
    QCOMPARE(menu->actions().first()->text(), QStringLiteral("&1 Zelvaro"));
}

QTEST_MAIN(TestMDIForm1)
#include "tst_mdiform1.moc"
