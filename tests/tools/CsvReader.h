#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

namespace zelvaro::test {

// A small RFC 4180 reader written apart from the program's writer: fields split at `separator`,
// records ended by CRLF (a lone LF too), quoted fields may hold separators, quotes ("") and line
// breaks. A UTF-8 byte-order mark at the start is skipped. `ok` turns false on a malformed quote.
inline QList<QStringList> readCsv(const QByteArray &bytes, char separator, bool *ok = nullptr)
{
    QList<QStringList> records;
    QStringList record;
    QByteArray field;
    bool quoted = false;    // inside a quoted field
    bool wasQuoted = false; // the current field was quoted: only a separator or line end may follow
    bool fieldStarted = false;
    bool good = true;
    qsizetype i = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    const auto endField = [&] {
        record.append(QString::fromUtf8(field));
        field.clear();
        wasQuoted = false;
        fieldStarted = false;
    };
    const auto endRecord = [&] {
        endField();
        records.append(record);
        record.clear();
    };
    for (; i < bytes.size(); ++i) {
        const char c = bytes.at(i);
        if (quoted) {
            if (c == '"') {
                if (i + 1 < bytes.size() && bytes.at(i + 1) == '"') {
                    field += '"';
                    ++i;
                } else {
                    quoted = false;
                    wasQuoted = true;
                }
            } else {
                field += c;
            }
            continue;
        }
        if (c == separator) {
            endField();
        } else if (c == '\r' && i + 1 < bytes.size() && bytes.at(i + 1) == '\n') {
            endRecord();
            ++i;
        } else if (c == '\n') {
            endRecord();
        } else if (c == '"' && !fieldStarted) {
            quoted = true;
            fieldStarted = true;
        } else {
            if (wasQuoted || c == '"')
                good = false;
            field += c;
            fieldStarted = true;
        }
    }
    if (quoted)
        good = false;
    if (fieldStarted || !record.isEmpty())
        endRecord();
    if (ok != nullptr)
        *ok = good;
    return records;
}

} // namespace zelvaro::test
