#include "LeadingNumber.h"
#include "PlainDuration.h"
#include "TimeValues.h"

#include <QTest>

#include <clocale>
#include <cmath>
#include <limits>
#include <locale.h>
#include <stdlib.h>

using namespace zelvaro;

namespace {

bool sameDouble(double a, double b)
{
    return a == b && std::signbit(a) == std::signbit(b);
}

QByteArray shown(double value)
{
    return value == 0 && std::signbit(value) ? QByteArray("-0") : QByteArray::number(value, 'g', 17);
}

QByteArray describe(double actual, double expected)
{
    return "got " + shown(actual) + " expected " + shown(expected);
}

// glibc's own correctly rounded reading in the C locale: the reference for long digit strings.
double referenceRead(const QString &text)
{
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    const double value = strtod_l(text.toLatin1().constData(), nullptr, cLocale);
    return std::isfinite(value) ? value : 0;
}

QString repeated(const char *piece, int times)
{
    return QString::fromLatin1(piece).repeated(times);
}

} // namespace

#define VERIFY_SAME(actual, expected)                                                                        \
    QVERIFY2(sameDouble(actual, expected), describe(actual, expected).constData())

class TestLeadingNumber : public QObject
{
    Q_OBJECT

private slots:
    void reading_data();
    void reading();
    void timeEntry_data();
    void timeEntry();
    void everyHoursDotTwoDigits();
    void longDigitStrings_data();
    void longDigitStrings();
    void manyShortNumbersMatchReference();
    void durationWriting_data();
    void durationWriting();
    void durationReading_data();
    void durationReading();
    void commaLocale_data();
    void commaLocale();
};

