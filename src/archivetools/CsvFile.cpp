#include "CsvFile.h"

#include "ArchiveFailure.h"
#include "FileHead.h"
#include "SafeNewFile.h"
#include "Texts.h"

#include <QRegularExpression>

namespace zelvaro {

QByteArray csvField(const QString &text)
{
    // A spreadsheet evaluates a cell that begins like a formula: an apostrophe keeps it text.
    static const QRegularExpression plainNumber(QStringLiteral("^[+-]?[0-9]+([.,][0-9]+)?$"));
    const bool formulaLike = !text.isEmpty() && QStringLiteral("=+-@\t\r\n").contains(text.front()) &&
                             !plainNumber.match(text).hasMatch();
    QByteArray bytes = formulaLike ? "'" + text.toUtf8() : text.toUtf8();
    if (!bytes.contains(';') && !bytes.contains('"') && !bytes.contains('\r') && !bytes.contains('\n'))
        return bytes;
    bytes.replace('"', "\"\"");
    return '"' + bytes + '"';
}

void appendCsvLine(QByteArray &csv, const QStringList &fields)
{
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            csv += ';';
        csv += csvField(fields.at(i));
    }
    csv += "\r\n";
}

Outcome csvTargetRefusal(const QString &target)
{
    const FileHead head = readFileHead(target);
    if (head.kind == FileKind::Sqlite || head.kind == FileKind::Access)
        return Outcome::failure(kFileErrorCode,
                                quoted(target) + QStringLiteral(" è un archivio: non viene sovrascritto"));
    if (head.kind == FileKind::Folder)
        return Outcome::failure(kFileErrorCode, quoted(target) + QStringLiteral(" è una cartella"));
    return {};
}

Outcome writeCsvFile(const QString &target, const QByteArray &csv)
{
    if (Outcome refusal = csvTargetRefusal(target))
        return refusal;
    SafeNewFile file(target, SafeNewFile::Existing::Replace);
    Outcome error = file.create();
    if (!error.failed())
        error = file.write(csv);
    if (!error.failed())
        error = file.commit();
    if (error.failed())
        return Outcome::failure(kFileErrorCode, QStringLiteral("Impossibile scrivere ") + quoted(target) +
                                                    QStringLiteral(": ") + lowerFirst(error.text));
    return {};
}

} // namespace zelvaro
