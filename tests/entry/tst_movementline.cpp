#include "MovementLine.h"
#include "RecordKey.h"

#include <QTest>

using namespace zelvaro;
using namespace Qt::StringLiterals;

// The list line column by column, and the record key behind each line.
class tst_MovementLine : public QObject
{
    Q_OBJECT
private slots:
    void columns_data()
    {
        QTest::addColumn<QString>("fields"); // number|day|month|year|six times
        QTest::addColumn<QString>("number"); // columns 1-10
        QTest::addColumn<QString>("date");   // columns 12-21
        QTest::addColumn<QString>("times");  // columns 23-32, 34-43, ... 78-87, each right-aligned

        QTest::newRow("null fields give zeros and blanks")
            << u"|||||||||"_s << u"          "_s << u"00/00/0000"_s << u"|||||"_s;
        QTest::newRow("eleven digits keep the first ten")
            << u"12345678901|1|1|2004||||||"_s << u"1234567890"_s << u"01/01/2004"_s << u"|||||"_s;
        QTest::newRow("day 123 keeps its last two, year 04 reads 0004")
            << u"2|123|012|04||||||"_s << u"2         "_s << u"23/12/0004"_s << u"|||||"_s;
        QTest::newRow("all three periods")
            << u"40|28|02|2004|8|12.5|13.45|18|20.00|23.59"_s << u"40        "_s << u"28/02/2004"_s
            << u"8|12.5|13.45|18|20.00|23.59"_s;
        QTest::newRow("times longer than ten keep their last ten")
            << u"6|1|1|2000|0123456789AB|12345678901|1234567890|||zzzzzzzzzzzz8.30"_s << u"6         "_s
            << u"01/01/2000"_s << u"23456789AB|2345678901|1234567890|||zzzzzz8.30"_s;
    }

    void columns()
    {
        QFETCH(QString, fields);
        QFETCH(QString, number);
        QFETCH(QString, date);
        QFETCH(QString, times);
        const QStringList f = fields.split(u'|');
        const QString line = movementLine(
            HoursRecord{f[0], f[3], f[2], f[1], f[4], f[5], f[6], f[7], f[8], f[9], u"never shown"_s});
        QCOMPARE(line.size(), kMovementLineLength);
        QCOMPARE(line.left(11), number + u' ');
        QCOMPARE(line.mid(11, 10), date);
        for (int i = 0; i < 6; ++i)
            QCOMPARE(line.mid(21 + 11 * i, 11), u" "_s + times.split(u'|').at(i).rightJustified(10));
    }

    void recordNumber_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<qint64>("number"); // 0: not a record number
        QTest::newRow("leading zeros") << u"007"_s << qint64(7);
        QTest::newRow("largest 64-bit number") << u"9223372036854775807"_s << qint64(9223372036854775807LL);
        QTest::newRow("one beyond 64 bits") << u"9223372036854775808"_s << qint64(0);
        QTest::newRow("zero") << u"0"_s << qint64(0);
        QTest::newRow("sign") << u"+3"_s << qint64(0);
        QTest::newRow("untrimmed") << u" 7 "_s << qint64(0);
        QTest::newRow("Arabic-Indic digit") << u"\u0663"_s << qint64(0);
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
        QTest::newRow("leading number of a text") << u"12abc"_s << u"13"_s;
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

QTEST_GUILESS_MAIN(tst_MovementLine)
#include "tst_movementline.moc"
