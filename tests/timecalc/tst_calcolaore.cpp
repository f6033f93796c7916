#include "CalcolaOre.h"
#include "PlainDuration.h"

#include <QTest>

#include <cmath>

using namespace zelvaro;

namespace {

const QString stale = QStringLiteral("vecchio");

void putTimes(BoxTexts &boxes, const QStringList &times)
{
    boxes.oraInizio1 = times.at(0);
    boxes.oraFine1 = times.at(1);
    boxes.oraInizio2 = times.at(2);
    boxes.oraFine2 = times.at(3);
    boxes.oraInizio3 = times.at(4);
    boxes.oraFine3 = times.at(5);
}

QStringList results(const BoxTexts &boxes)
{
    return {boxes.totale1, boxes.totale2, boxes.totale3, boxes.totaleGenerale, boxes.totaleGenSettimana};
}

// One call: the six times in, then the five read-out texts expected after it.
QStringList call(const QStringList &times, const QStringList &expected)
{
    return times + expected;
}

} // namespace

class TestCalcolaOre : public QObject
{
    Q_OBJECT

private slots:
    void singleCall_data();
    void singleCall();
    void sequence_data();
    void sequence();
    void hugeTimes_data();
    void hugeTimes();
};

void TestCalcolaOre::singleCall_data()
{
    QTest::addColumn<QStringList>("times");
    QTest::addColumn<double>("weekHoursBefore");
    QTest::addColumn<double>("weekMinutesBefore");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<double>("weekHoursAfter");
    QTest::addColumn<double>("weekMinutesAfter");

    const QString none;
    const QString p415 = QStringLiteral("4 h / 15 Min.");
    auto row = [](const char *name, const QStringList &times, double wh, double wm,
                  const QStringList &expected, double whAfter, double wmAfter) {
        QTest::newRow(name) << times << wh << wm << expected << whAfter << wmAfter;
    };
    row("plain period", {"8.30", "12.45", none, none, none, none}, 0, 0, {p415, none, none, p415, p415}, 4,
        15);
    row("borrow", {"8.45", "12.30", none, none, none, none}, 0, 0,
        {"3 h / 45 Min.", none, none, "3 h / 45 Min.", "3 h / 45 Min."}, 3, 45);
    row("whole end hour", {"8.30", "17", none, none, none, none}, 0, 0,
        {"8 h / 30 Min.", none, none, "8 h / 30 Min.", "8 h / 30 Min."}, 8, 30);
    row("75 minutes carried", {"8", "12.75", none, none, none, none}, 0, 0,
        {"5 h / 15 Min.", none, none, "5 h / 15 Min.", "5 h / 15 Min."}, 5, 15);
    row("end before start over midnight", {"22.00", "2.00", none, none, none, none}, 0, 0,
        {"-20 h / 0 Min.", none, none, "-20 h / 0 Min.", "-20 h / 0 Min."}, -20, 0);
    row("end a quarter before start", {"8.30", "8.15", none, none, none, none}, 0, 0,
        {"-1 h / 45 Min.", none, none, "-1 h / 45 Min.", "-1 h / 45 Min."}, -1, 45);
    row("end at 24", {"22.00", "24.00", none, none, none, none}, 0, 0,
        {"2 h / 0 Min.", none, none, "2 h / 0 Min.", "2 h / 0 Min."}, 2, 0);
    row("comma start reads as whole hours", {"8,30", "12", none, none, none, none}, 0, 0,
        {"4 h / 0 Min.", none, none, "4 h / 0 Min.", "4 h / 0 Min."}, 4, 0);
    row("two periods, third incomplete", {"8.30", "12.45", "13.10", "17", none, none}, 0, 0,
        {p415, "3 h / 50 Min.", none, "8 h / 5 Min.", "8 h / 5 Min."}, 8, 5);
    row("day minutes carried", {"8", "12.45", "13", "16.30", none, none}, 0, 0,
        {"4 h / 45 Min.", "3 h / 30 Min.", none, "8 h / 15 Min.", "8 h / 15 Min."}, 8, 15);
    row("three periods carry two hours", {"8", "9.50", "10", "11.50", "12", "13.50"}, 0, 0,
        {"1 h / 50 Min.", "1 h / 50 Min.", "1 h / 50 Min.", "5 h / 30 Min.", "5 h / 30 Min."}, 5, 30);
    row("period 3 without period 2", {"8", "12", none, none, "14", "18"}, 0, 0,
        {"4 h / 0 Min.", none, "4 h / 0 Min.", "8 h / 0 Min.", "8 h / 0 Min."}, 8, 0);
    row("period 2 start only", {"8", "12", "13", none, none, none}, 0, 0,
        {"4 h / 0 Min.", none, none, "4 h / 0 Min.", "4 h / 0 Min."}, 4, 0);
    row("period 2 midnight end", {"8", "12", "13", "0.00", none, none}, 0, 0,
        {"4 h / 0 Min.", none, none, "4 h / 0 Min.", "4 h / 0 Min."}, 4, 0);
    row("period minutes stay negative after one borrow", {"8.99", "10", none, none, none, none}, 0, 0,
        {"1 h / -39 Min.", none, none, "0 h / 21 Min.", "0 h / 21 Min."}, 0, 21);
    row("day minutes stay negative after one borrow", {"8.99", "10", "8.99", "10", "8.99", "10"}, 0, 0,
        {"1 h / -39 Min.", "1 h / -39 Min.", "1 h / -39 Min.", "2 h / -57 Min.", "2 h / -57 Min."}, 2, -57);
    row("adds to the running total with carry", {"8.30", "12.45", none, none, none, none}, 10, 50,
        {p415, none, none, p415, "15 h / 5 Min."}, 15, 5);
    row("running total never borrows", {"8.30", "12.45", none, none, none, none}, 10, -50,
        {p415, none, none, p415, "14 h / -35 Min."}, 14, -35);
    row("period 1 under one hour", {"8.15", "9.00", none, none, none, none}, 5, 10,
        {"0 h / 45 Min.", none, none, "0 h / 45 Min.", "5 h / 55 Min."}, 5, 55);
    row("period 1 start equal to end", {"8", "8.00", none, none, none, none}, 5, 10,
        {"0 h / 0 Min.", none, none, "0 h / 0 Min.", "5 h / 10 Min."}, 5, 10);
    row("period 1 under one hour with period 2", {"8.15", "9", "14", "18", none, none}, 0, 0,
        {"0 h / 45 Min.", "4 h / 0 Min.", none, "4 h / 45 Min.", "4 h / 45 Min."}, 4, 45);
    row("period 1 start empty", {none, "12", "13", "17", none, none}, 5, 10,
        {none, "4 h / 0 Min.", none, stale, stale}, 5, 10);
    row("period 1 end empty", {"8", none, none, none, none, none}, 5, 10, {none, none, none, stale, stale}, 5,
        10);
    row("period 1 start midnight", {"0.00", "12", none, none, none, none}, 5, 10,
        {none, none, none, stale, stale}, 5, 10);
    row("period 1 start not a number", {"abc", "12", none, none, none, none}, 5, 10,
        {none, none, none, stale, stale}, 5, 10);
    row("period 1 start beyond a double", {"1E999", "12", none, none, none, none}, 5, 10,
        {none, none, none, stale, stale}, 5, 10);
    row("hours beyond a double count as 0", {"-1E308", "1.7E308", none, none, none, none}, 0, 0,
        {"0 h / 0 Min.", none, none, "0 h / 0 Min.", "0 h / 0 Min."}, 0, 0);
}

