#include "SummarySheets.h"

#include "ComputedDays.h"
#include "Progress.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace zelvaro {

namespace {

constexpr int kTextCount = 10;

// The texts of a record kept for its sheet, in the order they are stored.
std::array<const QString *, kTextCount> textsOf(const HoursRecord &r)
{
    return {&r.numMov,   &r.anno,       &r.mese,     &r.giorno,     &r.oraInizio1,
            &r.oraFine1, &r.oraInizio2, &r.oraFine2, &r.oraInizio3, &r.oraFine3};
}

std::array<QString *, kTextCount> textsOf(HoursRecord &r)
{
    return {&r.numMov,   &r.anno,       &r.mese,     &r.giorno,     &r.oraInizio1,
            &r.oraFine1, &r.oraInizio2, &r.oraFine2, &r.oraInizio3, &r.oraFine3};
}

// Appends the texts to `latin1`, each as its length in one byte and its characters; false (and
// `latin1` as it was) when one is 255 characters or longer or holds a character beyond Latin-1.
bool appendLatin1(QByteArray &latin1, const HoursRecord &r)
{
    const auto texts = textsOf(r);
    qsizetype size = 0;
    for (const QString *text : texts) {
        if (text->size() >= 255)
            return false;
        size += 1 + text->size();
    }
    const qsizetype at = latin1.size();
    latin1.resize(at + size);
    char *out = latin1.data() + at;
    char16_t bits = 0;
    for (const QString *text : texts) {
        *out++ = char(text->size());
        for (const QChar c : *text) {
            bits |= c.unicode();
            *out++ = char(c.unicode());
        }
    }
    if (bits <= 0xFF)
        return true;
    latin1.resize(at);
    return false;
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
        const QDate date = recordDate(r.anno, r.mese, r.giorno);
        builder.add(date, r.anno, r.mese, r.giorno, day.madeDayTotal, day.dayMinutes);
        qsizetype texts = read.m_latin1.size();
        if (!appendLatin1(read.m_latin1, r)) {
            texts = -1 - read.m_wide.size();
            QStringList wide;
            for (const QString *text : textsOf(r))
                wide.append(*text);
            read.m_wide.append(wide);
        }
        read.m_entries.push_back(Entry{
            texts, day.total, date.isValid() ? qint32(date.toJulianDay()) : kUndated, day.madeDayTotal});
        going = goOn(progress, ++count, 0);
    });
    if (error.failed())
        return error;
    if (!going)
        return Outcome::cancelledByUser();
    read.m_summary = builder.finish();
    // Days are mostly entered in date order: such an archive needs no sorting.
    const auto byDate = [](const Entry &a, const Entry &b) { return a.julianDay < b.julianDay; };
    if (!std::is_sorted(read.m_entries.cbegin(), read.m_entries.cend(), byDate))
        std::stable_sort(read.m_entries.begin(), read.m_entries.end(), byDate);
    *sheets = std::move(read);
    return {};
}

QMap<QDate, double> SummarySheets::workedByDate() const
{
    QMap<QDate, double> worked;
    // The entries are in date order: each date is appended at the end of the map.
    for (auto e = m_entries.cbegin(); e != m_entries.cend() && e->julianDay != kUndated;) {
        const qint32 julianDay = e->julianDay;
        double minutes = 0;
        for (; e != m_entries.cend() && e->julianDay == julianDay; ++e) {
            const double day = e->total.hours * 60 + e->total.minutes;
            if (e->complete && std::isfinite(day))
                minutes += day;
        }
        worked.insert(worked.cend(), QDate::fromJulianDay(julianDay), minutes);
    }
    return worked;
}

Sheet SummarySheets::sheet(const SheetKey &key) const
{
    qint32 from = kUndated;
    qint32 to = kUndated;
    if (!key.invalidDates()) {
        const QDate first(key.year, key.month, 1);
        from = qint32(first.toJulianDay());
        to = qint32(first.addMonths(1).toJulianDay()) - 1;
    }
    const auto begin = std::lower_bound(m_entries.cbegin(), m_entries.cend(), from,
                                        [](const Entry &e, qint32 day) { return e.julianDay < day; });
    const auto end = std::upper_bound(begin, m_entries.cend(), to,
                                      [](qint32 day, const Entry &e) { return day < e.julianDay; });
    QList<SheetRecord> records;
    records.reserve(end - begin);
    for (auto e = begin; e != end; ++e) {
        SheetRecord record;
        if (e->julianDay != kUndated)
            record.date = QDate::fromJulianDay(e->julianDay);
        const auto texts = textsOf(record.record);
        if (e->texts < 0) {
            const QStringList &wide = m_wide.at(-1 - e->texts);
            for (int i = 0; i < kTextCount; ++i)
                *texts[i] = wide.at(i);
        } else {
            const char *in = m_latin1.constData() + e->texts;
            for (QString *text : texts) {
                const int length = static_cast<unsigned char>(*in++);
                *text = QString::fromLatin1(in, length);
                in += length;
            }
        }
        // As the pass makes them: the text of the day total and its minutes.
        record.complete = e->complete;
        if (e->complete)
            record.dayTotal = durationText(e->total.hours, e->total.minutes);
        record.minutes = e->complete ? e->total.hours * 60 + e->total.minutes : 0;
        records.append(std::move(record));
    }
    return makeSheet(key, std::move(records));
}

} // namespace zelvaro
