#pragma once

#include "Outcome.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>

namespace zelvaro {

// The CSV files of the program and its tools, for an Italian spreadsheet: UTF-8 with a byte-order
// mark, ';' between fields, CRLF after every line.

// The byte-order mark that tells a spreadsheet the file is UTF-8.
inline constexpr char kUtf8ByteOrderMark[] = "\xEF\xBB\xBF";

// Writes a CSV a line at a time through a buffer of 64 KiB, so that a file of any length takes that
// much memory: the byte-order mark first, then the lines as they are given. Each field follows RFC
// 4180: quoted when it holds ';', '"', CR or LF, a quote inside doubled. A text that begins with '=',
// '+', '-', '@', tab, CR or LF and is not a plain number ("-15", "+3", "1,5") gets an apostrophe in
// front, so that a spreadsheet shows it as text.
class CsvWriter
{
public:
    // Receives the bytes in order, a full buffer at a time and the rest at finish(). A failure stops
    // the writer: later lines are dropped and finish() returns it.
    using Sink = std::function<Outcome(QByteArrayView bytes)>;

    explicit CsvWriter(Sink sink);
    ~CsvWriter();
    CsvWriter(const CsvWriter &) = delete;
    CsvWriter &operator=(const CsvWriter &) = delete;

    // One field, with ';' before it unless it is the first of its line.
    void field(QStringView text);
    // Ends the line with CRLF.
    void endLine();
    // The fields as one line.
    void line(const QStringList &fields);
    // Hands the rest to the sink; the first failure of the sink, if any.
    Outcome finish();

private:
    void put(QByteArrayView bytes);
    void flush();

    Sink m_sink;
    char *m_buffer;
    qsizetype m_used = 0;
    Outcome m_error;
    bool m_fieldWritten = false;
};

// What writes a CSV into a writer; a failure (an archive's, a cancellation) means the CSV is not
// wanted.
using CsvProducer = std::function<Outcome(CsvWriter &csv)>;

// Refuses the CSV file `target` when it may not be written, with a sentence naming it: an archive
// (SQLite or Access) is never written over, and a folder is not a file. Code kFileErrorCode.
Outcome csvTargetRefusal(const QString &target);

// Writes what `produce` writes as the whole new content of `target`, a buffer at a time into a
// hidden file beside it that replaces it only once complete; never over an archive or a folder. A
// failure of `produce` is returned as it is and leaves no file. A failure of the file (code
// kFileErrorCode) names the file and the cause in a sentence beginning with a capital.
Outcome writeCsvFile(const QString &target, const CsvProducer &produce);

} // namespace zelvaro
