#pragma once

#include "CommandLine.h"

#include <QList>

namespace zelvaro {

// The commands of the balance against the contract hours: "orario", "assenza", "impostazioni" and
// "saldo". A value that is not allowed is refused with exit status 2, naming it, and the archive is
// left as it was.
QList<Command> balanceCommands();

} // namespace zelvaro
