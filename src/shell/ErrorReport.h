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

// The signed-number text form: a leading blank for a number above 0, a minus sign for one
// below, nothing for 0.
QString signedNumberText(int number);

// "Errore" + signed number (a leading blank when positive) + " - " + text + "\r\r".
QString errorReportText(int number, const QString &text);

// Shows the pending error (OK, no icon, application title) and clears it; does nothing when
// no error is pending.
void SEGNALA_ERRORE(PendingError &pending, MessageBoxService &messages);

} // namespace zelvaro
