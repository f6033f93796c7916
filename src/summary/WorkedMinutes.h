#pragma once

#include "Outcome.h"

#include <QDate>
#include <QMap>

namespace zelvaro {

class Archive;

// The worked minutes of each real date that has listed records, from the one pass over the list: the
// sum of the day totals of the date's records as the summary counts them (a record whose period 1 is
// incomplete counts 0, and its date is there all the same). Records without a real date
// (recordDate()) are left out. On an archive failure `worked` is untouched.
Outcome workedMinutesByDate(Archive &archive, QMap<QDate, double> *worked);

} // namespace zelvaro
