#pragma once

#include "HoursSummary.h"

#include <QByteArray>
#include <QStringList>

namespace zelvaro {

// The byte-order mark that tells a spreadsheet the file is UTF-8.
inline constexpr char kUtf8ByteOrderMark[] = "\xEF\xBB\xBF";

// One field for a ';'-separated file (RFC 4180): quoted when it holds ';', '"', CR or LF, a
// quote inside doubled. A text that begins with '=', '+', '-', '@', tab or CR and is not a plain
// number ("-15", "+3", "1,5") gets an apostrophe in front, so that a spreadsheet shows it as text.
QByteArray csvField(const QString &text);

// The fields joined by ';', then CRLF.
void appendCsvLine(QByteArray &csv, const QStringList &fields);

enum class SummaryRows { Months, Weeks };

// The summary as CSV for an Italian spreadsheet (UTF-8 with byte-order mark, ';', CRLF): a header,
// one row per month ("Anno;Mese;Giorni;Incompleti;Minuti;Ore;Ore decimali") or per ISO week
// ("Anno ISO;Settimana;Dal;Al;..."), then "Data non valida" when such records exist, then "Totale".
QByteArray summaryCsv(const HoursSummary &summary, SummaryRows rows);

} // namespace zelvaro
