#pragma once

#include "Balance.h"
#include "Outcome.h"
#include "SummaryCsv.h"

#include <QStringList>

#include <functional>

namespace zelvaro {

class Archive;
class CsvWriter;

// What the balance of an archive is made of: the contract hours, the absences and the settings stored
// beside MOV_MAG, and the worked minutes of the listed records by date. On failure `input` is untouched.
Outcome readBalanceInput(Archive &archive, BalanceInput *input);

// The rows of the balance as CSV fields, one call of `row` at a time: the header
// ("Anno;Mese;Minuti lavorati;Minuti di assenza;Minuti previsti;Saldo minuti;Saldo progressivo minuti",
// or "Anno ISO;Settimana;Dal;Al;" and the same five), a row for every month or ISO week of the days
// counted (Dal and Al the whole week's Monday and Sunday), then "Totale" with the sums and the final
// running balance. Minutes are whole numbers.
void forEachBalanceCsvRow(const Balance &balance, SummaryRows rows,
                          const std::function<void(const QStringList &)> &row);

// Writes those rows into `csv`, a row at a time.
void writeBalanceCsv(const Balance &balance, SummaryRows rows, CsvWriter &csv);

} // namespace zelvaro
