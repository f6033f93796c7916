#include "ErrorReport.h"

namespace zelvaro {

QString signedNumberText(int number)
{
    return number > 0 ? QLatin1Char(' ') + QString::number(number) : QString::number(number);
}

QString errorReportText(int number, const QString &text)
{
    return QStringLiteral("Errore ") + signedNumberText(number) + QStringLiteral(" - ") + text +
           QStringLiteral("\r\r");
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
