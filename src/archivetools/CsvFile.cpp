#include "CsvFile.h"

#include "ArchiveFailure.h"
#include "FileHead.h"
#include "SafeNewFile.h"
#include "Texts.h"

#include <QRegularExpression>

#include <algorithm>

namespace zelvaro {

namespace {

constexpr qsizetype kBufferBytes = 64 * 1024;

bool beginsLikeFormula(QStringView text)
{
    if (text.isEmpty())
        return false;
    const char16_t first = text.front().unicode();
    return first == u'=' || first == u'+' || first == u'-' || first == u'@' || first == u'\t' ||
           first == u'\r' || first == u'\n';
}

// The bytes of a field that needs more than its characters: any text at all.
QByteArray anyField(QStringView text)
{
    // A spreadsheet evaluates a cell that begins like a formula: an apostrophe keeps it text.
    static const QRegularExpression plainNumber(QStringLiteral("^[+-]?[0-9]+([.,][0-9]+)?$"));
    const bool formulaLike = beginsLikeFormula(text) && !plainNumber.match(text.toString()).hasMatch();
    QByteArray bytes = formulaLike ? "'" + text.toUtf8() : text.toUtf8();
    if (!bytes.contains(';') && !bytes.contains('"') && !bytes.contains('\r') && !bytes.contains('\n'))
        return bytes;
    bytes.replace('"', "\"\"");
    return '"' + bytes + '"';
}

} // namespace

CsvWriter::CsvWriter(Sink sink) : m_sink(std::move(sink)), m_buffer(new char[kBufferBytes])
{
    put(kUtf8ByteOrderMark);
}

CsvWriter::~CsvWriter()
{
    delete[] m_buffer;
}

void CsvWriter::flush()
{
    if (!m_error.failed() && m_used > 0)
        m_error = m_sink(QByteArrayView(m_buffer, m_used));
    m_used = 0;
}

void CsvWriter::put(QByteArrayView bytes)
{
    while (!bytes.isEmpty()) {
        if (m_used == kBufferBytes)
            flush();
        const qsizetype n = std::min(bytes.size(), kBufferBytes - m_used);
        std::copy_n(bytes.data(), n, m_buffer + m_used);
        m_used += n;
        bytes = bytes.sliced(n);
    }
}

void CsvWriter::field(QStringView text)
{
    // Nearly every field is ASCII with nothing to quote: its characters are its bytes.
    const qsizetype size = text.size();
    if (size < kBufferBytes && !beginsLikeFormula(text)) {
        if (m_used + 1 + size > kBufferBytes)
            flush();
        char *out = m_buffer + m_used;
        if (m_fieldWritten)
            *out++ = ';';
        const char16_t *in = text.utf16();
        qsizetype i = 0;
        for (; i < size; ++i) {
            const char16_t c = in[i];
            if (c >= 0x80 || c == u';' || c == u'"' || c == u'\r' || c == u'\n')
                break;
            out[i] = char(c);
        }
        if (i == size) {
            m_used = out + size - m_buffer;
            m_fieldWritten = true;
            return;
        }
    }
    if (m_fieldWritten)
        put(";");
    m_fieldWritten = true;
    put(anyField(text));
}

void CsvWriter::endLine()
{
    if (m_used + 2 > kBufferBytes)
        flush();
    m_buffer[m_used++] = '\r';
    m_buffer[m_used++] = '\n';
    m_fieldWritten = false;
}

void CsvWriter::line(const QStringList &fields)
{
    for (const QString &text : fields)
        field(text);
    endLine();
}

Outcome CsvWriter::finish()
{
    flush();
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
