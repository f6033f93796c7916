#include "Balance.h"
#include "BalanceSheet.h"
#include "BalanceText.h"
#include "Holidays.h"

#include <QTest>

#include <limits>

using namespace zelvaro;

Q_DECLARE_METATYPE(zelvaro::BalanceInput)

namespace {

constexpr int kRefused = std::numeric_limits<int>::min();

QDate date(const char *text)
{
    return QDate::fromString(QLatin1String(text), u"dd/MM/yyyy");
}

ContractEntry entry(const char *from, std::array<int, 7> minutes)
{
    return ContractEntry{date(from), minutes};
}

QString figures(const BalanceTotals &t)
{
    QStringList f;
    for (const double v : {t.worked, t.absence, t.expected, t.balance, t.running})
        f << QString::number(v, 'f', 0);
    return f.join(u' ');
}

// Full time 8 h from Tuesday 1 April 2025, part time 4 h from Wednesday 16 April; San Giorgio (23
// April, a Wednesday) as patron day; an opening balance of -2.15. Worked on 31 March, before the
// contract. Easter Sunday is 20 April, Easter Monday 21 April; 25 April and 1 May are holidays.
BalanceInput aprile2025()
{
    BalanceInput in;
    in.contract = {entry("16/04/2025", {240, 240, 240, 240, 240, 0, 0}),
                   entry("01/04/2025", {480, 480, 480, 480, 480, 0, 0})};
    in.settings.patron = PatronDay{23, 4};
    in.settings.openingBalance = -135;
    const std::pair<const char *, double> worked[] = {
        {"31/03/2025", 300}, {"01/04/2025", 480}, {"02/04/2025", 500}, {"03/04/2025", 450},
        {"04/04/2025", 480}, {"07/04/2025", 480}, {"08/04/2025", 480}, {"11/04/2025", 480},
        {"12/04/2025", 120}, {"14/04/2025", 480}, {"15/04/2025", 480}, {"16/04/2025", 240},
        {"17/04/2025", 300}, {"28/04/2025", 240}, {"29/04/2025", 180}, {"30/04/2025", 240},
        {"02/05/2025", 250}};
    for (const auto &[day, minutes] : worked)
        in.worked.insert(date(day), minutes);
    in.absences.insert(date("09/04/2025"), Absence{AbsenceType::Ferie, 480});
    in.absences.insert(date("10/04/2025"), Absence{AbsenceType::Recupero, 480});
    in.absences.insert(date("18/04/2025"), Absence{AbsenceType::Malattia, 240});
    in.absences.insert(date("29/04/2025"), Absence{AbsenceType::Permesso, 60});
    return in;
}

} // namespace

