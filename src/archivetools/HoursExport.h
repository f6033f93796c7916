#pragma once

#include "HoursRecord.h"
#include "Outcome.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace zelvaro {

class Archive;
class Progress;

// One listed record with the durations the hours window computes for it, as texts.
struct ExportRow
{
    HoursRecord record;                // its field texts (the note is not exported)
    QString totale1, totale2, totale3; // period durations, empty for an incomplete period
    QString totaleGiorno;              // day total, empty when the day makes no total
    QString totaleProgressivo;         // running total after this day, empty before the first total
    QString minutiGiorno;              // the day total in minutes ("-15", "510"), empty with it
};

// Every record the window lists (NUM_MOV above 0, in number order), computed by the pass the list
// fill uses, the running total starting from 0. A day whose period 1 is incomplete adds nothing and
// gets no day total of its own. `progress` (may be null) hears of every row; when it cancels, the
// rows are dropped and Outcome::cancelledByUser() is returned.
Outcome collectExportRows(Archive &archive, QList<ExportRow> *rows, Progress *progress = nullptr);

// The header names, in the order of the exported fields.
QStringList exportHeader();

// The CSV of the rows for an Italian spreadsheet: UTF-8 with byte-order mark, ';' between fields,
// CRLF after every line, the header line first.
QByteArray exportCsv(const QList<ExportRow> &rows);

} // namespace zelvaro
