#include "FileHead.h"

#include "Texts.h"

#include <QFile>
#include <QFileInfo>

namespace zelvaro {

namespace {

constexpr char kSqliteMagic[] = "SQLite format 3"; // followed by a NUL byte
constexpr qsizetype kAccessSignatureOffset = 4;
constexpr char kJetSignature[] = "Standard Jet DB";
constexpr char kAceSignature[] = "Standard ACE DB";
constexpr qsizetype kVersionOffset = 0x14;

bool startsWithMagic(const QByteArray &head, const char *magic, qsizetype offset)
{
    const qsizetype length = qsizetype(qstrlen(magic));
    return head.size() > offset + length && head.mid(offset, length) == magic &&
           head.at(offset + length) == '\0';
}

} // namespace

QString fileKindProblem(const FileHead &head, FileKind wanted)
{
    Q_ASSERT(wanted == FileKind::Sqlite || wanted == FileKind::Access);
    if (head.kind == wanted)
        return {};
    switch (head.kind) {
    case FileKind::Missing:
        return QStringLiteral("non esiste");
    case FileKind::Folder:
        return QStringLiteral("è una cartella");
    case FileKind::Unreadable:
        return QStringLiteral("non si può leggere (") + head.error + QLatin1Char(')');
    case FileKind::Access:
        return QStringLiteral(
            "è un archivio Access: deve essere convertito con \"zelvaro-archivio importa\"");
    case FileKind::Sqlite:
        return QStringLiteral("è già un archivio SQLite: Zelvaro lo apre così com'è, non va importato");
    case FileKind::Other:
        break;
    }
    return wanted == FileKind::Sqlite ? QStringLiteral("non è un archivio SQLite")
                                      : QStringLiteral("non è un archivio Access (Jet): manca la firma "
                                                       "\"Standard Jet DB\" all'inizio del file");
}

FileHead readFileHead(const QString &path)
{
    FileHead head;
    const QFileInfo info(path);
    if (!info.exists())
        return head;
    if (info.isDir()) {
        head.kind = FileKind::Folder;
        return head;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        head.kind = FileKind::Unreadable;
        head.error = italianSystemText(file.errorString());
        return head;
    }
    head.size = file.size();
    const QByteArray bytes = file.read(32);
    if (startsWithMagic(bytes, kSqliteMagic, 0)) {
        head.kind = FileKind::Sqlite;
    } else if (bytes.size() > kVersionOffset &&
               (startsWithMagic(bytes, kJetSignature, kAccessSignatureOffset) ||
                startsWithMagic(bytes, kAceSignature, kAccessSignatureOffset))) {
        head.kind = FileKind::Access;
        head.accessVersion = static_cast<unsigned char>(bytes.at(kVersionOffset));
    } else {
        head.kind = FileKind::Other;
    }
    return head;
}

} // namespace zelvaro
