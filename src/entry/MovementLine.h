#pragma once

#include "HoursRecord.h"

#include <QString>

namespace zelvaro {

// Characters in every line of the movement list.
inline constexpr int kMovementLineLength = 87;

// The list line of one hours record, always 87 characters in fixed columns: the number
// left-aligned in 10 (a longer one keeps its first 10), the date as day/month/year with zeros on
// the left (2, 2 and 4 characters, a longer text keeps its last ones), then the six times each
// right-aligned in 10 (a longer one keeps its last 10), one blank between the fields. The field
// texts are placed as they are, whatever they hold; the note is not shown.
QString movementLine(const HoursRecord &record);

// The same line as 87 Latin-1 bytes written at `out`; false (and `out` undefined) when the line holds a
// character beyond Latin-1.
bool movementLineLatin1(const HoursRecord &record, char *out);

} // namespace zelvaro
