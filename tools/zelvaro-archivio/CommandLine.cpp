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

// Writes the CSV of `produce` to standard output as it is made, or to `target` when it is given
// (which it replaces only once complete, never an archive), then says `done()`. A failure of
// `produce` is a read failure of `path`.
int writeCsv(const CsvProducer &produce, const QString &path, const QString &target,
             const std::function<QString()> &done, QIODevice &out, QIODevice &err)
{
    Outcome readError;
    const auto read = [&](CsvWriter &csv) { return readError = produce(csv); };
    if (target.isEmpty()) {
        CsvWriter csv([&out](QByteArrayView bytes) {
            if (out.write(bytes.data(), bytes.size()) == bytes.size())
                return Outcome();
            return Outcome::failure(kFileErrorCode,
                                    QStringLiteral("impossibile scrivere sullo standard output"));
        });
        if (read(csv).failed())
            return readFailure(err, path, readError);
        if (const Outcome written = csv.finish())
            return fail(err, written.text);
        return kExitOk;
    }
    const Outcome written = writeCsvFile(target, read);
    if (readError.failed())
        return readFailure(err, path, readError);
    if (written.failed())
        return fail(err, lowerFirst(written.text));
    writeLine(out, done());
    return kExitOk;
}

std::unique_ptr<Archive> openForReading(ArchiveReading &reading, const QString &path, QIODevice &err)
{
    if (const Outcome error = prepareReading(reading, path, err)) {
        fail(err, QStringLiteral("impossibile aprire l'archivio: ") + error.text);
        return nullptr;
    }
    return openArchive(path, err);
}

QString groupsText(qsizetype count, bool weeks)
{
    const QString what = weeks ? (count == 1 ? QStringLiteral(" settimana") : QStringLiteral(" settimane"))
                               : (count == 1 ? QStringLiteral(" mese") : QStringLiteral(" mesi"));
    return QString::number(count) + what;
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
