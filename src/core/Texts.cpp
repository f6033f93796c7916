#include "Texts.h"

namespace zelvaro {

QString quoted(const QString &path)
{
    return QStringLiteral("«") + path + QStringLiteral("»");
}

QString lowerFirst(const QString &text)
{
    return text.isEmpty() ? text : text.left(1).toLower() + text.mid(1);
}

QString upperFirst(const QString &text)
{
    return text.isEmpty() ? text : text.front().toUpper() + text.mid(1);
}

} // namespace zelvaro
