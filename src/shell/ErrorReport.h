#pragma once

#include "PlatformServices.h"

#include <QString>

namespace zelvaro {

// The last failure not yet reported: number 0 when there is none.
struct PendingError
{
    int number = 0;
    QString text;
};

// "Errore" + signed number (a leading blank when positive) + " - " + text + "\r\r".
QString errorReportText(int number, const QString &text);

// Shows the pending error (OK, no icon, application title) and clears it; does nothing when
// no error is pending.
void SEGNALA_ERRORE(PendingError &pending, MessageBoxService &messages);

} // namespace zelvaro
