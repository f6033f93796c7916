#pragma once

#include <QString>
#include <QStringList>

namespace zelvaro {

// What "ripara" did.
struct RepairOutcome
{
    QString error;       // why no archive was written (a sentence to follow a colon), else empty
    qint64 saved = 0;    // rows written into the new archive
    QStringList unread;  // the keys that could not be read, as ranges: "NUM_MOV da 101 a 160"
    QStringList refused; // rows read but not storable in the new archive, each with its reason
    QString damage;      // what SQLite's integrity check of the source found, empty when clean
    // Nothing was lost only when every row was read and stored and SQLite finds the source sound.
    bool lossless() const
    {
        return error.isEmpty() && unread.isEmpty() && refused.isEmpty() && damage.isEmpty();
    }
};

// Copies every row of MOV_MAG that can still be read from the archive `source` (never changed)
// into the new archive `destination`, which must not exist; it is written under a temporary name
// and named only when complete, and nothing is left on failure. Rows are read in key order (the
// NUM_MOV of the program's archives, the rowid of a hand-made table whose NUM_MOV is not its key);
// when a damaged page stops the reading, later keys are probed, at doubling distances and then by
// halving, to find where reading works again: the keys in between are reported as unread.
RepairOutcome repairArchive(const QString &source, const QString &destination);

} // namespace zelvaro
