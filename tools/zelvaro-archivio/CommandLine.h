#pragma once

#include "Archive.h"
#include "ArchivioCommands.h"
#include "CsvFile.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QIODevice;

namespace zelvaro {

// What every command of zelvaro-archivio shares: how it is described and how it speaks.

inline const QString kProgram = QStringLiteral("zelvaro-archivio");

struct Command
{
    QString name;
    const char *help;
    int minArguments, maxArguments;
    std::function<int(const QStringList &, QIODevice &, QIODevice &)> run;
    QStringList options = {}; // words that may stand anywhere and do not count as arguments
};

// The text as UTF-8; with a line end.
void write(QIODevice &device, const QString &text);
void writeLine(QIODevice &device, const QString &text);

// "zelvaro-archivio: <message>" on the error stream; returns `status`.
int fail(QIODevice &err, const QString &message, int status = kExitFailure);

// A wrong command line: the message, where to read the help, and exit status 2.
int usageError(QIODevice &err, const QString &command, const QString &message);

class ArchiveReading;

// What a crash left beside the archive, before a command reads it: an interrupted change is rolled
// back when the command may write the archive, and said on `err`. Else the failure, with what to do.
Outcome prepareReading(ArchiveReading &reading, const QString &path, QIODevice &err);

// A read-only command's opening: prepareReading(), then openArchive(); on failure reports it and
// returns null. `reading` must outlive the archive.
std::unique_ptr<Archive> openForReading(ArchiveReading &reading, const QString &path, QIODevice &err);

// "1 mese", "14 mesi", "1 settimana", "53 settimane": the rows of a CSV by month or by ISO week.
QString groupsText(qsizetype count, bool weeks);

// Opens the archive; on failure reports it ("impossibile aprire l'archivio «…»: …") and returns null.
std::unique_ptr<Archive> openArchive(const QString &path, QIODevice &err,
                                     Archive::OpenMode mode = Archive::OpenMode::ReadOnly);

// Writes the CSV of `produce` to standard output as it is made, or to `target` when it is given
// (which it replaces only once complete, never an archive), then says `done()`. A failure of
// `produce` is a read failure of `path`.
int writeCsv(const CsvProducer &produce, const QString &path, const QString &target,
             const std::function<QString()> &done, QIODevice &out, QIODevice &err);

// "errore nella lettura di «path»: " and the cause, exit status 1.
int readFailure(QIODevice &err, const QString &path, const Outcome &error);

} // namespace zelvaro
