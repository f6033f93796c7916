#include "ErrorReport.h"

namespace zelvaro {

QString errorReportText(int number, const QString &text)
{
    // The signed-number text form: a leading blank for a positive number, '-' for a negative one.
    const QString signedNumber = number > 0 ? QLatin1Char(' ') + QString::number(number) : QString::number(number);
    return QStringLiteral("Errore ") + signedNumber + QStringLiteral(" - ") + text + QStringLiteral("\r\r");
}

void SEGNALA_ERRORE(PendingError &pending, MessageBoxService &messages)
{
    if (pending.number == 0)
        return;
    const QString text = errorReportText(pending.number, pending.text);
    pending = PendingError{};
    messages.show(text, QString(), MessageBoxService::Icon::None, MessageBoxService::Buttons::Ok);
}

} // namespace zelvaro
