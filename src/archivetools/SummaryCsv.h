#pragma once

#include "HoursSummary.h"

#include <QByteArray>
#include <QStringList>

namespace zelvaro {

enum class SummaryRows { Months, Weeks };

// The summary as CSV for an Italian spreadsheet (UTF-8 with byte-order mark, ';', CRLF): a header,
// one row per month ("Anno;Mese;Giorni;Incompleti;Minuti;Ore;Ore decimali") or per ISO week
// ("Anno ISO;Settimana;Dal;Al;..."), then "Data non valida" when such records exist, then "Totale".
QByteArray summaryCsv(const HoursSummary &summary, SummaryRows rows);

} // namespace zelvaro
