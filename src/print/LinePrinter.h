#pragma once

#include "Outcome.h"

#include <QString>

namespace zelvaro {

class Progress;

// How ending a printed document went: the Outcome of the printout (a failure's code is
// kPrinterErrorCode or kFileErrorCode) and, on success, where it went: a printer (jobId set) or the
// PDF file pdfPath; `note` says what the user should hear about it.
struct PrintResult : Outcome
{
    enum class Note {
        None,        // sent to the default printer; with pdfPath: no printer at all
        NoDefault,   // no printer is the default: sent to `printer`, the first of several
        Stopped,     // sent to `printer`, which is stopped: the job waits in its queue
        Refused,     // `printer` took no job (`reason` says why, empty when it accepts none): PDF
        Unreachable, // the print service does not answer while `printer` is the default: PDF
    };
    QString pdfPath{};
    Note note = Note::None;
    QString printer{};
    QString reason{}; // Refused: the print service's own words; Unreachable: the service's address
    int jobId = 0;    // the print service's number of the job

    static PrintResult from(const Outcome &outcome)
    {
        PrintResult result;
        static_cast<Outcome &>(result) = outcome;
        return result;
    }
};

// What a printed document is: the name of the print job (and title of a PDF), the start of the
// name of the PDF file written instead when no printer takes it ("<stem>_AAAAMMGG_HHMMSS.pdf"),
// and what the messages call it (masculine singular, with its article).
struct PrintDocument
{
    QString title;
    QString pdfStem;
    QString what = QStringLiteral("il documento");
};

// The hours list printed by "Stampa elenco".
inline PrintDocument hoursListDocument()
{
    return {QStringLiteral("ZELVARO - elenco ore"), QStringLiteral("ZELVARO_elenco"),
            QStringLiteral("l'elenco")};
}

// The printer as the printout sees it: lines in, each below the previous one, a full page
// continuing on the next; ending the document sends it.
// Why `result` went to a PDF file when a printer was meant to take it; empty when there was none.
QString pdfFallbackCause(const PrintResult &result);

// What the window says once `document` went out with `result` (which did not fail): empty when it
// went to the default printer; otherwise which printer took it, or why it went to the PDF file.
QString printNotice(const PrintResult &result, const PrintDocument &document);

class LinePrinter
{
public:
    virtual ~LinePrinter() = default;
    virtual void printLine(const QString &line) = 0;
    // Sends what was printed as `document` and starts a fresh one. `progress` (may be null) hears of
    // the lines laid out; when it cancels, nothing is sent nor written and the result is cancelled().
    virtual PrintResult endDocument(const PrintDocument &document, Progress *progress = nullptr) = 0;
};

} // namespace zelvaro
