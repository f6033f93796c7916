#pragma once

#include <QString>

namespace zelvaro {

// How a piece of work ended, the one way every folder tells the next: code 0 is success. A failure
// carries the number that the error report shows and an Italian sentence naming the cause. The
// archive's numbers are SQLite's result codes (the program's own checks use the nearest one); a
// file's and the printer's are the numbers the old program's run-time reported for them (below).
// A piece of work the user cancelled ends with a code of its own: not a success, never reported.
struct Outcome
{
    static constexpr int kCancelledCode = -1;

    int code = 0;
    QString text;

    bool failed() const { return code != 0; }
    explicit operator bool() const { return failed(); }
    bool cancelled() const { return code == kCancelledCode; }

    static Outcome failure(int code, const QString &text) { return Outcome{code, text}; }
    static Outcome cancelledByUser()
    {
        return Outcome{kCancelledCode, QStringLiteral("Operazione annullata")};
    }
};

// The run-time error numbers that Visual Basic, the old program's platform, gave a file that cannot be
// read or written (75, "Path/File access error") and a printout the printer does not take (482,
// "Printer error"). Users and their printed notes know them; the error report keeps showing them.
inline constexpr int kFileErrorCode = 75;
inline constexpr int kPrinterErrorCode = 482;

} // namespace zelvaro
