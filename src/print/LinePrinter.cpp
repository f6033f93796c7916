#include "LinePrinter.h"

#include "Texts.h"

#include <QDir>

namespace zelvaro {

QString pdfFallbackCause(const PrintResult &result)
{
    switch (result.note) {
    case PrintResult::Note::Refused:
        if (result.reason.isEmpty())
            return QStringLiteral("La stampante ") + quoted(result.printer) +
                   QStringLiteral(" non accetta lavori");
        return QStringLiteral("La stampante ") + quoted(result.printer) +
               QStringLiteral(" ha rifiutato il lavoro (") + result.reason + QLatin1Char(')');
    case PrintResult::Note::Unreachable:
        return QStringLiteral("Il servizio di stampa per la stampante ") + quoted(result.printer) +
               QStringLiteral(" non è raggiungibile (") + result.reason + QLatin1Char(')');
    default:
        return {};
    }
}

QString printNotice(const PrintResult &result, const PrintDocument &document)
{
    switch (result.note) {
    case PrintResult::Note::NoDefault:
        return QStringLiteral("Nessuna stampante predefinita: ") + document.what +
               QStringLiteral(" è stato inviato alla stampante ") + quoted(result.printer);
    case PrintResult::Note::Stopped:
        return QStringLiteral("La stampante ") + quoted(result.printer) + QStringLiteral(" è ferma: ") +
               document.what + QStringLiteral(" è in coda e sarà stampato quando la stampante riprenderà");
    default:
        break;
    }
    if (result.pdfPath.isEmpty())
        return {};
    const QString cause = pdfFallbackCause(result);
    return (cause.isEmpty() ? QStringLiteral("Nessuna stampante disponibile") : cause) +
           QStringLiteral(": ") + document.what + QStringLiteral(" è stato salvato in ") +
           QDir::toNativeSeparators(result.pdfPath);
}

} // namespace zelvaro
