#include "EntryChecks.h"

#include <QTest>

using namespace zelvaro;

class TestEntryChecks : public QObject
{
    Q_OBJECT

private slots:
    void confirmChecksInOrder_data()
    {
        QTest::addColumn<QString>("entries"); // "number|start1|end1|start2|end2|start3|end3"
        QTest::addColumn<QString>("message"); // empty when the entries may be stored

        const auto row = [](const char *name, const char *entries, const char *message) {
            QTest::newRow(name) << QString::fromUtf8(entries) << QString::fromUtf8(message);
        };
        row("three periods", "12|8|12|13|17|18|19", "");
        row("comma time counts as given", "12|8,30|12||||", "");
        row("number first, before any time", "||||1|2|", "Indicare il numero del movimento !!!");
        row("start 1 at midnight", "12|0.00|12||||", "Indicare l'ora di inizio 1.Periodo !!!");
        row("end 1 beyond a double", "12|8|1E999||||", "Indicare l'ora di fine 1.Periodo !!!");
        row("end 2 without start 2", "12|8|12||18.00||", "Indicare l'ora di inizio 2.Periodo !!!");
        row("start 2 without end 2, before period 3", "12|8|12|14.00||15|",
            "Indicare l'ora di fine 2.Periodo !!!");
        row("end 3 without start 3", "12|8|12||||19", "Indicare l'ora di inizio 3.Periodo !!!");
        row("start 3 without end 3", "12|8|12|13|14|18|0", "Indicare l'ora di fine 3.Periodo !!!");
    }

    void confirmChecksInOrder()
    {
        QFETCH(QString, entries);
        QFETCH(QString, message);

        const QStringList e = entries.split(QLatin1Char('|'));
        QCOMPARE(refusalMessage(checkEntries(e[0], e[1], e[2], e[3], e[4], e[5], e[6])), message);
    }
};

QTEST_GUILESS_MAIN(TestEntryChecks)
#include "tst_entrychecks.moc"
