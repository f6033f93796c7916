#include "LeadingNumber.h"
#include "TimeValues.h"

#include <QTest>

#include <clocale>
#include <cmath>
#include <limits>
#include <locale.h>
#include <stdlib.h>

using namespace zelvaro;

namespace {

// The exact value as text, "-0" included, so that QCOMPARE tells every double apart.
QByteArray exact(double v)
{
    return std::signbit(v) && v == 0 ? QByteArray("-0") : QByteArray::number(v, 'g', 17);
}

// glibc's own correctly rounded reading in the C locale: the reference for long digit strings.
double referenceRead(const QString &text)
{
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    const double value = strtod_l(text.toLatin1().constData(), nullptr, cLocale);
    return std::isfinite(value) ? value : 0;
}

} // namespace

class TestLeadingNumber : public QObject
{
    Q_OBJECT

private slots:
    void reading_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("readAs");
        QTest::addColumn<double>("hours"); // of the time split; nan where the text is no time entry
        QTest::addColumn<double>("minutes");

        const auto time = [](const char *name, const QString &text, double readAs, double hours,
                             double minutes) { QTest::newRow(name) << text << readAs << hours << minutes; };
        const auto number = [&time](const char *name, const QString &text, double readAs) {
            time(name, text, readAs, std::nan(""), std::nan(""));
        };
        time("8.5 is fifty minutes", "8.5", 8.5, 8, 50);
        time("minutes above 59", "8.75", 8.75, 8, 75);
        time("blanks inside", " 8 . 30", 8.3, 8, 30);
        time("comma is not a decimal point", "8,30", 8, 8, 0);
        time("no point", "830", 830, 830, 0);
        time("second point ends", "8.30.15", 8.3, 8, 30);
        time("under one hour", "0.30", 0.3, 0, 30);
        time("negative", "-8.30", -8.3, -9, 70);
        time("empty", "", 0, 0, 0);
        time("third decimal rounded away", "8.305", 8.305, 8, 30);
        time("third decimal rounds to 100", "8.999", 8.999, 8, 100);
        time("beyond a double is no time", "1E999", 0, 0, 0);
        number("carriage return is not skipped", "\r8", 0);
        number("carriage return ends an exponent", "1E\r2", 1);
        number("only ASCII digits", "\u0668\uff18", 0);
        number("exponent d lower case, tab and line feed inside", "1d\t-\n2", 0.01);
        number("embedded NUL ends", QStringView(u"8\0.30", 5).toString(), 8);
        number("hex lower case with blanks", " & h 1 f", 31);
        number("hex 64 bits", "&HFFFFFFFFFFFFFFFF", 18446744073709551615.0);
        number("hex beyond 64 bits", "&H10000000000000000", 0);
        number("octal stops at 8", "&O178", 15);
        number("17 digits rounded once, not twice", "4.3915000806360837", 4.3915000806360837);
        number("10000 digits", QString(10000, u'9'), 0);
        number("10000 digits scaled back", "1" + QString(9999, u'0') + "E-9999", 1);
        const QString farDigit = "9007199254740993." + QString(1000, u'0') + "1";
        number("tie broken by a far digit", farDigit, referenceRead(farDigit));
        const QString tie = "9007199254740993" + QString(1000, u'0') + "e-1000";
        number("tie rounds to even", tie, referenceRead(tie));
    }

    void reading()
    {
        QFETCH(QString, text);
        QFETCH(double, readAs);
        QFETCH(double, hours);
        QFETCH(double, minutes);

        const double value = leadingNumber(text);
        QCOMPARE(exact(value), exact(readAs));
        const HoursMinutes split = splitTime(value);
        if (!std::isnan(hours)) {
            QCOMPARE(exact(split.hours), exact(hours));
            QCOMPARE(exact(split.minutes), exact(minutes));
        }
        if (!setlocale(LC_NUMERIC, "it_IT.UTF-8")) // its decimal point is ','
            QSKIP("the it_IT.UTF-8 locale is not installed (Debian: locales)");
        const double underLocale = leadingNumber(text);
        setlocale(LC_NUMERIC, "C");
        QCOMPARE(exact(underLocale), exact(readAs));
    }

    // Written from the numbers, and read back as CALCOLA_ORE reads a period's duration.
    void duration_data()
    {
        QTest::addColumn<double>("hours");
        QTest::addColumn<double>("minutes");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("readHours");
        QTest::addColumn<double>("readMinutes");

        const auto row = [](const char *name, double hours, double minutes, const char *text,
                            double readHours, double readMinutes) {
            QTest::newRow(name) << hours << minutes << QString::fromLatin1(text) << readHours << readMinutes;
        };
        const auto same = [&row](const char *name, double hours, double minutes, const char *text) {
            row(name, hours, minutes, text, hours, minutes);
        };
        same("hours and minutes", 7, 30, "7 h / 30 Min.");
        same("negative hours", -20, 0, "-20 h / 0 Min.");
        same("negative minutes", 1, -39, "1 h / -39 Min.");
        same("no exponent", 18446744073709551616.0, 0, "18446744073709551616 h / 0 Min.");
        same("minutes are not rounded", 3, 7.5, "3 h / 7.5 Min.");
        row("small fraction without exponent, hours floored", -1e-7, 0, "-0.0000001 h / 0 Min.", -1, 0);
        row("minus zero", -0.0, -0.0, "0 h / 0 Min.", 0, 0);
        row("infinity and nan", std::numeric_limits<double>::infinity(), std::nan(""), "0 h / 0 Min.", 0, 0);
    }

    void duration()
    {
        QFETCH(double, hours);
        QFETCH(double, minutes);
        QFETCH(QString, text);
        QFETCH(double, readHours);
        QFETCH(double, readMinutes);

        QCOMPARE(durationText(hours, minutes), text);
        // Written into a box that holds a longer text and shares it with a copy.
        QString box = QStringLiteral("a longer text that was in the box before");
        const QString copy = box;
        writeDurationText(box, hours, minutes);
        QCOMPARE(box, text);
        QCOMPARE(copy, QStringLiteral("a longer text that was in the box before"));
        const HoursMinutes read = readDuration(text);
        QCOMPARE(exact(read.hours), exact(readHours));
        QCOMPARE(exact(read.minutes), exact(readMinutes));

        if (!setlocale(LC_NUMERIC, "it_IT.UTF-8"))
            QSKIP("the it_IT.UTF-8 locale is not installed (Debian: locales)");
        const QString underLocale = durationText(hours, minutes);
        setlocale(LC_NUMERIC, "C");
        QCOMPARE(underLocale, text);
    }
};

QTEST_GUILESS_MAIN(TestLeadingNumber)
#include "tst_leadingnumber.moc"
