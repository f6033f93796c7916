#include "ToolTexts.h"

#include "ArchiveFailure.h"
#include "Texts.h"

namespace zelvaro {

QString secondsText(qint64 milliseconds)
{
    return QString::number(double(milliseconds) / 1000.0, 'f', 2)
               .replace(QLatin1Char('.'), QLatin1Char(',')) +
           QStringLiteral(" s");
}

QString exportDoneText(qsizetype rows, const QString &target)
{
    return QStringLiteral("Esportati ") + QString::number(rows) + QStringLiteral(" movimenti in ") +
           quoted(target);
}

QString readFailureText(const QString &path, const Outcome &error)
{
    return QStringLiteral("errore nella lettura di ") + quoted(path) + QStringLiteral(": ") +
           lowerFirst(error.text);
}

QString backupFailureText(const QString &cause)
{
    return QStringLiteral("copia non eseguita, nessun file creato: ") + lowerFirst(cause);
}

QString backupDoneText(const QString &source, const QString &destination, qint64 milliseconds)
{
    return QStringLiteral("Copiato l'archivio ") + quoted(source) + QStringLiteral(" in ") +
           quoted(destination) + QStringLiteral(" in ") + secondsText(milliseconds);
}

} // namespace zelvaro
