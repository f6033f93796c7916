#pragma once

#include "AccessImport.h"

#include <QString>

namespace zelvaro {

// What reading MOV_MAG of an Access file into a new archive gives.
struct AccessReadResult
{
    QString error; // empty when every row was written and committed
    qint64 rows = 0;
    qint64 unlisted = 0; // rows with NUM_MOV 0 or below
    qint64 declared = 0; // the row count the Access table declares
};

// Reads MOV_MAG of the Access file `source` with libmdb and writes its rows, in one transaction,
// into the empty SQLite file `temporary`: every row keeps its NUM_MOV, every other column is stored
// as the text libmdb gives (blanks kept, UTF-8), an empty value as null. Refuses a missing table or
// column, a NUM_MOV missing, not whole or repeated, a text cut short, and a row count other than
// the table's own. libmdb trusts the pages it reads: run it in a child process. `progress` (when set)
// hears the count once the columns are found and then every kImportProgressRows rows.
AccessReadResult readAccessTable(const QString &source, const QString &temporary,
                                 const ImportProgress &progress = {});

} // namespace zelvaro
