#pragma once

#include "Outcome.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace zelvaro {

// The CSV files of the program and its tools, for an Italian spreadsheet: UTF-8 with a byte-order
// mark, ';' between fields, CRLF after every line.

// The byte-order mark that tells a spreadsheet the file is UTF-8.
inline constexpr char kUtf8ByteOrderMark[] = "\xEF\xBB\xBF";

// One field (RFC 4180): quoted when it holds ';', '"', CR or LF, a quote inside doubled. A text
// that begins with '=', '+', '-', '@', tab, CR or LF and is not a plain number ("-15", "+3", "1,5")
// gets an apostrophe in front, so that a spreadsheet shows it as text.
QByteArray csvField(const QString &text);

// The fields joined by ';', then CRLF.
void appendCsvLine(QByteArray &csv, const QStringList &fields);

// Refuses the CSV file `target` when it may not be written, with a sentence naming it: an archive
// (SQLite or Access) is never written over, and a folder is not a file. Code kFileErrorCode.
Outcome csvTargetRefusal(const QString &target);

// Writes `csv` as the whole new content of `target`, through a hidden file beside it that replaces
// it only once complete; never over an archive or a folder. A failure (code kFileErrorCode) names
// the file and the cause in a sentence beginning with a capital.
Outcome writeCsvFile(const QString &target, const QByteArray &csv);

} // namespace zelvaro
