#include "DailyCopy.h"

#include "ArchiveErrorText.h"
#include "DailyBackup.h"

#include <QDir>

namespace zelvaro {

DailyCopy::DailyCopy(Archive &archive, QString folder, const Clock &clock, MessageBoxService &messages)
    : m_archive(archive), m_folder(std::move(folder)), m_clock(clock), m_messages(messages)
{
}

void DailyCopy::beforeWrite()
{
    const QDate today = m_clock.today();
    if (today == m_copied)
        return;
    const ArchiveError error = makeDailyBackup(m_archive, m_folder, today);
    if (!error.failed()) {
        m_copied = today;
        return;
    }
    // Tried again before each change, but said only once.
    if (m_warned)
        return;
    m_warned = true;
    m_messages.show(QStringLiteral("La copia di sicurezza giornaliera dell'archivio non è stata fatta "
                                   "nella cartella ") +
                        quoted(QDir::toNativeSeparators(m_folder)) + QStringLiteral(":\r\r") + error.text +
                        QStringLiteral("\r\rLa modifica viene registrata ugualmente; questo avviso non "
                                       "viene ripetuto fino alla prossima apertura di Zelvaro."),
                    QString(), MessageBoxService::Icon::Warning, MessageBoxService::Buttons::Ok);
}

} // namespace zelvaro
