#include "StderrCapture.h"

#include <QByteArray>
#include <QString>

#include <unistd.h>

namespace zelvaro {

StderrCapture::StderrCapture()
{
    std::fflush(stderr);
    m_file = std::tmpfile();
    if (m_file == nullptr)
        return; // nothing captured: the diagnostics reach the terminal as they are
    m_saved = ::dup(STDERR_FILENO);
    if (m_saved < 0 || ::dup2(::fileno(m_file), STDERR_FILENO) < 0) {
        if (m_saved >= 0)
            ::close(m_saved);
        m_saved = -1;
        std::fclose(m_file);
        m_file = nullptr;
    }
}

StderrCapture::~StderrCapture()
{
    restore();
    if (m_file != nullptr)
        std::fclose(m_file);
}

void StderrCapture::restore()
{
    if (m_saved < 0)
        return;
    std::fflush(stderr);
    ::dup2(m_saved, STDERR_FILENO);
    ::close(m_saved);
    m_saved = -1;
}

QStringList StderrCapture::finish(int maxLines)
{
    restore();
    QStringList lines;
    if (m_file == nullptr)
        return lines;
    std::rewind(m_file);
    char buffer[512];
    while (lines.size() < maxLines && std::fgets(buffer, sizeof buffer, m_file) != nullptr) {
        const QString line = QString::fromUtf8(buffer).trimmed();
        if (!line.isEmpty())
            lines.append(line);
    }
    std::fclose(m_file);
    m_file = nullptr;
    return lines;
}

} // namespace zelvaro
