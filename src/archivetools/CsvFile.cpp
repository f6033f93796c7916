#include "CsvFile.h"

#include "ArchiveFailure.h"
#include "FileHead.h"
#include "SafeNewFile.h"
#include "Texts.h"

#include <QRegularExpression>

namespace zelvaro {

namespace {

constexpr qsizetype kBufferBytes = 64 * 1024;

bool beginsLikeFormula(QStringView text)
{
    if (text.isEmpty())
        return false;
    const char16_t first = text.front().unicode();
    return first == u'=' || first == u'+' || first == u'-' || first == u'@' || first == u'\t' ||
           first == u'\r';
}

// The field as csvField's rules make it, for any text.
void appendAnyField(QByteArray &csv, QStringView text)
{
    // A spreadsheet evaluates a cell that begins like a formula: an apostrophe keeps it text.
    static const QRegularExpression plainNumber(QStringLiteral("^[+-]?[0-9]+([.,][0-9]+)?$"));
    const bool formulaLike = beginsLikeFormula(text) && !plainNumber.match(text.toString()).hasMatch();
    QByteArray bytes = formulaLike ? "'" + text.toUtf8() : text.toUtf8();
    if (!bytes.contains(';') && !bytes.contains('"') && !bytes.contains('\r') && !bytes.contains('\n')) {
        csv += bytes;
        return;
    }
    bytes.replace('"', "\"\"");
    csv += '"' + bytes + '"';
}

} // namespace

void appendCsvField(QByteArray &csv, QStringView text)
{
    // Nearly every field is ASCII with nothing to quote: its characters are its bytes.
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= 0x80 || u == u';' || u == u'"' || u == u'\r' || u == u'\n')
            return appendAnyField(csv, text);
    }
    if (beginsLikeFormula(text))
        return appendAnyField(csv, text);
    const qsizetype start = csv.size();
    csv.resize(start + text.size());
    char *out = csv.data() + start;
    for (const QChar c : text)
        *out++ = char(c.unicode());
}

CsvWriter::CsvWriter(Sink sink) : m_sink(std::move(sink))
{
    m_buffer.reserve(kBufferBytes + 4096);
    m_buffer += kUtf8ByteOrderMark;
}

void CsvWriter::field(QStringView text)
{
    if (m_fieldWritten)
        m_buffer += ';';
    m_fieldWritten = true;
    appendCsvField(m_buffer, text);
}

void CsvWriter::endLine()
{
    m_buffer += "\r\n";
    m_fieldWritten = false;
    if (m_buffer.size() < kBufferBytes)
        return;
    if (!m_error.failed())
        m_error = m_sink(m_buffer);
    m_buffer.resize(0); // keeps its capacity
}

void CsvWriter::line(const QStringList &fields)
{
    for (const QString &text : fields)
        field(text);
    endLine();
}

Outcome CsvWriter::finish()
{
    if (!m_error.failed() && !m_buffer.isEmpty())
        m_error = m_sink(m_buffer);
    m_buffer.resize(0);
    return m_error;
}

Outcome csvTargetRefusal(const QString &target)
{
    const FileHead head = readFileHead(target);
    if (head.kind == FileKind::Sqlite || head.kind == FileKind::Access)
        return Outcome::failure(kFileErrorCode,
                                quoted(target) + QStringLiteral(" è un archivio: non viene sovrascritto"));
    if (head.kind == FileKind::Folder)
        return Outcome::failure(kFileErrorCode, quoted(target) + QStringLiteral(" è una cartella"));
    return {};
}

Outcome writeCsvFile(const QString &target, const CsvProducer &produce)
{
    if (Outcome refusal = csvTargetRefusal(target))
        return refusal;
    SafeNewFile file(target, SafeNewFile::Existing::Replace);
    Outcome error = file.create();
    if (!error.failed()) {
        CsvWriter csv([&file](QByteArrayView bytes) { return file.append(bytes); });
        if (const Outcome produced = produce(csv))
            return produced; // the hidden file goes with `file`
        error = csv.finish();
    }
    if (!error.failed())
        error = file.commit();
    if (error.failed())
        return Outcome::failure(kFileErrorCode, QStringLiteral("Impossibile scrivere ") + quoted(target) +
                                                    QStringLiteral(": ") + lowerFirst(error.text));
    return {};
}

} // namespace zelvaro
