#include "RecordKey.h"

#include <QTest>

using namespace zelvaro;
using namespace Qt::StringLiterals;

class tst_RecordKey : public QObject
{
    Q_OBJECT
private slots:
    void recordNumber_data();
    void recordNumber();
    void nextNumber_data();
    void nextNumber();
};

void tst_RecordKey::recordNumber_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<qint64>("number");

    QTest::newRow("plain number") << u"42"_s << true << qint64(42);
    QTest::newRow("leading zeros") << u"007"_s << true << qint64(7);
    QTest::newRow("largest 64-bit number")
        << u"9223372036854775807"_s << true << qint64(9223372036854775807LL);
    QTest::newRow("one beyond 64 bits") << u"9223372036854775808"_s << false << qint64(0);
    QTest::newRow("twenty digits") << u"99999999999999999999"_s << false << qint64(0);
    QTest::newRow("empty") << QString() << false << qint64(0);
    QTest::newRow("zero") << u"0"_s << false << qint64(0);
    QTest::newRow("negative") << u"-3"_s << false << qint64(0);
    QTest::newRow("plus sign") << u"+3"_s << false << qint64(0);
    QTest::newRow("decimal point") << u"2.5"_s << false << qint64(0);
    QTest::newRow("whole number with point") << u"2.0"_s << false << qint64(0);
    QTest::newRow("letters after digits") << u"7abc"_s << false << qint64(0);
    QTest::newRow("letters") << u"abc"_s << false << qint64(0);
    QTest::newRow("blank inside") << u"1 2"_s << false << qint64(0);
    QTest::newRow("untrimmed") << u" 7 "_s << false << qint64(0);
    QTest::newRow("SQL text") << u"1 or 1=1"_s << false << qint64(0);
    QTest::newRow("Arabic-Indic digits") << u"\u0663"_s << false << qint64(0);
}

void tst_RecordKey::recordNumber()
{
    QFETCH(QString, key);
    QFETCH(bool, valid);
    QFETCH(qint64, number);
    const std::optional<qint64> result = recordNumberFromKey(key);
    QCOMPARE(result.has_value(), valid);
    if (valid)
        QCOMPARE(*result, number);
}

void tst_RecordKey::nextNumber_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("next");

    QTest::newRow("41 gives 42") << u"41"_s << u"42"_s;
    QTest::newRow("empty key gives 1") << QString() << u"1"_s;
    QTest::newRow("7 gives 8") << u"7"_s << u"8"_s;
    QTest::newRow("9 carries to 10") << u"9"_s << u"10"_s;
    QTest::newRow("text without number gives 1") << u"abc"_s << u"1"_s;
    QTest::newRow("leading number of a text") << u"12abc"_s << u"13"_s;
    QTest::newRow("beyond 2^53 counted exactly") << u"9007199254740993"_s << u"9007199254740994"_s;
    QTest::newRow("negative key") << u"-5"_s << u"-4"_s;
    QTest::newRow("decimal key") << u"3.5"_s << u"4.5"_s;
}

void tst_RecordKey::nextNumber()
{
    QFETCH(QString, key);
    QFETCH(QString, next);
    QCOMPARE(nextNumberText(key), next);
}

QTEST_GUILESS_MAIN(tst_RecordKey)
#include "tst_recordkey.moc"
