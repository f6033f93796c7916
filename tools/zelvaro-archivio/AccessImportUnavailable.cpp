#include "AccessImport.h"

namespace zelvaro {

// This build was made without libmdb (ZELVARO_IMPORT off).
bool accessImportAvailable()
{
    return false;
}

ImportOutcome importAccessArchive(const QString &, const QString &, const ImportProgress &)
{
    ImportOutcome outcome;
    outcome.error =
        QStringLiteral("l'importazione degli archivi Access non è disponibile in questa versione del "
                       "programma (compilata senza libmdb)");
    return outcome;
}

} // namespace zelvaro
