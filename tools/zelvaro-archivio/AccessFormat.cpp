#include "AccessFormat.h"

#include "FileHead.h"
#include "Texts.h"

#include <sqlite3.h>

namespace zelvaro {

namespace {

constexpr int kJet3PageSize = 2048;
constexpr int kLaterPageSize = 4096;
// The header page, a page of the object map and the page where the catalog table starts.
constexpr qint64 kMinimumPages = 3;

AccessFormat refused(const QString &problem)
{
    AccessFormat format;
    format.check = Outcome::failure(SQLITE_NOTADB, problem);
    return format;
}

} // namespace

AccessFormat checkAccessFile(const QString &path)
{
    AccessFormat format;
    const FileHead head = readFileHead(path);
    if (const QString problem = fileKindProblem(head, FileKind::Access); !problem.isEmpty())
        return refused(quoted(path) + QLatin1Char(' ') + problem);
    if (head.accessVersion == 0) {
        format.pageSize = kJet3PageSize;
        format.formatName = QStringLiteral("Access 97 (Jet 3)");
    } else if (head.accessVersion == 1) {
        format.pageSize = kLaterPageSize;
        format.formatName = QStringLiteral("Access 2000-2003 (Jet 4)");
    } else if (head.accessVersion >= 2 && head.accessVersion <= 6) {
        format.pageSize = kLaterPageSize;
        format.formatName = QStringLiteral("Access 2007 o successivo (ACE)");
    } else {
        return refused(quoted(path) + QStringLiteral(" ha una versione Jet sconosciuta (") +
                       QString::number(head.accessVersion) + QStringLiteral("): non si può leggere"));
    }
    // An Access file is made of whole pages: any other length means it was cut short.
    if (head.size % format.pageSize != 0 || head.size < kMinimumPages * format.pageSize) {
        return refused(
            quoted(path) + QStringLiteral(" è troncato o danneggiato: ") + QString::number(head.size) +
            QStringLiteral(" byte non sono un numero intero di pagine da ") +
            QString::number(format.pageSize) + QStringLiteral(" byte (almeno ") +
            QString::number(kMinimumPages) + QStringLiteral(") di un archivio ") + format.formatName);
    }
    return format;
}

} // namespace zelvaro
