#pragma once

#include "ArchiveError.h"
#include "HoursRecord.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace zelvaro {

class Archive;

// One listed record with the durations the hours window computes for it, as texts.
struct ExportRow
{
    HoursRecord record;                // its field texts (the note is not exported)
    QString totale1, totale2, totale3; // period durations, empty for an incomplete period
    QString totaleGiorno;              // day total, empty when the day makes no total
    QString totaleProgressivo;         // running total after this day, empty before the first total
    QString minutiGiorno;              // the day total in minutes ("-15", "510"), empty with it
};

// Every record the window lists (NUM_MOV above 0, in number order), computed as the list fill does:
// the running total starts from 0 once and every record goes through CALCOLA_ORE on one holder of
// box texts that passes from record to record. A day whose period 1 is incomplete adds nothing and
// gets no day total of its own (the window would still show the previous day's).
ArchiveError collectExportRows(Archive &archive, QList<ExportRow> *rows);

// The header names, in the order of the exported fields.
QStringList exportHeader();

// One field for a ';'-separated file (RFC 4180): quoted when it holds ';', '"', CR or LF, a
// quote inside doubled. A text that begins with '=', '+', '-', '@', tab or CR and is not a plain
// number ("-15", "+3", "1,5") gets an apostrophe in front, so that a spreadsheet shows it as text.
QByteArray csvField(const QString &text);

// The CSV of the rows for an Italian spreadsheet: UTF-8 with byte-order mark, ';' between fields,
// CRLF after every line, the header line first.
QByteArray exportCsv(const QList<ExportRow> &rows);

} // namespace zelvaro
