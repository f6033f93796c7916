#include "ConfigurationFile.h"

#include "PrivateFiles.h"
#include "Texts.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

#include <algorithm>
#include <array>

namespace zelvaro {

namespace {

// Windows-1252 differs from Latin-1 only in 0x80..0x9F; the five unassigned bytes keep their
// C1 code points, as Windows itself maps them.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString decodeWindows1252(const QByteArray &bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        text.append(byte >= 0x80 && byte <= 0x9F ? QChar(kCp1252High[byte - 0x80]) : QChar(byte));
    }
    return text;
}

} // namespace

FirstLine readFirstLineBytes(const QString &path)
{
    FirstLine line;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return line;
    bool anyByte = false;
    std::array<char, 4096> buffer;
    for (;;) {
        const qint64 wanted =
            std::min<qint64>(qint64(buffer.size()), kMaxArchivePathBytes + 1 - line.bytes.size());
        const qint64 got = file.read(buffer.data(), wanted);
        if (got < 0)
            return FirstLine{};
        if (got == 0)
            break;
        anyByte = true;
        const char *begin = buffer.data();
        const char *end = begin + got;
        const char *lineEnd = std::find_if(begin, end, [](char c) { return c == '\r' || c == '\n'; });
        line.bytes.append(begin, lineEnd - begin);
        if (lineEnd != end)
            break;
        if (line.bytes.size() > kMaxArchivePathBytes) {
            line.bytes.truncate(kMaxArchivePathBytes);
            line.status = FirstLine::Status::TooLong;
            return line;
        }
    }
    if (anyByte)
        line.status = FirstLine::Status::Read;
    return line;
}

QString decodeConfigurationLine(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return decodeWindows1252(bytes);
}

ConfigurationLine readConfigurationLine(const QString &path)
{
    FirstLine line = readFirstLineBytes(path);
    if (line.status == FirstLine::Status::TooLong) {
        // Cut at a character boundary, so that a UTF-8 line is not taken for Windows-1252.
        qsizetype size = line.bytes.size();
        while (size > 0 && (static_cast<unsigned char>(line.bytes.at(size - 1)) & 0xC0) == 0x80)
            --size;
        if (size > 0 && static_cast<unsigned char>(line.bytes.at(size - 1)) >= 0xC0)
            --size;
        line.bytes.truncate(size);
    }
    return ConfigurationLine{line.status, decodeConfigurationLine(line.bytes)};
}

Outcome replaceConfigurationLine(const QString &iniPath, const QString &archivePath)
{
    const QByteArray line = archivePath.toUtf8();
    if (archivePath.contains(QLatin1Char('\r')) || archivePath.contains(QLatin1Char('\n')))
        return Outcome::failure(
            kFileErrorCode,
            QStringLiteral("il percorso ") + quoted(archivePath) +
                QStringLiteral(" contiene un ritorno a capo: non può essere la prima riga di ") +
                quoted(iniPath));
    if (line.isEmpty() || line.size() > kMaxArchivePathBytes || decodeConfigurationLine(line) != archivePath)
        return Outcome::failure(kFileErrorCode,
                                QStringLiteral("il percorso ") + quoted(archivePath) +
                                    QStringLiteral(" non si può rileggere così com'è dalla prima riga di ") +
                                    quoted(iniPath));

    // What follows the old first line, its line end included; a missing file has none.
    QByteArray rest = "\n";
    QFile old(iniPath);
    const bool existed = old.exists();
    if (existed) {
        if (!old.open(QIODevice::ReadOnly))
            return Outcome::failure(kFileErrorCode, QStringLiteral("impossibile leggere ") + quoted(iniPath) +
                                                        QStringLiteral(" (") +
                                                        italianSystemText(old.errorString()) +
                                                        QLatin1Char(')'));
        const QByteArray content = old.readAll();
        if (old.error() != QFileDevice::NoError)
            return Outcome::failure(kFileErrorCode, QStringLiteral("impossibile leggere ") + quoted(iniPath) +
                                                        QStringLiteral(" (") +
                                                        italianSystemText(old.errorString()) +
                                                        QLatin1Char(')'));
        const auto end =
            std::find_if(content.begin(), content.end(), [](char c) { return c == '\r' || c == '\n'; });
        rest = content.sliced(end - content.begin());
    }
    // QSaveFile writes beside the file and renames over it on commit; it follows a symbolic link.
    QSaveFile ini(iniPath);
    const QByteArray bytes = line + rest;
    // A new file is the user's alone; QSaveFile gives a replaced one the old file's mode.
    if (!ini.open(QIODevice::WriteOnly) || (!existed && !makePrivate(ini.handle())) ||
        ini.write(bytes) != bytes.size() || !ini.commit())
        return Outcome::failure(kFileErrorCode, QStringLiteral("impossibile scrivere ") + quoted(iniPath) +
                                                    QStringLiteral(" (") +
                                                    italianSystemText(ini.errorString()) + QLatin1Char(')'));
    return {};
}

} // namespace zelvaro
