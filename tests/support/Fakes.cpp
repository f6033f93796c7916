#include "Fakes.h"

#include <QTest>

namespace zelvaro::test {

MessageBoxService::Answer FakeMessageBox::show(const QString &text, const QString &title, Icon icon,
                                               Buttons buttons, bool systemModal)
{
    const int beeps = m_beep ? m_beep->count : 0;
    shown.append(Shown{text, title, icon, buttons, systemModal, beeps - m_beepsSeen});
    m_beepsSeen = beeps;
    if (m_script.empty()) {
        unexpected.append(text);
        return buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
    }
    const Answer answer = m_script.front();
    m_script.pop_front();
    return answer;
}

QStringList FakeMessageBox::texts() const
{
    QStringList result;
    for (const Shown &s : shown)
        result.append(s.text);
    return result;
}

} // namespace zelvaro::test
