#pragma once

#include "LinePrinter.h"

#include <QList>
#include <QStringList>

namespace zelvaro::test {

// Captures the lines of each document and what it was; `result` is what endDocument() answers.
class FakePrinter : public LinePrinter
{
public:
    void printLine(const QString &line) override { current.append(line); }
    PrintResult endDocument(const PrintDocument &document, Progress * = nullptr) override
    {
        kinds.append(document);
        documents.append(current);
        current.clear();
        return result;
    }
    QStringList current;
    QList<QStringList> documents;
    QList<PrintDocument> kinds;
    PrintResult result;
};

} // namespace zelvaro::test
