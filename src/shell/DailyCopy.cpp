#include "DailyCopy.h"

#include "DailyBackup.h"

namespace zelvaro {

DailyCopy::DailyCopy(QString folder, const Clock &clock) : m_folder(std::move(folder)), m_clock(clock) {}

QString DailyCopy::beforeWrite()
{
    const QDate today = m_clock.today();
    if (!m_archive || today == m_copied)
        return {};
    const Outcome error = makeDailyBackup(*m_archive, m_folder, today);
    if (!error.failed()) {
        m_copied = today;
        return {};
    }
    if (today == m_told)
        return {};
    m_told = today;
    return error.text + QStringLiteral(".\r\rLa copia viene ritentata a ogni modifica; questo avviso non si "
                                       "ripete fino a domani.");
}

} // namespace zelvaro