void TestLeadingNumber::reading_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");

    const double tooLarge = 0;
    QTest::newRow("blanks tabs and line feeds anywhere") << QStringLiteral("\t 1\n2 . 5 ") << 12.5;
    QTest::newRow("blank between sign and digits") << QStringLiteral("- 5") << -5.0;
    QTest::newRow("plus sign") << QStringLiteral("+7") << 7.0;
    QTest::newRow("carriage return is not skipped") << QStringLiteral("\r8") << 0.0;
    QTest::newRow("no-break space is not skipped") << QStringLiteral("\u00a08") << 0.0;
    QTest::newRow("only ASCII digits") << QStringLiteral("\u0668\uff18") << 0.0;
    QTest::newRow("point first") << QStringLiteral(".5") << 0.5;
    QTest::newRow("point last") << QStringLiteral("5.") << 5.0;
    QTest::newRow("second point ends") << QStringLiteral("1..2") << 1.0;
    QTest::newRow("comma ends") << QStringLiteral("1,000") << 1.0;
    QTest::newRow("exponent E") << QStringLiteral("1E2") << 100.0;
    QTest::newRow("exponent d lower case") << QStringLiteral("1d-2") << 0.01;
    QTest::newRow("exponent with blanks") << QStringLiteral("2 e + 3") << 2000.0;
    QTest::newRow("second exponent ends") << QStringLiteral("1e2e3") << 100.0;
    QTest::newRow("incomplete exponent") << QStringLiteral("1E") << 1.0;
    QTest::newRow("exponent sign alone") << QStringLiteral("1E+") << 1.0;
    QTest::newRow("exponent minus alone then text") << QStringLiteral("1.5e-x") << 1.5;
    QTest::newRow("exponent letter first") << QStringLiteral("D5") << 0.0;
    QTest::newRow("point alone") << QStringLiteral(".") << 0.0;
    QTest::newRow("minus point") << QStringLiteral("-.") << 0.0;
    QTest::newRow("minus zero") << QStringLiteral("-0.00") << 0.0;
    QTest::newRow("minus zero with exponent") << QStringLiteral("-0e5") << 0.0;
    QTest::newRow("only signs") << QStringLiteral("+-") << 0.0;
    QTest::newRow("two minus signs") << QStringLiteral("--5") << 0.0;
    QTest::newRow("sign alone") << QStringLiteral("-") << 0.0;
    QTest::newRow("embedded NUL ends") << QStringView(u"8\0.30", 5).toString() << 8.0;
    QTest::newRow("NUL first") << QStringView(u"\0"
                                              "8",
                                              2)
                                      .toString()
                               << 0.0;
    QTest::newRow("hex") << QStringLiteral("&H1f") << 31.0;
    QTest::newRow("hex lower case with blanks") << QStringLiteral(" & h 1 0") << 16.0;
    QTest::newRow("hex 48 bits") << QStringLiteral("&HFFFFFFFFFFFF") << 281474976710655.0;
    QTest::newRow("hex 64 bits") << QStringLiteral("&HFFFFFFFFFFFFFFFF") << 18446744073709551615.0;
    QTest::newRow("hex beyond 64 bits") << QStringLiteral("&H10000000000000000") << 0.0;
    QTest::newRow("hex leading zeros")
        << (QStringLiteral("&H") + repeated("0", 40) + QStringLiteral("A")) << 10.0;
    QTest::newRow("hex stops at non-digit") << QStringLiteral("&H1G") << 1.0;
    QTest::newRow("hex without digits") << QStringLiteral("&H") << 0.0;
    QTest::newRow("hex minus") << QStringLiteral("&H-1") << 0.0;
    QTest::newRow("sign before hex") << QStringLiteral("-&H10") << 0.0;
    QTest::newRow("octal") << QStringLiteral("&O17") << 15.0;
    QTest::newRow("octal 64 bits") << QStringLiteral("&o1777777777777777777777") << 18446744073709551615.0;
    QTest::newRow("octal beyond 64 bits") << QStringLiteral("&O2000000000000000000000") << 0.0;
    QTest::newRow("octal 8 ends") << QStringLiteral("&O8") << 0.0;
    QTest::newRow("ampersand alone") << QStringLiteral("&") << 0.0;
    QTest::newRow("ampersand other letter") << QStringLiteral("&X1") << 0.0;
    QTest::newRow("largest double") << QStringLiteral("1.7976931348623157E308")
                                    << std::numeric_limits<double>::max();
    QTest::newRow("beyond largest double") << QStringLiteral("1.8E308") << tooLarge;
    QTest::newRow("1E999") << QStringLiteral("1E999") << tooLarge;
    QTest::newRow("-1E999") << QStringLiteral("-1E999") << tooLarge;
    QTest::newRow("1E-999") << QStringLiteral("1E-999") << 0.0;
    QTest::newRow("smallest double") << QStringLiteral("4.9406564584124654E-324")
                                     << std::numeric_limits<double>::denorm_min();
    QTest::newRow("exponent of 30 digits") << (QStringLiteral("1E") + repeated("9", 30)) << tooLarge;
    QTest::newRow("negative exponent of 30 digits") << (QStringLiteral("1E-") + repeated("9", 30)) << 0.0;
    QTest::newRow("zero with huge exponent") << (QStringLiteral("0E") + repeated("9", 30)) << 0.0;
    QTest::newRow("10000 digits") << repeated("9", 10000) << tooLarge;
    QTest::newRow("10000 digits scaled back")
        << (QStringLiteral("1") + repeated("0", 9999) + QStringLiteral("E-9999")) << 1.0;
    QTest::newRow("10000 fraction digits") << (QStringLiteral("0.") + repeated("9", 10000)) << 1.0;
    QTest::newRow("10000 zeros then digit")
        << (QStringLiteral("0.") + repeated("0", 10000) + QStringLiteral("1E10000")) << 0.1;
    QTest::newRow("10000 zeros") << repeated("0", 10000) << 0.0;
    QTest::newRow("10000 blanks then number") << (repeated(" ", 10000) + QStringLiteral("3")) << 3.0;
}

void TestLeadingNumber::reading()
{
    QFETCH(QString, text);
    QFETCH(double, expected);

    const double value = leadingNumber(text);
    VERIFY_SAME(value, expected);
    // Whatever the text, a time made from it is written in plain digits.
    const HoursMinutes time = splitTime(value);
    const QString written = durationText(time.hours, time.minutes);
    QVERIFY2(isPlainDuration(written), qPrintable(written));
}

