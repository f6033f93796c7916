#pragma once

#include "Outcome.h"

#include <QByteArray>
#include <QString>

namespace zelvaro {

// No archive path is longer than this many bytes (the system's own limit); a longer first line
// cannot be one, so reading stops there instead of taking in a file of any size.
inline constexpr qsizetype kMaxArchivePathBytes = 4096;

// The first line of a file: everything up to the first carriage return or line feed, without it.
struct FirstLine
{
    enum class Status {
        Read,    // `bytes` is the whole line
        Missing, // the file cannot be opened or read, or holds no line at all (0 bytes)
        TooLong, // longer than kMaxArchivePathBytes: `bytes` holds only its first bytes
    };
    Status status = Status::Missing;
    QByteArray bytes;
};

// Reads at most kMaxArchivePathBytes + 1 bytes of the file, whatever its size.
FirstLine readFirstLineBytes(const QString &path);

// Text of a line from a configuration file: UTF-8 when the bytes are valid UTF-8 (an initial
// byte-order mark dropped), else Windows-1252, the single-byte set such files were written in.
QString decodeConfigurationLine(const QByteArray &bytes);

// The first line of a configuration file as text.
struct ConfigurationLine
{
    FirstLine::Status status = FirstLine::Status::Missing;
    QString text; // Read: the line; TooLong: its first characters, for a message
};

// readFirstLineBytes() decoded with decodeConfigurationLine().
ConfigurationLine readConfigurationLine(const QString &path);

// Makes `archivePath` the first line of the configuration file `iniPath`: what follows the first
// line is kept byte for byte, and so is its line end (CR LF, LF or CR); a missing file is written
// as the path and LF. The text is written in UTF-8 into a new file beside the old one, which it
// replaces in one rename: on any failure the old file stays as it was. A path that could not be
// read back as the same first line (a CR or LF in it, more than kMaxArchivePathBytes bytes, an
// initial byte-order mark) is refused. A failure (kFileErrorCode) gives the cause, naming the file,
// in a sentence to follow a colon.
Outcome replaceConfigurationLine(const QString &iniPath, const QString &archivePath);

} // namespace zelvaro
