#include "CommandLine.h"

#include "ArchiveReading.h"

#include "ArchivioCommands.h"
#include "Texts.h"
#include "ToolTexts.h"

#include <QIODevice>

namespace zelvaro {

void write(QIODevice &device, const QString &text)
{
    device.write(text.toUtf8());
}

void writeLine(QIODevice &device, const QString &text)
{
    write(device, text + QLatin1Char('\n'));
}

int fail(QIODevice &err, const QString &message, int status)
{
    writeLine(err, kProgram + QStringLiteral(": ") + message);
    return status;
}

int usageError(QIODevice &err, const QString &command, const QString &message)
{
    const QString help = command.isEmpty()
                             ? kProgram + QStringLiteral(" --help")
                             : kProgram + QLatin1Char(' ') + command + QStringLiteral(" --help");
    return fail(err, message + QStringLiteral(" (vedere \"") + help + QStringLiteral("\")"), kExitUsage);
}

Outcome prepareReading(ArchiveReading &reading, const QString &path, QIODevice &err)
{
    const Outcome error = reading.prepare();
    if (!error && reading.rolledBack())
        writeLine(err, kProgram + QStringLiteral(": una modifica di ") + quoted(path) +
                           QStringLiteral(" rimasta interrotta è stata annullata prima di leggerlo, come fa "
                                          "Zelvaro all'apertura"));
    return error;
}

std::unique_ptr<Archive> openArchive(const QString &path, QIODevice &err, Archive::OpenMode mode)
{
    Outcome error;
    std::unique_ptr<Archive> archive = Archive::open(path, &error, mode);
    if (!archive)
        fail(err, QStringLiteral("impossibile aprire l'archivio ") + quoted(path) + QStringLiteral(": ") +
                      lowerFirst(error.text));
    return archive;
}

int readFailure(QIODevice &err, const QString &path, const Outcome &error)
{
    return fail(err, readFailureText(path, error));
}

} // namespace zelvaro
