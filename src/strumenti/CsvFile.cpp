#include "CsvFile.h"

#include "ArchiveErrorText.h"
#include "FileHead.h"
#include "SafeNewFile.h"

namespace zelvaro {

QString csvTargetRefusal(const QString &target)
{
    const FileHead head = readFileHead(target);
    if (head.kind == FileKind::Sqlite || head.kind == FileKind::Access)
        return quoted(target) + QStringLiteral(" è un archivio: non viene sovrascritto");
    if (head.kind == FileKind::Folder)
        return quoted(target) + QStringLiteral(" è una cartella");
    return {};
}

QString writeCsvFile(const QString &target, const QByteArray &csv)
{
    if (QString refusal = csvTargetRefusal(target); !refusal.isEmpty())
        return refusal;
    SafeNewFile file(target, SafeNewFile::Existing::Replace);
    ArchiveError error = file.create();
    if (!error.failed())
        error = file.write(csv);
    if (!error.failed())
        error = file.commit();
    if (error.failed())
        return QStringLiteral("Impossibile scrivere ") + quoted(target) + QStringLiteral(": ") +
               lowerFirst(error.text);
    return {};
}

} // namespace zelvaro
