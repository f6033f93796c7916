#pragma once

#include "PlatformServices.h"

#include <QDate>
#include <QString>

namespace zelvaro {

class Archive;

// Before the first change of each day, a copy of the archive in the folder of the daily copies
// (one a day, the last ones kept, see makeDailyBackup). A copy that fails is tried again before
// each change, and the change goes on all the same: the user's day matters more than yesterday's
// copy. The failure is told once a day, in the message about the change.
class DailyCopy : public ArchiveWriteHook
{
public:
    DailyCopy(QString folder, const Clock &clock);
    // The archive to copy, once start-up has opened it; nothing is copied before.
    void setArchive(Archive *archive) { m_archive = archive; }
    // Makes the copy of the clock's day unless made already; returns the sentences that say why it
    // was not made, the first time that day only, else the empty text.
    QString beforeWrite() override;

private:
    Archive *m_archive = nullptr;
    QString m_folder;
    const Clock &m_clock;
    QDate m_copied; // the day of the last copy made or found
    QDate m_told;   // the day a failed copy was last told
};

} // namespace zelvaro
