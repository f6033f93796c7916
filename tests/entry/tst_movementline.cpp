#include "MovementLine.h"

#include <QTest>

using namespace zelvaro;
using namespace Qt::StringLiterals;

// The list line, checked column by column.
class tst_MovementLine : public QObject
{
    Q_OBJECT
private slots:
    void columns_data();
    void columns();
};

namespace {

QString blanks(int n)
{
    return QString(n, u' ');
}

} // namespace

void tst_MovementLine::columns_data()
{
    QTest::addColumn<QStringList>("fields"); // number, day, month, year, six times
    QTest::addColumn<QString>("number");     // columns 1-10
    QTest::addColumn<QString>("date");       // columns 12-21
    QTest::addColumn<QStringList>("times");  // columns 23-32, 34-43, ... 78-87

    const QStringList noTimes(6, blanks(10));

    QTest::newRow("record 12 of 5 March 2004, 8.30 to 12.30")
        << QStringList{u"12"_s, u"5"_s, u"3"_s, u"2004"_s, u"8.30"_s, u"12.30"_s, {}, {}, {}, {}}
        << u"12"_s + blanks(8) << u"05/03/2004"_s
        << QStringList{
               blanks(6) + u"8.30"_s, blanks(5) + u"12.30"_s, blanks(10), blanks(10), blanks(10), blanks(10)};
    QTest::newRow("null fields give zeros and blanks")
        << QStringList(10, QString()) << blanks(10) << u"00/00/0000"_s << noTimes;
    QTest::newRow("number of eleven digits keeps its first ten")
        << QStringList{u"12345678901"_s, u"1"_s, u"1"_s, u"2004"_s, {}, {}, {}, {}, {}, {}} << u"1234567890"_s
        << u"01/01/2004"_s << noTimes;
    QTest::newRow("number of exactly ten digits")
        << QStringList{u"9876543210"_s, u"31"_s, u"12"_s, u"1999"_s, {}, {}, {}, {}, {}, {}}
        << u"9876543210"_s << u"31/12/1999"_s << noTimes;
    QTest::newRow("one-digit day and month get a zero")
        << QStringList{u"7"_s, u"9"_s, u"1"_s, u"2024"_s, {}, {}, {}, {}, {}, {}} << u"7"_s + blanks(9)
        << u"09/01/2024"_s << noTimes;
    QTest::newRow("year 4 and year 04 read 0004")
        << QStringList{u"1"_s, u"10"_s, u"11"_s, u"4"_s, {}, {}, {}, {}, {}, {}} << u"1"_s + blanks(9)
        << u"10/11/0004"_s << noTimes;
    QTest::newRow("year 04") << QStringList{u"1"_s, u"10"_s, u"11"_s, u"04"_s, {}, {}, {}, {}, {}, {}}
                             << u"1"_s + blanks(9) << u"10/11/0004"_s << noTimes;
    QTest::newRow("day 123 keeps its last two, year 12345 its last four")
        << QStringList{u"2"_s, u"123"_s, u"012"_s, u"12345"_s, {}, {}, {}, {}, {}, {}} << u"2"_s + blanks(9)
        << u"23/12/2345"_s << noTimes;
    QTest::newRow("text in the date is placed as it is")
        << QStringList{u"3"_s, u"ab"_s, u"x"_s, u"anno"_s, {}, {}, {}, {}, {}, {}} << u"3"_s + blanks(9)
        << u"ab/0x/anno"_s << noTimes;
    QTest::newRow("all three periods")
        << QStringList{u"40"_s,   u"28"_s,    u"02"_s, u"2004"_s,  u"8"_s,
                       u"12.5"_s, u"13.45"_s, u"18"_s, u"20.00"_s, u"23.59"_s}
        << u"40"_s + blanks(8) << u"28/02/2004"_s
        << QStringList{blanks(9) + u"8"_s,  blanks(6) + u"12.5"_s,  blanks(5) + u"13.45"_s,
                       blanks(8) + u"18"_s, blanks(5) + u"20.00"_s, blanks(5) + u"23.59"_s};
    QTest::newRow("period 3 without period 2")
        << QStringList{u"5"_s, u"1"_s, u"2"_s, u"2003"_s, u"8"_s, u"12"_s, {}, {}, u"14"_s, u"18"_s}
        << u"5"_s + blanks(9) << u"01/02/2003"_s
        << QStringList{blanks(9) + u"8"_s, blanks(8) + u"12"_s, blanks(10),
                       blanks(10),         blanks(8) + u"14"_s, blanks(8) + u"18"_s};
    QTest::newRow("times longer than ten keep their last ten")
        << QStringList{u"6"_s,
                       u"1"_s,
                       u"1"_s,
                       u"2000"_s,
                       u"0123456789AB"_s,
                       u"12345678901"_s,
                       u"1234567890"_s,
                       {},
                       {},
                       u"zzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzz8.30"_s}
        << u"6"_s + blanks(9) << u"01/01/2000"_s
        << QStringList{u"23456789AB"_s, u"2345678901"_s, u"1234567890"_s,
                       blanks(10),      blanks(10),      u"zzzzzz8.30"_s};
    QTest::newRow("accented text keeps its characters")
        << QStringList{u"è"_s, u"1"_s, u"1"_s, u"2000"_s, u"8.30 più"_s, {}, {}, {}, {}, {}}
        << u"è"_s + blanks(9) << u"01/01/2000"_s
        << QStringList{blanks(2) + u"8.30 più"_s, blanks(10), blanks(10), blanks(10), blanks(10), blanks(10)};
}

void tst_MovementLine::columns()
{
    QFETCH(QStringList, fields);
    QFETCH(QString, number);
    QFETCH(QString, date);
    QFETCH(QStringList, times);

    HoursRecord record;
    record.numMov = fields[0];
    record.giorno = fields[1];
    record.mese = fields[2];
    record.anno = fields[3];
    record.oraInizio1 = fields[4];
    record.oraFine1 = fields[5];
    record.oraInizio2 = fields[6];
    record.oraFine2 = fields[7];
    record.oraInizio3 = fields[8];
    record.oraFine3 = fields[9];
    record.note = u"never shown"_s;

    const QString line = movementLine(record);
    QCOMPARE(line.size(), kMovementLineLength);
    QCOMPARE(line.mid(0, 10), number);
    QCOMPARE(line.mid(10, 1), u" "_s);
    QCOMPARE(line.mid(11, 10), date);
    for (int i = 0; i < 6; ++i) {
        const int start = 22 + 11 * i; // columns 23, 34, 45, 56, 67, 78
        QCOMPARE(line.mid(start - 1, 1), u" "_s);
        QCOMPARE(line.mid(start, 10), times[i]);
    }
    QVERIFY(!line.contains(u"never"_s));
}

QTEST_GUILESS_MAIN(tst_MovementLine)
#include "tst_movementline.moc"
