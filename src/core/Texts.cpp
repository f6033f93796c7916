#include "Texts.h"

#include <cerrno>
#include <clocale>
#include <cstring>
#include <locale.h>

namespace zelvaro {

namespace {

struct SystemError
{
    int errnum;
    const char *text;
};

// The causes a user meets when a file or folder cannot be read, written or made.
constexpr SystemError kSystemErrors[] = {
    {EPERM, "operazione non permessa"},
    {ENOENT, "file o cartella inesistente"},
    {EACCES, "permesso negato"},
    {EROFS, "il disco è protetto in scrittura"},
    {ENOSPC, "il disco è pieno"},
    {EDQUOT, "superata la quota di spazio su disco dell'utente"},
    {ENOTDIR, "una parte del percorso non è una cartella"},
    {EISDIR, "è una cartella"},
    {EEXIST, "il file esiste già"},
    {ENAMETOOLONG, "nome del file troppo lungo"},
    {ELOOP, "troppi collegamenti simbolici nel percorso"},
    {EIO, "errore di lettura o scrittura sul dispositivo"},
    {EBUSY, "dispositivo o risorsa occupata"},
    {EMFILE, "troppi file aperti dal programma"},
    {ENFILE, "troppi file aperti nel sistema"},
    {ETXTBSY, "file in uso da un programma in esecuzione"},
    {EXDEV, "il file non si può spostare su un altro disco"},
    {ENOMEM, "memoria insufficiente"},
    {EFBIG, "file troppo grande"},
    {ENOTEMPTY, "la cartella non è vuota"},
    {EINVAL, "argomento non valido"},
    {EAGAIN, "risorsa momentaneamente non disponibile"},
    {EINTR, "operazione interrotta da un segnale"},
    {ENODEV, "dispositivo inesistente"},
    {ENXIO, "dispositivo o indirizzo inesistente"},
    {ENOEXEC, "il file non è un programma eseguibile"},
    {ESTALE, "file di rete non più valido"},
    {EOPNOTSUPP, "operazione non supportata"},
    {ENOSYS, "funzione non disponibile nel sistema"},
    {EBADF, "descrittore di file non valido"},
    {EPIPE, "collegamento interrotto"},
    {ETIMEDOUT, "tempo di attesa scaduto"},
    {ENOLCK, "nessun blocco di file disponibile"},
};

// The system's text of `errnum` in the C locale, as English as Qt's own texts of errno values.
QString cLocaleText(int errnum)
{
    static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return QString::fromLocal8Bit(c ? strerror_l(errnum, c) : std::strerror(errnum));
}

} // namespace

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

QString systemErrorText(int errnum)
{
    for (const SystemError &known : kSystemErrors) {
        if (known.errnum == errnum)
            return QString::fromUtf8(known.text);
    }
    return QString::fromLocal8Bit(std::strerror(errnum));
}

QString italianSystemText(const QString &reported)
{
    const QString trimmed = reported.trimmed();
    for (const SystemError &known : kSystemErrors) {
        // Qt states some causes in English words of its own, the same as the C library's.
        for (const QString &system :
             {cLocaleText(known.errnum), QString::fromLocal8Bit(std::strerror(known.errnum))}) {
            if (trimmed.compare(system, Qt::CaseInsensitive) == 0)
                return QString::fromUtf8(known.text);
            const QString ending = QStringLiteral(": ") + system;
            if (trimmed.endsWith(ending, Qt::CaseInsensitive))
                return trimmed.chopped(system.size()) + QString::fromUtf8(known.text);
        }
    }
    return reported;
}

QString versionText(const QString &program, const QString &version)
{
    return program + QLatin1Char(' ') + version +
           QStringLiteral(
               "\nCopyright (C) 2026 Zelvaro maintainers\n"
               "Licenza GPLv3+: GNU GPL versione 3 o successiva <https://gnu.org/licenses/gpl.html>.\n"
               "Questo è software libero: si è liberi di modificarlo e ridistribuirlo.\n"
               "Non c'è ALCUNA GARANZIA, nei limiti consentiti dalla legge.\n");
}

} // namespace zelvaro
