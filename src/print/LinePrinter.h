#pragma once

#include <QString>

namespace zelvaro {

// The outcome of ending a printed document. code 0 is success; pdfPath is set when no printer
// was there and the document went to that PDF file instead.
struct PrintResult
{
    int code = 0;
    QString text; // Italian, naming the cause, when code != 0
    QString pdfPath;
    bool failed() const { return code != 0; }
};

// What a printed document is: the name of the print job (and title of a PDF), and the start of
// the name of the PDF file written instead when no printer takes it ("<stem>_AAAAMMGG_HHMMSS.pdf").
struct PrintDocument
{
    QString title;
    QString pdfStem;
};

// The hours list printed by "Stampa elenco".
inline PrintDocument hoursListDocument()
{
    return {QStringLiteral("ZELVARO - elenco ore"), QStringLiteral("ZELVARO_elenco")};
}

// The printer as the printout sees it: lines in, each below the previous one, a full page
// continuing on the next; ending the document sends it.
class LinePrinter
{
public:
    virtual ~LinePrinter() = default;
    virtual void printLine(const QString &line) = 0;
    // Sends what was printed as `document` and starts a fresh one.
    virtual PrintResult endDocument(const PrintDocument &document) = 0;
};

} // namespace zelvaro
