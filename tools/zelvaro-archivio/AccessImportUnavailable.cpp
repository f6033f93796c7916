#include "AccessImport.h"

namespace zelvaro {

// This build was made without libmdb (ZELVARO_IMPORT off).
bool accessImportAvailable()
{
    return false;
}

ImportReport importAccessArchive(const QString &, const QString &, const ImportProgress &)
{
    ImportReport report;
    report.outcome =
        Outcome::failure(1, QStringLiteral("l'importazione degli archivi Access non è disponibile in "
                                           "questa versione del programma (compilata senza libmdb)"));
    return report;
}

} // namespace zelvaro
