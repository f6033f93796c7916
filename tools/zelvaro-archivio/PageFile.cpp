#include "PageFile.h"

#include "ArchiveFailure.h"
#include "Texts.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>

namespace zelvaro {

namespace {

constexpr int kHeaderSize = 100;
constexpr char kMagic[] = "SQLite format 3"; // and its NUL: the first 16 bytes
constexpr int kSmallestPage = 512, kLargestPage = 65536;
constexpr int kMinimumCell = 4; // SQLite never makes a cell smaller

bool validPageSize(int size)
{
    return size >= kSmallestPage && size <= kLargestPage && (size & (size - 1)) == 0;
}

quint8 byteAt(const QByteArray &bytes, int offset)
{
    return quint8(bytes.at(offset));
}

} // namespace

quint32 readBigEndian(const QByteArray &bytes, int offset, int size)
{
    quint32 value = 0;
    for (int i = 0; i < size; ++i)
        value = (value << 8) | byteAt(bytes, offset + i);
    return value;
}

bool readVarint(const QByteArray &bytes, int *offset, int end, quint64 *value)
{
    end = std::min(end, int(bytes.size()));
    quint64 result = 0;
    for (int i = 0; i < 9; ++i) {
        if (*offset + i >= end)
            return false;
        const quint8 byte = byteAt(bytes, *offset + i);
        if (i == 8) { // the ninth byte gives all its 8 bits
            result = (result << 8) | byte;
            *offset += 9;
            *value = result;
            return true;
        }
        result = (result << 7) | (byte & 0x7f);
        if ((byte & 0x80) == 0) {
            *offset += i + 1;
            *value = result;
            return true;
        }
    }
    return false;
}

int BTreePage::cellOffset(int index) const
{
    const int pointer = headerOffset + headerSize() + 2 * index;
    if (index < 0 || index >= cellCount || pointer + 2 > std::min(usable, int(bytes.size())))
        return -1;
    const int offset = int(readBigEndian(bytes, pointer, 2));
    if (offset < headerOffset + headerSize() || offset + kMinimumCell > usable)
        return -1;
    return offset;
}

std::optional<BTreePage> parseBTreePage(const QByteArray &bytes, int headerOffset, int usable, bool strict)
{
    const int limit = std::min(usable, int(bytes.size()));
    if (headerOffset + 8 > limit)
        return std::nullopt;
    BTreePage page;
    page.bytes = bytes;
    page.usable = usable;
    page.headerOffset = headerOffset;
    const quint8 kind = byteAt(bytes, headerOffset);
    if (kind != quint8(PageKind::IndexInterior) && kind != quint8(PageKind::TableInterior) &&
        kind != quint8(PageKind::IndexLeaf) && kind != quint8(PageKind::TableLeaf))
        return std::nullopt;
    page.kind = PageKind(kind);
    if (headerOffset + page.headerSize() > limit)
        return std::nullopt;
    page.cellCount = int(readBigEndian(bytes, headerOffset + 3, 2));
    const int pointersEnd = headerOffset + page.headerSize() + 2 * page.cellCount;
    if (pointersEnd > limit) {
        if (strict)
            return std::nullopt;
        // A damaged count: the pointers are those before the first one that leads nowhere (the
        // free space after the array is mostly zeros).
        const int pointers = headerOffset + page.headerSize();
        page.cellCount = 0;
        while (pointers + 2 * page.cellCount + 2 <= limit) {
            const int offset = int(readBigEndian(bytes, pointers + 2 * page.cellCount, 2));
            if (offset < pointers + 2 * page.cellCount + 2 || offset + kMinimumCell > usable)
                break;
            ++page.cellCount;
        }
    }
    if (page.isInterior())
        page.rightChild = readBigEndian(bytes, headerOffset + 8, 4);
    if (!strict)
        return page;

    const int freeblock = int(readBigEndian(bytes, headerOffset + 1, 2));
    int contentStart = int(readBigEndian(bytes, headerOffset + 5, 2));
    if (contentStart == 0)
        contentStart = 65536;
    if ((freeblock != 0 && (freeblock < pointersEnd || freeblock > usable - 4)) ||
        contentStart < pointersEnd || contentStart > usable || byteAt(bytes, headerOffset + 7) > 60 ||
        (page.isInterior() && page.rightChild == 0))
        return std::nullopt;
    for (int i = 0; i < page.cellCount; ++i) {
        const int offset = int(readBigEndian(bytes, headerOffset + page.headerSize() + 2 * i, 2));
        if (offset < contentStart || offset + kMinimumCell > usable)
            return std::nullopt;
    }
    return page;
}

Outcome PageFile::open(const QString &path)
{
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadOnly))
        return Outcome::failure(SQLITE_CANTOPEN, QStringLiteral("impossibile leggere ") + quoted(path) +
                                                     QStringLiteral(" (") + m_file.errorString() +
                                                     QLatin1Char(')'));
    const qint64 size = m_file.size();
    const QByteArray header = m_file.read(kHeaderSize);
    if (header.size() == kHeaderSize && header.startsWith(QByteArray(kMagic, sizeof kMagic))) {
        int pageSize = int(readBigEndian(header, 16, 2));
        if (pageSize == 1)
            pageSize = 65536;
        const int reserved = byteAt(header, 20);
        const int encoding = int(readBigEndian(header, 56, 4));
        m_headerSound = validPageSize(pageSize) && pageSize - reserved >= 480 && byteAt(header, 21) == 64 &&
                        byteAt(header, 22) == 32 && byteAt(header, 23) == 32 && encoding >= 1 &&
                        encoding <= 3;
        if (m_headerSound) {
            m_pageSize = pageSize;
            m_usable = pageSize - reserved;
            m_textEncoding = encoding;
            m_freelistTrunk = readBigEndian(header, 32, 4);
            m_freelistPages = readBigEndian(header, 36, 4);
            // The count is valid only when written by a SQLite that keeps it (as SQLite decides).
            if (readBigEndian(header, 24, 4) == readBigEndian(header, 92, 4))
                m_databasePages = readBigEndian(header, 28, 4);
        }
    }
    // Two flipped bits can turn one valid page size into another: the pages have the last word.
    const int guessed = guessPageSize(size);
    if (m_headerSound && guessed != 0 && guessed != m_pageSize) {
        m_headerSound = false;
        m_textEncoding = 1;
        m_freelistTrunk = m_freelistPages = m_databasePages = 0;
    }
    if (!m_headerSound) {
        m_pageSize = m_usable = guessed;
        if (m_pageSize == 0)
            return Outcome::failure(
                SQLITE_NOTADB, quoted(path) + QStringLiteral(" non è un archivio SQLite: nessuna sua "
                                                             "parte si legge come pagina di un archivio"));
    }
    m_pageCount = quint32((size + m_pageSize - 1) / m_pageSize);
    if (m_databasePages == 0 || m_databasePages > m_pageCount)
        m_databasePages = m_pageCount;
    return {};
}

