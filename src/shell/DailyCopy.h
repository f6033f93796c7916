#pragma once

#include "PlatformServices.h"

#include <QDate>
#include <QString>

namespace zelvaro {

class Archive;

// Before the first change of each day, a copy of the archive in the folder of the daily copies
// (one a day, the last ones kept). A copy that fails is said once per run, and the change goes on
// all the same: the user's day matters more than yesterday's copy.
class DailyCopy : public ArchiveWriteHook
{
public:
    DailyCopy(QString folder, const Clock &clock, MessageBoxService &messages);
    // The archive to copy, once start-up has opened it; nothing is copied before.
    void setArchive(Archive *archive) { m_archive = archive; }
    void beforeWrite() override;

private:
    Archive *m_archive = nullptr;
    QString m_folder;
    const Clock &m_clock;
    MessageBoxService &m_messages;
    QDate m_copied; // the day of the last copy made or found
    bool m_warned = false;
};

} // namespace zelvaro
