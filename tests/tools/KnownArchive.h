#pragma once

#include "CsvReader.h"
#include "TempArchive.h"
#include "ToolsTestData.h"

namespace zelvaro::test {

// The archive whose export tests/data/esporta_atteso.csv holds, worked out by hand: rows put in
// out of number order; borrow, carry, an end before its start, periods 1 and 3 without 2, a period
// 1 without its start (no day total: the running total stays), a period 1 under one hour, a comma
// in a time, texts needing quotes, an all-null row, and two rows the window never lists.
inline void fillKnownArchive(const TempArchive &a)
{
    const QString none;
    const QString blank = QStringLiteral(""); // stored as the empty text, not null
    a.insert(12, QStringLiteral("5"), QStringLiteral("3"), QStringLiteral("2004"),
             {QStringLiteral("8.30"), QStringLiteral("8.15"), QStringLiteral("9"), QStringLiteral("9.45"),
              QStringLiteral("10"), QStringLiteral("11")});
    a.insert(3, QStringLiteral("1"), QStringLiteral("3"), QStringLiteral("2004"),
             {QStringLiteral("8.30"), QStringLiteral("12.45"), QStringLiteral("14.00"),
              QStringLiteral("17.50"), none, none},
             QStringLiteral("nota; non esportata"));
    a.insert(0, QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("2004"),
             {QStringLiteral("8"), QStringLiteral("12")});
    a.insert(-4, QStringLiteral("2"), QStringLiteral("1"), QStringLiteral("2004"),
             {QStringLiteral("8"), QStringLiteral("18")});
    a.insert(5, QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("2004"),
             {QStringLiteral(" 8.45 "), QStringLiteral("12.30"), blank, blank, QStringLiteral("8"),
              QStringLiteral("12.75")});
    a.insert(7, QStringLiteral("3"), QStringLiteral("3"), QStringLiteral("2004"),
             {blank, QStringLiteral("12"), QStringLiteral("14"), QStringLiteral("18")});
    a.insert(8, QStringLiteral("4"), QStringLiteral("3"), QStringLiteral("2004"),
             {QStringLiteral("22.00"), QStringLiteral("2.00")});
    a.insert(20, QStringLiteral("6"), QStringLiteral("3"), QStringLiteral("20;04"),
             {QStringLiteral("7.15"), QStringLiteral("8.00")});
    a.insert(21, QStringLiteral("7\r\nbis"), QStringLiteral("\"3\""), QStringLiteral("2004"),
             {QStringLiteral("8,30"), QStringLiteral("12")});
    a.insert(30, none, none, none, {});
}

// SQL text literal: quotes doubled.
inline QString sqlText(const QString &value)
{
    return QLatin1Char('\'') + QString(value).replace(QLatin1Char('\''), QStringLiteral("''")) +
           QLatin1Char('\'');
}

// Puts the rows of a fixture's comma-separated file (see tests/data) into the archive.
inline void loadFixtureRows(const TempArchive &a, const QString &csvName)
{
    const QList<QStringList> records = readCsv(readBytes(dataPath(csvName)), ',');
    QString sql = QStringLiteral("BEGIN;");
    for (qsizetype r = 1; r < records.size(); ++r) {
        QStringList values;
        for (const QString &value : records.at(r))
            values.append(value == QLatin1String("NULL") ? QStringLiteral("NULL") : sqlText(value));
        sql += QStringLiteral("INSERT INTO MOV_MAG VALUES (") + values.join(QLatin1Char(',')) +
               QStringLiteral(");");
    }
    a.exec(sql + QStringLiteral("COMMIT;"));
}

} // namespace zelvaro::test
