#include "DailyCopy.h"

#include "DailyBackup.h"

namespace zelvaro {

DailyCopy::DailyCopy(QString folder, const Clock &clock, MessageBoxService &messages)
    : m_folder(std::move(folder)), m_clock(clock), m_messages(messages)
{
}

void DailyCopy::beforeWrite()
{
    const QDate today = m_clock.today();
    if (!m_archive || today == m_copied)
        return;
    const Outcome error = makeDailyBackup(*m_archive, m_folder, today);
    if (!error.failed()) {
        m_copied = today;
        return;
    }
    // Tried again before each change, but said only once.
    if (m_warned)
        return;
    m_warned = true;
    m_messages.show(QStringLiteral("La copia di sicurezza giornaliera dell'archivio non è stata fatta:\r\r") +
                        error.text +
                        QStringLiteral("\r\rLa modifica viene registrata ugualmente; questo avviso non "
                                       "viene ripetuto fino alla prossima apertura di Zelvaro."),
                    QString(), MessageBoxService::Icon::Warning, MessageBoxService::Buttons::Ok);
}

} // namespace zelvaro
