#pragma once

#include "SheetPrinter.h"

#include <QList>

namespace zelvaro::test {

// Keeps each timesheet to sign and what it was; `result` is what print() answers.
class FakeSheetPrinter : public SheetPrinter
{
public:
    PrintResult print(const SignedSheet &sheet, const PrintDocument &document) override
    {
        sheets.append(sheet);
        kinds.append(document);
        return result;
    }
    QList<SignedSheet> sheets;
    QList<PrintDocument> kinds;
    PrintResult result;
};

} // namespace zelvaro::test
