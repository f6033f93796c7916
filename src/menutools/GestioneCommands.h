#pragma once

#include "PlatformServices.h"

#include <QString>

namespace zelvaro {

class Archive;

// The archive tools of the "Gestione" menu, on the archive the program has open. Each runs the code
// of its zelvaro-archivio command, with the same checks and sentences:
//  - "Esporta in CSV…": a save dialog, then the CSV of "esporta";
//  - "Copia di sicurezza…": a save dialog, then the consistent copy of "copia";
//  - "Importa archivio Access…": the old Access file, a new destination, then "importa" run by the
//    tool itself as a child process, and the question whether to use the new archive from the next
//    start, which rewrites the ZELVARO.INI that start-up read.
// Every dialog starts in the folder it chose last, or in the user's documents folder.
// The export and the import show the progress service's window; cancelling leaves no file behind.
// The program goes on with the archive it has open in any case.
class GestioneCommands
{
public:
    // `configurationPath` is the ZELVARO.INI start-up read (or would have read); `toolPath` the
    // zelvaro-archivio program, which is installed beside this one.
    GestioneCommands(Archive &archive, const Services &services, QString configurationPath, QString toolPath);

    void esportaCsv();
    void copiaDiSicurezza();
    void importaAccess();

private:
    // What the tool said and how it ended.
    struct ToolRun
    {
        bool cancelled = false;
        bool succeeded = false;
        QStringList output;   // its standard output, without the progress lines
        QStringList messages; // its standard error, without "zelvaro-archivio: ", with a capital
    };
    ToolRun runImport(const QString &source, const QString &destination);
    void useFromNextStart(const QString &newArchive);
    void show(const QString &text, MessageBoxService::Icon icon);
    // `name` in the folder where `dialog` starts.
    QString proposedPath(const QString &dialog, const QString &name) const;
    // `path`, chosen in `dialog` (empty: cancelled); its folder is remembered for the next time.
    QString chosen(const QString &dialog, const QString &path);

    Archive &m_archive;
    Services m_services;
    QString m_configurationPath;
    QString m_toolPath;
};

} // namespace zelvaro
