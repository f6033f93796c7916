#pragma once

#include "Outcome.h"

#include <QStringList>

namespace zelvaro {

class Archive;
class CsvWriter;
class Progress;

// The header names, in the order of the exported fields.
QStringList exportHeader();

// The export of "esporta" and "Esporta in CSV…": the header line, then one line per record the
// window lists (NUM_MOV above 0, in number order) with number, day, month, year, the six times, the
// three period durations (empty for an incomplete period), the day total (empty when the day makes
// none), the running total (from 0, empty before the first day total) and the day total in minutes,
// computed by the pass the list fill uses. Each line is written as its record is read: no row is
// kept. `rows` (may be null) receives the number of records written. `progress` (may be null) hears
// of every row; when it cancels, Outcome::cancelledByUser() is returned and the CSV is not wanted.
Outcome writeHoursCsv(Archive &archive, CsvWriter &csv, qsizetype *rows = nullptr,
                      Progress *progress = nullptr);

} // namespace zelvaro
