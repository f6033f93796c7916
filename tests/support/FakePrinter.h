#pragma once

#include "LinePrinter.h"

#include <QList>
#include <QStringList>

namespace zelvaro::test {

// Captures the lines of each document; `result` is what endDocument() answers.
class FakePrinter : public LinePrinter
{
public:
    void printLine(const QString &line) override { current.append(line); }
    PrintResult endDocument() override
    {
        documents.append(current);
        current.clear();
        return result;
    }
    QStringList current;
    QList<QStringList> documents;
    PrintResult result;
};

} // namespace zelvaro::test