void TestCalcolaOre::singleCall()
{
    QFETCH(QStringList, times);
    QFETCH(double, weekHoursBefore);
    QFETCH(double, weekMinutesBefore);
    QFETCH(QStringList, expected);
    QFETCH(double, weekHoursAfter);
    QFETCH(double, weekMinutesAfter);

    BoxTexts boxes;
    putTimes(boxes, times);
    boxes.totale1 = boxes.totale2 = boxes.totale3 = stale;
    boxes.totaleGenerale = boxes.totaleGenSettimana = stale;
    WeekAccumulators week{weekHoursBefore, weekMinutesBefore};

    CALCOLA_ORE(boxes, week);

    QCOMPARE(results(boxes), expected);
    QCOMPARE(week.hours, weekHoursAfter);
    QCOMPARE(week.minutes, weekMinutesAfter);
}

void TestCalcolaOre::sequence_data()
{
    QTest::addColumn<QList<QStringList>>("calls");
    QTest::addColumn<double>("weekHours");
    QTest::addColumn<double>("weekMinutes");

    const QString none;
    const QStringList day830 = {"8.30", "12.30", "13.30", "18", none, none};
    const QStringList out830 = {"4 h / 0 Min.", "4 h / 30 Min.", none, "8 h / 30 Min."};
    QTest::newRow("three days of 8 h 30")
        << QList<QStringList>{call(day830, out830 + QStringList{"8 h / 30 Min."}),
                              call(day830, out830 + QStringList{"17 h / 0 Min."}),
                              call(day830, out830 + QStringList{"25 h / 30 Min."})}
        << 25.0 << 30.0;
    QTest::newRow("periods 1 and 2, then period 1 only")
        << QList<QStringList>{call({"8.30", "12.45", "13.10", "17", none, none},
                                   {"4 h / 15 Min.", "3 h / 50 Min.", none, "8 h / 5 Min.", "8 h / 5 Min."}),
                              call({"8", "12", none, none, none, none},
                                   {"4 h / 0 Min.", none, none, "4 h / 0 Min.", "12 h / 5 Min."})}
        << 12.0 << 5.0;
    QTest::newRow("same day twice") << QList<QStringList>{call(day830, out830 + QStringList{"8 h / 30 Min."}),
                                                          call(day830, out830 + QStringList{"17 h / 0 Min."})}
                                    << 17.0 << 0.0;
    QTest::newRow("incomplete day leaves the totals of the day before")
        << QList<QStringList>{call(day830, out830 + QStringList{"8 h / 30 Min."}),
                              call({none, "12", "14", "15", none, none},
                                   {none, "1 h / 0 Min.", none, "8 h / 30 Min.", "8 h / 30 Min."}),
                              call(day830, out830 + QStringList{"17 h / 0 Min."})}
        << 17.0 << 0.0;
    QTest::newRow("days under one hour enter the running total")
        << QList<QStringList>{call({"8.15", "9", none, none, none, none},
                                   {"0 h / 45 Min.", none, none, "0 h / 45 Min.", "0 h / 45 Min."}),
                              call({"10", "10.45", none, none, none, none},
                                   {"0 h / 45 Min.", none, none, "0 h / 45 Min.", "1 h / 30 Min."})}
        << 1.0 << 30.0;
    QTest::newRow("negative day lowers the running total")
        << QList<QStringList>{call({"22.00", "2.00", none, none, none, none},
                                   {"-20 h / 0 Min.", none, none, "-20 h / 0 Min.", "-20 h / 0 Min."}),
                              call(day830, out830 + QStringList{"-12 h / 30 Min."})}
        << -12.0 << 30.0;
}

