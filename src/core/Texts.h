#pragma once

#include <QString>

namespace zelvaro {

// How every message of the program and its tools names a file and joins its sentences.

// «path», the way every message names a file, a folder or a printer.
QString quoted(const QString &path);

// A sentence with its first letter in small case, to follow a colon ("…: il file non esiste").
QString lowerFirst(const QString &text);

// A sentence with its first letter in capital, to stand alone in a message box.
QString upperFirst(const QString &text);

// The cause of a failed system call, in small case to follow a sentence: the usual errno values (a
// missing file, a denied permission, a full disk, a path through a file...) in Italian words, any
// other in the system's own words.
QString systemErrorText(int errnum);

// A library's report of a system error (QFile::errorString(), QProcess::errorString(),
// std::error_code::message()) in Italian: the system's text of one of the usual errno values, as
// the whole report or at its end after ": " ("execve: No such file or directory"), becomes the
// words of systemErrorText(); any other report is returned as it is.
QString italianSystemText(const QString &reported);

// What "--version" prints for `program` at `version`: the name and version, then the copyright and
// the licence (GPL-3.0-or-later) as GNU programs state them, one line each, every line ended.
QString versionText(const QString &program, const QString &version);

} // namespace zelvaro
