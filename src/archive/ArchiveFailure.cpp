#include "ArchiveFailure.h"

#include <sqlite3.h>

namespace zelvaro {

QString sqliteCauseText(int resultCode)
{
    switch (resultCode) {
    case SQLITE_READONLY_DBMOVED:
        return QStringLiteral("Il file dell'archivio è stato spostato o cancellato dopo l'apertura: "
                              "non è possibile modificarlo");
    case SQLITE_BUSY_RECOVERY:
    case SQLITE_BUSY_SNAPSHOT:
    case SQLITE_BUSY_TIMEOUT:
        return QStringLiteral("L'archivio è bloccato da un altro programma");
    default:
        break;
    }
    switch (resultCode & 0xff) {
    case SQLITE_ERROR:
        return QStringLiteral("Errore nell'interrogazione dell'archivio");
    case SQLITE_INTERNAL:
        return QStringLiteral("Errore interno del motore dell'archivio");
    case SQLITE_PERM:
        return QStringLiteral("Accesso al file dell'archivio non consentito");
    case SQLITE_ABORT:
    case SQLITE_INTERRUPT:
        return QStringLiteral("Operazione sull'archivio interrotta");
    case SQLITE_BUSY:
        return QStringLiteral("L'archivio è bloccato da un altro programma");
    case SQLITE_LOCKED:
        return QStringLiteral("L'archivio è bloccato da un'altra operazione in corso");
    case SQLITE_NOMEM:
        return QStringLiteral("Memoria insufficiente per l'archivio");
    case SQLITE_READONLY:
        return QStringLiteral("L'archivio è protetto in scrittura: non è possibile modificarlo");
    case SQLITE_IOERR:
        return QStringLiteral("Errore di lettura o scrittura del file dell'archivio");
    case SQLITE_CORRUPT:
        return QStringLiteral("Il file dell'archivio è danneggiato");
    case SQLITE_FULL:
        return QStringLiteral("Disco pieno: non è possibile scrivere nell'archivio");
    case SQLITE_CANTOPEN:
        return QStringLiteral("Impossibile aprire il file dell'archivio");
    case SQLITE_PROTOCOL:
        return QStringLiteral("Errore nel blocco del file dell'archivio");
    case SQLITE_SCHEMA:
        return QStringLiteral("La struttura dell'archivio è cambiata durante l'operazione");
    case SQLITE_TOOBIG:
        return QStringLiteral("Dato troppo grande per l'archivio");
    case SQLITE_CONSTRAINT:
        return QStringLiteral("Il dato non rispetta un vincolo dell'archivio");
    case SQLITE_MISMATCH:
        return QStringLiteral("Tipo di dato non ammesso in una colonna dell'archivio");
    case SQLITE_MISUSE:
        return QStringLiteral("Uso non corretto dell'archivio");
    case SQLITE_NOLFS:
        return QStringLiteral("Archivio troppo grande per il sistema");
    case SQLITE_AUTH:
        return QStringLiteral("Operazione sull'archivio non autorizzata");
    case SQLITE_RANGE:
        return QStringLiteral("Parametro fuori intervallo in un'istruzione dell'archivio");
    case SQLITE_NOTADB:
        return QStringLiteral("Il file non è un archivio SQLite");
    default:
        return QStringLiteral("Errore dell'archivio");
    }
}

Outcome sqliteFailure(sqlite3 *db, int resultCode)
{
    int code = resultCode;
    const char *message = nullptr;
    if (db != nullptr) {
        // The extended code says more (a moved file is a kind of read-only failure) when it is the
        // same failure as the one returned.
        const int extended = sqlite3_extended_errcode(db);
        if ((extended & 0xff) == (resultCode & 0xff)) {
            code = extended;
            message = sqlite3_errmsg(db);
        }
    }
    if (message == nullptr)
        message = sqlite3_errstr(resultCode);
    Outcome error;
    error.code = resultCode & 0xff;
    if (error.code == SQLITE_OK) // a failure must never read as success
        error.code = SQLITE_ERROR;
    error.text = sqliteCauseText(code);
    if (message != nullptr && *message != '\0')
        error.text += QStringLiteral(" (") + QString::fromUtf8(message) + QLatin1Char(')');
    return error;
}

Outcome archiveFailure(int code, const QString &text)
{
    return Outcome{code, text};
}

} // namespace zelvaro