class TestBalance : public QObject
{
    Q_OBJECT

private slots:
    void hourValues_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("signedValue"); // the opening balance
        QTest::addColumn<int>("minutes");
        QTest::newRow("hours and minutes") << "7.36" << false << 456;
        QTest::newRow("whole hours") << "8" << false << 480;
        QTest::newRow("zero") << "0" << false << 0;
        QTest::newRow("a whole day") << "24.00" << false << 1440;
        QTest::newRow("beyond a day") << "24.01" << false << kRefused;
        QTest::newRow("one minute digit") << "7.5" << false << kRefused;
        QTest::newRow("minutes past 59") << "7.60" << false << kRefused;
        QTest::newRow("comma is not a point") << "7,30" << false << kRefused;
        QTest::newRow("plus sign") << "+7" << false << kRefused;
        QTest::newRow("empty") << "" << false << kRefused;
        QTest::newRow("point without minutes") << "7." << false << kRefused;
        QTest::newRow("minutes without hours") << ".30" << false << kRefused;
        QTest::newRow("leading blank") << " 7" << false << kRefused;
        QTest::newRow("sign on a weekday") << "-1" << false << kRefused;
        QTest::newRow("negative opening balance") << "-2.15" << true << -135;
        QTest::newRow("opening balance past a day") << "1000" << true << 60000;
        QTest::newRow("largest opening balance") << "-35791394.07" << true << -2147483647;
        QTest::newRow("opening balance past an int") << "35791394.08" << true << kRefused;
        QTest::newRow("digits past a 64-bit int") << "99999999999999999999" << true << kRefused;
        QTest::newRow("two signs") << "--1" << true << kRefused;
    }

    void hourValues()
    {
        QFETCH(QString, text);
        QFETCH(bool, signedValue);
        QFETCH(int, minutes);
        const std::optional<int> parsed = signedValue ? parseSignedMinutes(text) : parseDayMinutes(text);
        QCOMPARE(parsed.value_or(kRefused), minutes);
    }

    void hourValueText_data()
    {
        QTest::addColumn<qint64>("minutes");
        QTest::addColumn<QString>("text");
        QTest::newRow("negative") << qint64(-135) << "-2.15";
        QTest::newRow("minutes padded") << qint64(456) << "7.36";
        QTest::newRow("zero") << qint64(0) << "0.00";
        QTest::newRow("negative under an hour") << qint64(-5) << "-0.05";
        QTest::newRow("most negative") << std::numeric_limits<qint64>::min() << "-153722867280912930.08";
    }

    void hourValueText()
    {
        QFETCH(qint64, minutes);
        QFETCH(QString, text);
        QCOMPARE(zelvaro::hourValueText(minutes), text);
    }

    void dates_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("patron");  // GG/MM instead of GG/MM/AAAA
        QTest::addColumn<QString>("read"); // ISO date or GG/MM back; empty when refused
        QTest::newRow("leap day") << "29/02/2024" << false << "2024-02-29";
        QTest::newRow("29 February of a common year") << "29/02/2025" << false << "";
        QTest::newRow("day without its zero") << "1/04/2025" << false << "";
        QTest::newRow("two-digit year") << "01/04/25" << false << "";
        QTest::newRow("year 999") << "01/01/0999" << false << "";
        QTest::newRow("year 1000") << "01/01/1000" << false << "1000-01-01";
        QTest::newRow("trailing blank") << "01/04/2025 " << false << "";
        QTest::newRow("patron on 29 February") << "29/02" << true << "29/02";
        QTest::newRow("patron on 30 February") << "30/02" << true << "";
        QTest::newRow("patron without zero") << "4/10" << true << "";
        QTest::newRow("patron with a year") << "04/10/2026" << true << "";
    }

    void dates()
    {
        QFETCH(QString, text);
        QFETCH(bool, patron);
        QFETCH(QString, read);
        if (patron) {
            const std::optional<PatronDay> day = parsePatronDay(text);
            QCOMPARE(day ? patronDayText(*day) : QString(), read);
        } else {
            QCOMPARE(parseDate(text).toString(Qt::ISODate), read);
        }
    }

    void absenceTypes_data()
    {
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("name"); // empty when refused
        // clang-format off
        QTest::newRow("company closure") << "festivita" << "Festività aziendale";
        QTest::newRow("time off from the bank") << "recupero" << "Recupero";
        QTest::newRow("capital letter") << "Ferie" << "";
        QTest::newRow("accented word") << "festività" << "";
        // clang-format on
    }

    void absenceTypes()
    {
        QFETCH(QString, word);
        QFETCH(QString, name);
        const std::optional<AbsenceType> type = absenceTypeFromWord(word);
        QCOMPARE(type ? absenceTypeName(*type) : QString(), name);
        if (type)
            QCOMPARE(absenceTypeWord(*type), word);
    }

    void easter_data()
    {
        QTest::addColumn<int>("year");
        QTest::addColumn<QDate>("sunday");
        QTest::newRow("1818, earliest possible") << 1818 << QDate(1818, 3, 22);
        QTest::newRow("1943, latest possible") << 1943 << QDate(1943, 4, 25);
        QTest::newRow("1961") << 1961 << QDate(1961, 4, 2);
        QTest::newRow("2000") << 2000 << QDate(2000, 4, 23);
        QTest::newRow("2019") << 2019 << QDate(2019, 4, 21);
        QTest::newRow("2038") << 2038 << QDate(2038, 4, 25);
    }

    void easter()
    {
        QFETCH(int, year);
        QFETCH(QDate, sunday);
        QCOMPARE(easterSunday(year), sunday);
    }

    // A contract of 8 h Monday to Friday, 4 h on Saturday and 1 h on Sunday from 1980, then 4 h, 2 h and
    // 30 min from Friday 1 June 2001, given in reverse order.
    void calendar_data()
    {
        QTest::addColumn<QString>("day");
        QTest::addColumn<QString>("patron"); // GG/MM, or empty for none
        QTest::addColumn<QString>("holiday");
        QTest::addColumn<int>("expected"); // kRefused: no contract yet
        // clang-format off
        QTest::newRow("before the first from-date") << "31/12/1979" << "" << "" << kRefused;
        QTest::newRow("new year") << "01/01/1980" << "" << "Capodanno" << 0;
        QTest::newRow("6 January 1985, a Sunday") << "06/01/1985" << "" << "" << 60;
        QTest::newRow("6 January 1986, a Monday") << "06/01/1986" << "" << "Epifania" << 0;
        QTest::newRow("Easter 1961") << "02/04/1961" << "" << "Pasqua" << kRefused;
        QTest::newRow("Easter Monday 1961") << "03/04/1961" << "" << "Lunedì dell'Angelo" << kRefused;
        QTest::newRow("Easter Monday 2025") << "21/04/2025" << "" << "Lunedì dell'Angelo" << 0;
        QTest::newRow("Tuesday after Easter") << "22/04/2025" << "" << "" << 240;
        QTest::newRow("Easter Monday on 25 April") << "25/04/2011" << "" << "Festa della Liberazione" << 0;
        QTest::newRow("labour day") << "01/05/1970" << "" << "Festa del Lavoro" << kRefused;
        QTest::newRow("2 June 2000, a Friday") << "02/06/2000" << "" << "" << 480;
        QTest::newRow("last day of full time") << "31/05/2001" << "" << "" << 480;
        QTest::newRow("first day of part time") << "01/06/2001" << "" << "" << 240;
        QTest::newRow("2 June 2001, a Saturday") << "02/06/2001" << "" << "Festa della Repubblica" << 0;
        QTest::newRow("Sunday in part time") << "03/06/2001" << "" << "" << 30;
        QTest::newRow("mid August") << "15/08/2025" << "" << "Ferragosto" << 0;
        QTest::newRow("4 October 2025, a Saturday") << "04/10/2025" << "" << "" << 120;
        QTest::newRow("4 October 2026, a Sunday") << "04/10/2026" << "" << "San Francesco d'Assisi" << 0;
        QTest::newRow("4 October 2027, a Monday") << "04/10/2027" << "" << "San Francesco d'Assisi" << 0;
        QTest::newRow("all saints") << "01/11/2025" << "" << "Ognissanti" << 0;
        QTest::newRow("Christmas") << "25/12/1960" << "" << "Natale" << kRefused;
        QTest::newRow("Saint Stephen") << "26/12/2025" << "" << "Santo Stefano" << 0;
        QTest::newRow("patron on a Wednesday") << "23/04/2025" << "23/04" << "Santo patrono" << 0;
        QTest::newRow("day after the patron") << "24/04/2025" << "23/04" << "" << 240;
        QTest::newRow("patron on a holiday") << "08/12/2025" << "08/12" << "Immacolata Concezione" << 0;
        QTest::newRow("patron on a leap day") << "29/02/2024" << "29/02" << "Santo patrono" << 0;
        // clang-format on
    }

    void calendar()
    {
        QFETCH(QString, day);
        QFETCH(QString, patron);
        QFETCH(QString, holiday);
        QFETCH(int, expected);
        const std::optional<PatronDay> patronDay = parsePatronDay(patron);
        QCOMPARE(patronDay.has_value(), !patron.isEmpty());
        QCOMPARE(holidayName(parseDate(day), patronDay), holiday);
        const QList<ContractEntry> contract{entry("01/06/2001", {240, 240, 240, 240, 240, 120, 30}),
                                            entry("01/01/1980", {480, 480, 480, 480, 480, 240, 60})};
        QCOMPARE(expectedMinutes(contract, patronDay, parseDate(day)).value_or(kRefused), expected);
    }

    // Worked by hand. Rows: "year-month" or "ISO year-Wweek Monday-Sunday", then worked, absence,
    // expected, balance and running balance in minutes.
    void balance_data()
    {
        QTest::addColumn<BalanceInput>("input");
        QTest::addColumn<QStringList>("months");
        QTest::addColumn<QStringList>("weeks");
        QTest::addColumn<QString>("total"); // empty: no balance

        QTest::newRow("Easter Monday, patron day, part time from a Wednesday, recupero")
            << aprile2025() << QStringList{"2025-04 5630 780 7200 -790 -925", "2025-05 250 0 240 10 -915"}
            << QStringList{"2025-W14 31/03-06/04 1910 0 1920 -10 -145",
                           "2025-W15 07/04-13/04 1560 480 2400 -360 -505",
                           "2025-W16 14/04-20/04 1500 240 1680 60 -445",
                           "2025-W17 21/04-27/04 0 0 480 -480 -925",
                           "2025-W18 28/04-04/05 910 60 960 10 -915"}
            << "5880 780 7440 -780 -915";

        BalanceInput natale;
        natale.contract = {entry("22/12/2025", {480, 480, 480, 480, 480, 0, 0})};
        for (const char *day : {"22/12/2025", "23/12/2025", "24/12/2025", "29/12/2025", "02/01/2026"})
            natale.worked.insert(date(day), 480);
        natale.worked.insert(date("25/12/2025"), 240);
        natale.worked.insert(date("31/12/2025"), 300);
        natale.absences.insert(date("30/12/2025"), Absence{AbsenceType::Ferie, 480});
        QTest::newRow("worked on Christmas, a week across the year end")
            << natale << QStringList{"2025-12 2460 480 2880 60 60", "2026-01 480 0 480 0 60"}
            << QStringList{"2025-W52 22/12-28/12 1680 0 1440 240 240",
                           "2026-W01 29/12-04/01 1260 480 1920 -180 60"}
            << "2940 480 3360 60 60";

        BalanceInput febbraio;
        febbraio.contract = {entry("30/01/2026", {480, 480, 480, 480, 480, 0, 0})};
        febbraio.settings.openingBalance = 100;
        febbraio.worked.insert(date("30/01/2026"), 480);
        febbraio.worked.insert(date("02/03/2026"), 500);
        QTest::newRow("a month and weeks without records")
            << febbraio
            << QStringList{"2026-01 480 0 480 0 100", "2026-02 0 0 9600 -9600 -9500",
                           "2026-03 500 0 480 20 -9480"}
            << QStringList{"2026-W05 26/01-01/02 480 0 480 0 100",
                           "2026-W06 02/02-08/02 0 0 2400 -2400 -2300",
                           "2026-W07 09/02-15/02 0 0 2400 -2400 -4700",
                           "2026-W08 16/02-22/02 0 0 2400 -2400 -7100",
                           "2026-W09 23/02-01/03 0 0 2400 -2400 -9500",
                           "2026-W10 02/03-08/03 500 0 480 20 -9480"}
            << "980 0 10560 -9580 -9480";

        BalanceInput before = febbraio;
        before.worked = {{date("29/01/2026"), 480}};
        QTest::newRow("records only before the contract")
            << before << QStringList() << QStringList() << "0 0 0 0 100";

        BalanceInput none = febbraio;
        none.contract.clear();
        QTest::newRow("no contract hours") << none << QStringList() << QStringList() << "";
    }

    void balance()
    {
        QFETCH(BalanceInput, input);
        QFETCH(QStringList, months);
        QFETCH(QStringList, weeks);
        QFETCH(QString, total);
        const std::optional<Balance> balance = computeBalance(input);
        QCOMPARE(balance.has_value(), !total.isEmpty());
        if (!balance)
            return;
        QStringList monthRows;
        for (const MonthBalance &m : balance->months)
            monthRows << QStringLiteral("%1-%2 ").arg(m.year).arg(m.month, 2, 10, QLatin1Char('0')) +
                             figures(m.totals);
        QStringList weekRows;
        for (const WeekBalance &w : balance->weeks)
            weekRows << QStringLiteral("%1-W%2 %3-%4 ")
                                .arg(w.isoYear)
                                .arg(w.week, 2, 10, QLatin1Char('0'))
                                .arg(w.monday.toString(u"dd/MM"), w.sunday.toString(u"dd/MM")) +
                            figures(w.totals);
        QCOMPARE(monthRows, months);
        QCOMPARE(weekRows, weeks);
        QCOMPARE(figures(balance->total), total);
    }

    // Rows: holiday | contract minutes | absence | counted, then the five figures.
    void days_data()
    {
        QTest::addColumn<QString>("day");
        QTest::addColumn<QString>("row");
        // clang-format off
        QTest::newRow("worked before the contract") << "31/03/2025" << "| - | - | no 0 0 0 0 -135";
        QTest::newRow("recupero") << "10/04/2025" << "| 480 | recupero 480 | yes 0 0 480 -480 -625";
        QTest::newRow("part time from a Wednesday") << "16/04/2025" << "| 240 | - | yes 240 0 240 0 -505";
        QTest::newRow("Easter Monday") << "21/04/2025" << "Lunedì dell'Angelo | 240 | - | yes 0 0 0 0 -445";
        QTest::newRow("patron day") << "23/04/2025" << "Santo patrono | 240 | - | yes 0 0 0 0 -685";
        QTest::newRow("after the last day") << "03/05/2025" << "| 0 | - | no 0 0 0 0 -915";
        // clang-format on
    }

    void days()
    {
        QFETCH(QString, day);
        QFETCH(QString, row);
        const std::optional<Balance> balance =
            computeBalance(aprile2025(), date("31/03/2025"), date("03/05/2025"));
        QVERIFY(balance);
        QCOMPARE(balance->days.size(), 34);
        const qsizetype i = date("31/03/2025").daysTo(parseDate(day));
        const BalanceDay &d = balance->days.at(i);
        QCOMPARE(d.date, parseDate(day));
        const QString absence =
            d.absence ? QStringLiteral("%1 %2").arg(absenceTypeWord(d.absence->type)).arg(d.absence->minutes)
                      : QStringLiteral("-");
        const QString contract =
            d.contractMinutes ? QString::number(*d.contractMinutes) : QStringLiteral("-");
        const QString shown =
            QStringLiteral("%1| %2 | %3 | %4 %5")
                .arg(d.holiday.isEmpty() ? QString() : d.holiday + QLatin1Char(' '), contract, absence,
                     QLatin1String(d.counted ? "yes" : "no"), figures(d.figures));
        QCOMPARE(shown, row);
    }

    // The week lines (the part of each ISO week inside the month) and the month line of a sheet.
    void sheet_data()
    {
        QTest::addColumn<int>("month");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("April: weeks cut at both ends")
            << 4 << "-135"
            << QStringList{"W14 01/04-06/04 1910 0 1920 -10 -145",  "W15 07/04-13/04 1560 480 2400 -360 -505",
                           "W16 14/04-20/04 1500 240 1680 60 -445", "W17 21/04-27/04 0 0 480 -480 -925",
                           "W18 28/04-30/04 660 60 720 0 -925",     "M 01/04-30/04 5630 780 7200 -790 -925"};
        QTest::newRow("May: days past the last one not counted")
            << 5 << "-925"
            << QStringList{"W18 01/05-04/05 250 0 240 10 -915", "W19 05/05-11/05 0 0 0 0 -915",
                           "W20 12/05-18/05 0 0 0 0 -915",      "W21 19/05-25/05 0 0 0 0 -915",
                           "W22 26/05-31/05 0 0 0 0 -915",      "M 01/05-31/05 250 0 240 10 -915"};
    }

    void sheet()
    {
        QFETCH(int, month);
        QFETCH(QString, start);
        QFETCH(QStringList, lines);
        const std::optional<BalanceSheet> sheet = balanceSheet(aprile2025(), 2025, month);
        QVERIFY(sheet);
        QCOMPARE(QString::number(sheet->runningAtStart), start);
        QStringList shown;
        qsizetype dayLines = 0;
        for (const BalanceSheetLine &line : sheet->lines) {
            if (line.kind == BalanceSheetLine::Kind::Day) {
                QCOMPARE(line.from, QDate(2025, month, int(++dayLines)));
                QCOMPARE(sheet->days.at(line.day).date, line.from);
                continue;
            }
            QCOMPARE(line.to, QDate(2025, month, int(dayLines))); // right after its last day
            const QString name = line.kind == BalanceSheetLine::Kind::Week
                                     ? QStringLiteral("W%1").arg(line.week, 2, 10, QLatin1Char('0'))
                                     : QStringLiteral("M");
            shown << name + u' ' + line.from.toString(u"dd/MM") + u'-' + line.to.toString(u"dd/MM") + u' ' +
                         figures(line.totals);
        }
        QCOMPARE(dayLines, sheet->days.size());
        QCOMPARE(shown, lines);
    }
};

QTEST_GUILESS_MAIN(TestBalance)
#include "tst_balance.moc"
