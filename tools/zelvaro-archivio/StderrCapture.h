#pragma once

#include <QStringList>

#include <cstdio>

namespace zelvaro {

// Sends what is written to the standard error stream (descriptor 2) into a temporary file for as
// long as it lives, so that a library's diagnostics become part of the tool's own message.
class StderrCapture
{
public:
    StderrCapture();
    ~StderrCapture();
    StderrCapture(const StderrCapture &) = delete;
    StderrCapture &operator=(const StderrCapture &) = delete;

    // Ends the capture and returns the non-empty lines written meanwhile (at most `maxLines`).
    QStringList finish(int maxLines = 20);

private:
    void restore();
    std::FILE *m_file = nullptr;
    int m_saved = -1;
};

} // namespace zelvaro
