#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QStringList>
#include <QtEndian>

#include <utility>

namespace zelvaro::test {

constexpr qsizetype kJet3Page = 2048;

// A file of tests/data (ZELVARO_TEST_DATA).
inline QString dataPath(const QString &name)
{
    return QDir(qEnvironmentVariable("ZELVARO_TEST_DATA")).filePath(name);
}

inline QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QStringList folderEntries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// In the small Jet 3 fixtures a row begins with its column count (11), then NUM_MOV as a
// little-endian Long Integer. The row of NUM_MOV 1 is the first of its data page.
inline QByteArray rowStart(qint32 number)
{
    QByteArray bytes(5, '\x0b');
    qToLittleEndian(number, bytes.data() + 1);
    return bytes;
}

// A small RFC 4180 reader written apart from the program's writer; every record ends with a line
// break, a byte-order mark at the start is skipped.
inline QList<QStringList> readCsv(QByteArray bytes, char separator)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    QList<QStringList> records;
    QStringList record;
    QByteArray field;
    bool quoted = false;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes.at(i);
        if (c == '"' && quoted && i + 1 < bytes.size() && bytes.at(i + 1) == '"')
            field += bytes.at(++i);
        else if (c == '"')
            quoted = !quoted;
        else if (quoted || (c != separator && c != '\r' && c != '\n'))
            field += c;
        else if (c != '\r') {
            record.append(QString::fromUtf8(std::exchange(field, {})));
            if (c == '\n')
                records.append(std::exchange(record, {}));
        }
    }
    return records;
}

} // namespace zelvaro::test