void TestCalcolaOre::sequence()
{
    QFETCH(QList<QStringList>, calls);
    QFETCH(double, weekHours);
    QFETCH(double, weekMinutes);

    BoxTexts boxes;
    WeekAccumulators week;
    for (qsizetype i = 0; i < calls.size(); ++i) {
        putTimes(boxes, calls.at(i).mid(0, 6));
        CALCOLA_ORE(boxes, week);
        QVERIFY2(
            results(boxes) == calls.at(i).mid(6),
            qPrintable(
                QStringLiteral("call %1: %2").arg(i + 1).arg(results(boxes).join(QStringLiteral(" | ")))));
    }
    QCOMPARE(week.hours, weekHours);
    QCOMPARE(week.minutes, weekMinutes);
}

void TestCalcolaOre::hugeTimes_data()
{
    QTest::addColumn<QStringList>("times");

    QTest::newRow("periods near the largest double")
        << QStringList{"1", "1.7E308", "1", "1.7E308", "1", "1.7E308"};
    QTest::newRow("start near minus the largest double") << QStringList{"-1.7E308", "1", "", "", "", ""};
    QTest::newRow("tiny times") << QStringList{"1E-300", "4.9E-324", "", "", "", ""};
    QTest::newRow("hex and octal") << QStringList{"&HFFFFFFFFFFFF", "&O7", "&H10", "&H20", "", ""};
    QTest::newRow("hostile texts") << QStringList{"-",  "1E", ".",
                                                  "-.", "D5", QString(10000, QLatin1Char('9'))};
}

void TestCalcolaOre::hugeTimes()
{
    QFETCH(QStringList, times);

    BoxTexts boxes;
    WeekAccumulators week;
    putTimes(boxes, times);
    for (int round = 0; round < 3; ++round) {
        CALCOLA_ORE(boxes, week);
        for (const QString &text : results(boxes))
            QVERIFY2(text.isEmpty() || isPlainDuration(text), qPrintable(text.left(80)));
        QVERIFY(std::isfinite(week.hours) && std::isfinite(week.minutes));
    }
}

QTEST_GUILESS_MAIN(TestCalcolaOre)
#include "tst_calcolaore.moc"
