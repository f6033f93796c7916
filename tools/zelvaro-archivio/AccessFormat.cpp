#include "AccessFormat.h"

#include "ArchiveErrorText.h"
#include "FileHead.h"

namespace zelvaro {

namespace {

constexpr int kJet3PageSize = 2048;
constexpr int kLaterPageSize = 4096;
// The header page, a page of the object map and the page where the catalog table starts.
constexpr qint64 kMinimumPages = 3;

} // namespace

AccessFormat checkAccessFile(const QString &path)
{
    AccessFormat format;
    const FileHead head = readFileHead(path);
    switch (head.kind) {
    case FileKind::Missing:
        format.problem = QStringLiteral("il file ") + quoted(path) + QStringLiteral(" non esiste");
        return format;
    case FileKind::Folder:
        format.problem = quoted(path) + QStringLiteral(" è una cartella, non un archivio Access");
        return format;
    case FileKind::Unreadable:
        format.problem = QStringLiteral("impossibile leggere ") + quoted(path) + QStringLiteral(" (") +
                         head.error + QLatin1Char(')');
        return format;
    case FileKind::Sqlite:
        format.problem =
            quoted(path) +
            QStringLiteral(" è già un archivio SQLite: Zelvaro lo apre così com'è, non va importato");
        return format;
    case FileKind::Other:
        format.problem = quoted(path) + QStringLiteral(" non è un archivio Access (Jet): manca la firma "
                                                       "\"Standard Jet DB\" all'inizio del file");
        return format;
    case FileKind::Access:
        break;
    }
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
        format.problem = quoted(path) + QStringLiteral(" ha una versione Jet sconosciuta (") +
                         QString::number(head.accessVersion) + QStringLiteral("): non si può leggere");
        return format;
    }
    // An Access file is made of whole pages: any other length means it was cut short.
    if (head.size % format.pageSize != 0 || head.size < kMinimumPages * format.pageSize) {
        format.problem =
            quoted(path) + QStringLiteral(" è troncato o danneggiato: ") + QString::number(head.size) +
            QStringLiteral(" byte non sono un numero intero di pagine da ") +
            QString::number(format.pageSize) + QStringLiteral(" byte (almeno ") +
            QString::number(kMinimumPages) + QStringLiteral(") di un archivio ") + format.formatName;
        return format;
    }
    format.ok = true;
    return format;
}

} // namespace zelvaro
