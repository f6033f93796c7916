#pragma once

#include <QString>

namespace zelvaro {

// The outcome of an archive operation: code 0 is success. Otherwise `code` is SQLite's result
// code where SQLite reported the failure (the program's own checks use the nearest SQLite code)
// and `text` an Italian sentence naming the cause.
struct ArchiveError
{
    int code = 0;
    QString text;
    bool failed() const { return code != 0; }
    explicit operator bool() const { return failed(); }
};

} // namespace zelvaro