void TestLeadingNumber::timeEntry_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("readAs");
    QTest::addColumn<double>("hours");
    QTest::addColumn<double>("minutes");

    QTest::newRow("hours and two digits") << QStringLiteral("8.30") << 8.3 << 8.0 << 30.0;
    QTest::newRow("one digit is tens of minutes") << QStringLiteral("8.3") << 8.3 << 8.0 << 30.0;
    QTest::newRow("leading zero minutes") << QStringLiteral("8.05") << 8.05 << 8.0 << 5.0;
    QTest::newRow("8.5 is fifty minutes") << QStringLiteral("8.5") << 8.5 << 8.0 << 50.0;
    QTest::newRow("afternoon") << QStringLiteral("17.45") << 17.45 << 17.0 << 45.0;
    QTest::newRow("whole hours") << QStringLiteral("17") << 17.0 << 17.0 << 0.0;
    QTest::newRow("24.00") << QStringLiteral("24.00") << 24.0 << 24.0 << 0.0;
    QTest::newRow("minutes above 59") << QStringLiteral("8.75") << 8.75 << 8.0 << 75.0;
    QTest::newRow("blanks inside") << QStringLiteral(" 8 . 30") << 8.3 << 8.0 << 30.0;
    QTest::newRow("comma is not a decimal point") << QStringLiteral("8,30") << 8.0 << 8.0 << 0.0;
    QTest::newRow("colon ends") << QStringLiteral("8:30") << 8.0 << 8.0 << 0.0;
    QTest::newRow("no point") << QStringLiteral("830") << 830.0 << 830.0 << 0.0;
    QTest::newRow("second point ends") << QStringLiteral("8.30.15") << 8.3 << 8.0 << 30.0;
    QTest::newRow("under one hour") << QStringLiteral("0.30") << 0.3 << 0.0 << 30.0;
    QTest::newRow("negative") << QStringLiteral("-8.30") << -8.3 << -9.0 << 70.0;
    QTest::newRow("midnight") << QStringLiteral("0.00") << 0.0 << 0.0 << 0.0;
    QTest::newRow("empty") << QString() << 0.0 << 0.0 << 0.0;
    QTest::newRow("not a number") << QStringLiteral("abc") << 0.0 << 0.0 << 0.0;
    QTest::newRow("colon first") << QStringLiteral(":30") << 0.0 << 0.0 << 0.0;
    QTest::newRow("third decimal rounded away") << QStringLiteral("8.305") << 8.305 << 8.0 << 30.0;
    QTest::newRow("third decimal rounds to 100") << QStringLiteral("8.999") << 8.999 << 8.0 << 100.0;
    QTest::newRow("half a minute rounds up") << QStringLiteral("8.125") << 8.125 << 8.0 << 13.0;
    QTest::newRow("beyond a double is no time") << QStringLiteral("1E999") << 0.0 << 0.0 << 0.0;
    QTest::newRow("huge hours") << QStringLiteral("1E300") << 1e300 << 1e300 << 0.0;
}

void TestLeadingNumber::timeEntry()
{
    QFETCH(QString, text);
    QFETCH(double, readAs);
    QFETCH(double, hours);
    QFETCH(double, minutes);

    const double value = leadingNumber(text);
    VERIFY_SAME(value, readAs);
    const HoursMinutes time = splitTime(value);
    VERIFY_SAME(time.hours, hours);
    VERIFY_SAME(time.minutes, minutes);
}

void TestLeadingNumber::everyHoursDotTwoDigits()
{
    for (int hours = 0; hours < 100; ++hours) {
        for (int minutes = 0; minutes < 100; ++minutes) {
            const QString text = QStringLiteral("%1.%2").arg(hours).arg(minutes, 2, 10, QLatin1Char('0'));
            const double value = leadingNumber(text);
            QVERIFY2(sameDouble(value, referenceRead(text)), qPrintable(text));
            const HoursMinutes time = splitTime(value);
            QVERIFY2(time.hours == hours && time.minutes == minutes, qPrintable(text));
        }
    }
}

