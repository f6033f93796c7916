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

// The printer as the printout sees it: lines in, each below the previous one, a full page
// continuing on the next; ending the document sends it.
class LinePrinter
{
public:
    virtual ~LinePrinter() = default;
    virtual void printLine(const QString &line) = 0;
    // Sends what was printed and starts a fresh document.
    virtual PrintResult endDocument() = 0;
};

} // namespace zelvaro
