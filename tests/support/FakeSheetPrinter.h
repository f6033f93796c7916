#pragma once

#include "SheetPrinter.h"

#include <QList>

namespace zelvaro::test {

// Records every sheet printed and what it was; `result` is what print() answers.
class FakeSheetPrinter : public SheetPrinter
{
public:
    PrintResult print(const SignedSheet &sheet, const PrintDocument &document) override
    {
        sheets.append(sheet);
        documents.append(document);
        return result;
    }
    QList<SignedSheet> sheets;
    QList<PrintDocument> documents;
    PrintResult result;
};

} // namespace zelvaro::test
