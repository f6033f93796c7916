#pragma once

#include "Outcome.h"

#include <QString>

namespace zelvaro {

// The sentences that zelvaro-archivio writes after "zelvaro-archivio: " and that the "Gestione"
// menu shows for the same commands (with upperFirst()).

// Seconds with a decimal comma: "1,25 s".
QString secondsText(qint64 milliseconds);

// "Esportati 8 movimenti in «target»".
QString exportDoneText(qsizetype rows, const QString &target);

// "errore nella lettura di «path»: " and the cause.
QString readFailureText(const QString &path, const Outcome &error);

// "copia non eseguita, nessun file creato: " and the cause.
QString backupFailureText(const QString &cause);

// "Copiato l'archivio «source» in «destination» in 0,05 s".
QString backupDoneText(const QString &source, const QString &destination, qint64 milliseconds);

} // namespace zelvaro