// Reads the file once, in blocks of the largest page size, and counts for every candidate size the
// pages that pass the strict b-tree check; the smallest of the best sizes wins (a larger multiple of
// the true size also reads as pages, but fewer of them).
int PageFile::guessPageSize(qint64 fileSize)
{
    constexpr std::array<int, 8> kSizes = {512, 1024, 2048, 4096, 8192, 16384, 32768, 65536};
    std::array<qint64, kSizes.size()> counts{};
    for (qint64 block = 0; block < fileSize; block += kLargestPage) {
        if (!m_file.seek(block))
            break;
        const QByteArray bytes = m_file.read(kLargestPage);
        for (std::size_t s = 0; s < kSizes.size(); ++s) {
            const int size = kSizes[s];
            for (int start = 0; start + size <= bytes.size(); start += size) {
                const int headerOffset = block == 0 && start == 0 ? kHeaderSize : 0;
                if (parseBTreePage(bytes.mid(start, size), headerOffset, size, true))
                    ++counts[s];
            }
        }
    }
    const auto best = std::max_element(counts.begin(), counts.end()); // the first of equals
    return *best == 0 ? 0 : kSizes[std::size_t(best - counts.begin())];
}

QByteArray PageFile::page(quint32 number) const
{
    if (number == 0 || number > m_pageCount || !m_file.seek(qint64(number - 1) * m_pageSize))
        return {};
    return m_file.read(m_pageSize);
}

std::optional<BTreePage> PageFile::btreePage(quint32 number) const
{
    const QByteArray bytes = page(number);
    std::optional<BTreePage> parsed = parseBTreePage(bytes, number == 1 ? kHeaderSize : 0, m_usable, false);
    if (parsed) {
        parsed->number = number;
        parsed->complete = bytes.size() == m_pageSize;
    }
    return parsed;
}

} // namespace zelvaro