void TestLeadingNumber::longDigitStrings_data()
{
    QTest::addColumn<QString>("text");

    const QString pattern = repeated("1234567890", 1000);
    QTest::newRow("10000 digits, point after 5") << pattern.left(5) + QLatin1Char('.') + pattern.mid(5);
    QTest::newRow("10000 digits, exponent -9990") << pattern + QStringLiteral("e-9990");
    QTest::newRow("10000 digits, exponent -10300") << pattern + QStringLiteral("e-10300");
    QTest::newRow("tie broken by a far digit")
        << QStringLiteral("9007199254740993.") + repeated("0", 1000) + QStringLiteral("1");
    QTest::newRow("tie rounds to even")
        << QStringLiteral("9007199254740993") + repeated("0", 1000) + QStringLiteral("e-1000");
    QTest::newRow("800 digits and a far digit")
        << repeated("3", 800) + repeated("0", 50) + QStringLiteral("7e-830");
    QTest::newRow("fraction with 400 zeros")
        << QStringLiteral("0.") + repeated("0", 400) + QStringLiteral("123e400");
    QTest::newRow("subnormal") << QStringLiteral("2.5e-320");
    QTest::newRow("below half the smallest") << QStringLiteral("2.4e-324");
}

void TestLeadingNumber::longDigitStrings()
{
    QFETCH(QString, text);
    const double value = leadingNumber(text);
    const double expected = referenceRead(text);
    VERIFY_SAME(value, expected);
}

void TestLeadingNumber::manyShortNumbersMatchReference()
{
    quint64 state = 12345;
    const auto next = [&state](int range) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return int((state >> 33) % quint64(range));
    };
    for (int i = 0; i < 20000; ++i) {
        QString text;
        if (next(4) == 0)
            text += QLatin1Char('-');
        const int digits = 1 + next(25);
        const int point = next(digits + 1);
        for (int d = 0; d < digits; ++d) {
            if (d == point)
                text += QLatin1Char('.');
            text += QLatin1Char(char('0' + next(10)));
        }
        if (next(2))
            text += QStringLiteral("e%1").arg(next(700) - 350);
        const double value = leadingNumber(text);
        const double expected = referenceRead(text) + 0.0;
        QVERIFY2(sameDouble(value, expected),
                 qPrintable(text + QLatin1Char(' ') + QLatin1String(describe(value, expected))));
    }
}

void TestLeadingNumber::durationWriting_data()
{
    QTest::addColumn<double>("hours");
    QTest::addColumn<double>("minutes");
    QTest::addColumn<QString>("expected");

    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("hours and minutes") << 7.0 << 30.0 << QStringLiteral("7 h / 30 Min.");
    QTest::newRow("no padding") << 0.0 << 5.0 << QStringLiteral("0 h / 5 Min.");
    QTest::newRow("negative hours") << -1.0 << 45.0 << QStringLiteral("-1 h / 45 Min.");
    QTest::newRow("negative twenty") << -20.0 << 0.0 << QStringLiteral("-20 h / 0 Min.");
    QTest::newRow("more than a day") << 25.0 << 30.0 << QStringLiteral("25 h / 30 Min.");
    QTest::newRow("negative minutes") << 1.0 << -39.0 << QStringLiteral("1 h / -39 Min.");
    QTest::newRow("no thousands separator") << 1234567.0 << 0.0 << QStringLiteral("1234567 h / 0 Min.");
    QTest::newRow("minus zero") << -0.0 << -0.0 << QStringLiteral("0 h / 0 Min.");
    QTest::newRow("1E15") << 1e15 << 0.0 << QStringLiteral("1000000000000000 h / 0 Min.");
    QTest::newRow("above 1E15") << 1e15 + 2 << 0.0 << QStringLiteral("1000000000000002 h / 0 Min.");
    QTest::newRow("1E20 without exponent")
        << -1e20 << 0.0 << QStringLiteral("-100000000000000000000 h / 0 Min.");
    QTest::newRow("fraction") << 0.5 << 7.25 << QStringLiteral("0.5 h / 7.25 Min.");
    QTest::newRow("small fraction without exponent")
        << -1e-7 << 0.0 << QStringLiteral("-0.0000001 h / 0 Min.");
    QTest::newRow("infinity and nan") << inf << std::nan("") << QStringLiteral("0 h / 0 Min.");
    QTest::newRow("minus infinity") << -inf << 1.0 << QStringLiteral("0 h / 1 Min.");
}

