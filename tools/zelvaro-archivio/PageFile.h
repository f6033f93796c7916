#pragma once

#include "Outcome.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <optional>

namespace zelvaro {

// The flag byte that starts the header of a b-tree page.
enum class PageKind : quint8 { IndexInterior = 2, TableInterior = 5, IndexLeaf = 10, TableLeaf = 13 };

// One b-tree page as read, with the fields of its header that lie within it. Nothing here trusts
// the page: every offset handed out has been checked against its usable bytes.
struct BTreePage
{
    quint32 number = 0;
    QByteArray bytes;     // the whole page, or less when the file ends inside it
    int usable = 0;       // bytes of the page that hold content (the reserved tail excluded)
    int headerOffset = 0; // 100 on page 1, else 0
    PageKind kind = PageKind::TableLeaf;
    int cellCount = 0;
    quint32 rightChild = 0; // interior pages only
    bool complete = true;   // false when the file ends inside the page

    bool isInterior() const { return kind == PageKind::TableInterior || kind == PageKind::IndexInterior; }
    int headerSize() const { return isInterior() ? 12 : 8; }
    // The offset of cell `index`'s content, or -1 when the pointer leads outside the content area.
    int cellOffset(int index) const;
};

// Big-endian unsigned integer of `size` bytes at `offset` (the caller checks the bounds).
quint32 readBigEndian(const QByteArray &bytes, int offset, int size);

// A SQLite variable-length integer at `*offset` of `bytes`, read no further than `end`; on success
// `*offset` moves past it. False when it runs past `end`.
bool readVarint(const QByteArray &bytes, int *offset, int end, quint64 *value);

// The pages of a SQLite file read directly, never through SQLite, so that a file whose header is
// damaged, which is cut short or which carries junk at its end can still be read page by page.
// The page size comes from the 100-byte header when it is sound; otherwise it is the size, from 512
// to 65536 bytes, at which the most pages read as b-tree pages.
class PageFile
{
public:
    // Opens `path` for reading and settles the page size. Fails when the file cannot be read or when
    // no page size makes any page a b-tree page.
    Outcome open(const QString &path);

    bool headerSound() const { return m_headerSound; }
    int pageSize() const { return m_pageSize; }
    int usableSize() const { return m_usable; }
    // Pages the file holds, a last short one included.
    quint32 pageCount() const { return m_pageCount; }
    // The pages of the database: those the sound header counts (SQLite reads no page past them, so
    // those after are junk appended to the file), else pageCount().
    quint32 databasePages() const { return m_databasePages; }
    // From the sound header: the first freelist trunk page and the number of free pages (0 when
    // unknown), the text encoding (1 UTF-8, 2 UTF-16le, 3 UTF-16be; 1 when unknown).
    quint32 firstFreelistTrunk() const { return m_freelistTrunk; }
    quint32 freelistPages() const { return m_freelistPages; }
    int textEncoding() const { return m_textEncoding; }

    // Page `number` (from 1): its bytes, fewer than the page size when the file ends inside it,
    // empty beyond the file.
    QByteArray page(quint32 number) const;
    // Page `number` when its header reads as a b-tree page of any kind.
    std::optional<BTreePage> btreePage(quint32 number) const;

private:
    int guessPageSize(qint64 fileSize);
    mutable QFile m_file;
    bool m_headerSound = false;
    int m_pageSize = 0, m_usable = 0, m_textEncoding = 1;
    quint32 m_pageCount = 0, m_databasePages = 0, m_freelistTrunk = 0, m_freelistPages = 0;
};

// The b-tree page whose header starts at `headerOffset` of `bytes`, when its kind is known and its
// cell pointer array fits in the `usable` bytes. `strict` also asks every cell pointer, the
// freeblock and the content area to lie where SQLite puts them, as for telling pages from other
// bytes when the page size is guessed.
std::optional<BTreePage> parseBTreePage(const QByteArray &bytes, int headerOffset, int usable, bool strict);

} // namespace zelvaro
