#include "SummarySheets.h"

#include "ComputedDays.h"
#include "Progress.h"

#include <algorithm>

namespace zelvaro {

namespace {

void appendText(QString &texts, QStringView text)
{
    const auto length = quint32(text.size());
    texts.append(QChar(char16_t(length >> 16)));
    texts.append(QChar(char16_t(length & 0xFFFF)));
    texts.append(text);
}

// Reads one text written by appendText at `at` into `out`, and moves `at` past it.
void takeText(const QString &texts, qsizetype &at, QString &out)
{
    const quint32 length = (quint32(texts.at(at).unicode()) << 16) | texts.at(at + 1).unicode();
    out = texts.mid(at + 2, length);
    at += 2 + qsizetype(length);
}

} // namespace

Outcome SummarySheets::read(Archive &archive, SummarySheets *sheets, Progress *progress)
{
    SummarySheets read;
    SummaryBuilder builder;
    qint64 count = 0;
    bool going = true;
    const Outcome error = forEachComputedDay(archive, [&](const ComputedDay &day) {
        if (!going)
            return;
        const HoursRecord &r = day.record;
        builder.add(day);
        const QDate date = recordDate(r.anno, r.mese, r.giorno);
        read.m_entries.push_back(Entry{date.isValid() ? date.toJulianDay() : kUndated, read.m_texts.size(),
                                       day.dayMinutes, day.madeDayTotal});
        for (const QString *text : {&r.numMov, &r.anno, &r.mese, &r.giorno, &r.oraInizio1, &r.oraFine1,
                                    &r.oraInizio2, &r.oraFine2, &r.oraInizio3, &r.oraFine3})
            appendText(read.m_texts, *text);
        appendText(read.m_texts, day.dayTotal());
        going = goOn(progress, ++count, 0);
    });
    if (error.failed())
        return error;
    if (!going)
        return Outcome::cancelledByUser();
    read.m_summary = builder.finish();
    std::stable_sort(read.m_entries.begin(), read.m_entries.end(),
                     [](const Entry &a, const Entry &b) { return a.julianDay < b.julianDay; });
    *sheets = std::move(read);
    return {};
}

Sheet SummarySheets::sheet(const SheetKey &key) const
{
    qint64 from = kUndated;
    qint64 to = kUndated;
    if (!key.invalidDates()) {
        const QDate first(key.year, key.month, 1);
        from = first.toJulianDay();
        to = first.addMonths(1).toJulianDay() - 1;
    }
    const auto begin = std::lower_bound(m_entries.cbegin(), m_entries.cend(), from,
                                        [](const Entry &e, qint64 day) { return e.julianDay < day; });
    const auto end = std::upper_bound(begin, m_entries.cend(), to,
                                      [](qint64 day, const Entry &e) { return day < e.julianDay; });
    QList<SheetRecord> records;
    records.reserve(end - begin);
    for (auto e = begin; e != end; ++e) {
        SheetRecord record;
        if (e->julianDay != kUndated)
            record.date = QDate::fromJulianDay(e->julianDay);
        HoursRecord &r = record.record;
        qsizetype at = e->texts;
        for (QString *text : {&r.numMov, &r.anno, &r.mese, &r.giorno, &r.oraInizio1, &r.oraFine1,
                              &r.oraInizio2, &r.oraFine2, &r.oraInizio3, &r.oraFine3, &record.dayTotal})
            takeText(m_texts, at, *text);
        record.complete = e->complete;
        record.minutes = e->minutes;
        records.append(std::move(record));
    }
    return makeSheet(key, std::move(records));
}

} // namespace zelvaro
