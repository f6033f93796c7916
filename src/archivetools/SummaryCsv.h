#pragma once

#include "HoursSummary.h"

#include <QStringList>

namespace zelvaro {

class CsvWriter;

enum class SummaryRows { Months, Weeks };

// Writes the summary as CSV for an Italian spreadsheet into `csv`, a row at a time: a header, one row
// per month ("Anno;Mese;Giorni;Incompleti;Minuti;Ore;Ore decimali") or per ISO week
// ("Anno ISO;Settimana;Dal;Al;..."), then "Data non valida" when such records exist, then "Totale".
void writeSummaryCsv(const HoursSummary &summary, SummaryRows rows, CsvWriter &csv);

} // namespace zelvaro