void TestLeadingNumber::durationWriting()
{
    QFETCH(double, hours);
    QFETCH(double, minutes);
    QFETCH(QString, expected);

    QCOMPARE(durationText(hours, minutes), expected);
    // Written into a box that already holds a longer text and shares it with a copy.
    QString box = QStringLiteral("a longer text that was in the box before this one");
    const QString copy = box;
    writeDurationText(box, hours, minutes);
    QCOMPARE(box, expected);
    QCOMPARE(copy, QStringLiteral("a longer text that was in the box before this one"));
}

void TestLeadingNumber::durationReading_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("hours");
    QTest::addColumn<double>("minutes");

    QTest::newRow("duration text") << QStringLiteral("7 h / 30 Min.") << 7.0 << 30.0;
    QTest::newRow("zero minutes") << QStringLiteral("12 h / 0 Min.") << 12.0 << 0.0;
    QTest::newRow("negative hours") << QStringLiteral("-1 h / 45 Min.") << -1.0 << 45.0;
    QTest::newRow("negative minutes") << QStringLiteral("1 h / -39 Min.") << 1.0 << -39.0;
    QTest::newRow("no slash") << QStringLiteral("5") << 5.0 << 0.0;
    QTest::newRow("empty") << QString() << 0.0 << 0.0;
    QTest::newRow("hours are floored") << QStringLiteral("-0.5 h / 3 Min.") << -1.0 << 3.0;
    QTest::newRow("minutes are not rounded") << QStringLiteral("3 h / 7.5 Min.") << 3.0 << 7.5;
    QTest::newRow("first slash counts") << QStringLiteral("1 / 2 / 3") << 1.0 << 2.0;
    QTest::newRow("text before slash") << QStringLiteral("x / 5") << 0.0 << 5.0;
    QTest::newRow("slash alone") << QStringLiteral("/") << 0.0 << 0.0;
}

void TestLeadingNumber::durationReading()
{
    QFETCH(QString, text);
    QFETCH(double, hours);
    QFETCH(double, minutes);

    const HoursMinutes read = readDuration(text);
    VERIFY_SAME(read.hours, hours);
    VERIFY_SAME(read.minutes, minutes);
}

void TestLeadingNumber::commaLocale_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");

    QTest::newRow("point") << QStringLiteral("8.30") << 8.3;
    QTest::newRow("comma ends") << QStringLiteral("8,30") << 8.0;
    QTest::newRow("exponent") << QStringLiteral("1.5E2") << 150.0;
    QTest::newRow("long fraction") << QStringLiteral("0.") + repeated("3", 900) << 1.0 / 3;
}

void TestLeadingNumber::commaLocale()
{
    QFETCH(QString, text);
    QFETCH(double, expected);

    const QByteArray before = setlocale(LC_NUMERIC, nullptr);
    const char *chosen = nullptr;
    for (const char *name : {"it_IT.UTF-8", "it_IT.utf8", "it_IT", "de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8",
                             "fr_FR.utf8", "es_ES.UTF-8", "nl_NL.UTF-8"}) {
        if (setlocale(LC_NUMERIC, name) && localeconv()->decimal_point[0] == ',') {
            chosen = name;
            break;
        }
    }
    if (!chosen) {
        setlocale(LC_NUMERIC, before.constData());
        QSKIP("no locale with a ',' decimal point is installed (Debian: locales-all, or it_IT.UTF-8 in "
              "locales)");
    }
    const double value = leadingNumber(text);
    const QString written = durationText(1234567, value);
    setlocale(LC_NUMERIC, before.constData());

    QVERIFY2(sameDouble(value, expected), (describe(value, expected) + " under " + chosen).constData());
    QVERIFY2(!written.contains(QLatin1Char(',')) && written.startsWith(QLatin1String("1234567 h / ")),
             qPrintable(written));
}

QTEST_GUILESS_MAIN(TestLeadingNumber)
#include "tst_leadingnumber.moc"
