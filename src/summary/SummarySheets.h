#pragma once

#include "HoursSummary.h"
#include "Outcome.h"
#include "TimeValues.h"
#include "Timesheet.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QMap>
#include <QStringList>

#include <limits>
#include <vector>

namespace zelvaro {

class Archive;
class Progress;

// The summary of the archive together with the records of every month (and of the records without
// a valid date), kept from one pass: the sheet of any month is laid out from them, without reading
// the archive again. Each record keeps only what a sheet shows and counts.
class SummarySheets
{
public:
    const HoursSummary &summary() const { return m_summary; }

    // The sheet of `key` as makeSheet lays it out from that month's records (none for a month
    // without records).
    Sheet sheet(const SheetKey &key) const;

    // The worked minutes of each real date with records, as workedMinutesByDate() finds them.
    QMap<QDate, double> workedByDate() const;

    // Reads the summary and every month's records from one pass over the archive. `progress` (may be
    // null) hears of every record; when it cancels, Outcome::cancelledByUser() is returned. On a
    // failure `sheets` is untouched.
    static Outcome read(Archive &archive, SummarySheets *sheets, Progress *progress = nullptr);

private:
    struct Entry
    {
        qsizetype texts; // where its texts begin in m_latin1, or -1 - its index in m_wide
        HoursMinutes total;
        qint32 julianDay; // of a year from 1000 to 9999; kUndated for a record without a valid date
        bool complete;
    };
    static constexpr qint32 kUndated = std::numeric_limits<qint32>::max();

    HoursSummary m_summary;
    std::vector<Entry> m_entries; // in date order, the records of one date (and the undated ones)
                                  // in number order
    // Each record's number, year, month, day and six times, each text as its length in one byte and
    // its Latin-1 characters; a record with a longer text or other characters in m_wide.
    QByteArray m_latin1;
    QList<QStringList> m_wide;
};

} // namespace zelvaro
