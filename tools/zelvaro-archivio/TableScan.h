#pragma once

#include "PageFile.h"

#include <QByteArray>
#include <QList>

#include <functional>
#include <vector>

namespace zelvaro {

// One value of a record as the file stores it.
struct StoredValue
{
    enum Type : quint8 { Null, Integer, Real, Text, Blob };
    Type type = Null;
    qint64 integer = 0;
    double real = 0;
    QByteArray bytes; // a text in the file's encoding, or a blob
};
using StoredRecord = QList<StoredValue>;

// Decodes a record (its header of serial types, then the values). False when the header or the
// values run past `payload`, or a serial type is one SQLite never writes; bytes after the last value
// are ignored, as SQLite's recovery does.
bool decodeRecord(const QByteArray &payload, StoredRecord *record);

// A row read from a table leaf page.
struct LeafRow
{
    qint64 rowid = 0;
    StoredRecord values;
    quint32 page = 0;
};

// Reads the rows of table b-trees straight from the pages of a PageFile, as SQLite's recovery does.
// Each page is read at most once by all walks and the orphan scan together (a visited set), so a
// cycle of child pointers, an overflow chain that loops or keys out of order cannot make it loop.
class TableScan
{
public:
    explicit TableScan(const PageFile &file);

    // What a walk found besides the rows it handed over.
    struct Walk
    {
        bool damaged = false;  // a page or cell that did not read, a page reached twice, keys out of order
        bool tailLost = false; // the damage lies on the way to the highest keys: rows past them may be lost
        QList<LeafRow> outOfPlace; // rows outside the key range their parent page gives, held back
        // The highest key known to exist: of the interior pages whose keys are in order, and of the
        // cells of the table's leaves whose key read but whose row did not.
        qint64 highestKey = 0;
    };

    // Walks the table b-tree from page `root`. `fits` says whether a row has the table's shape; the
    // rows that fit and lie in their key range go to `take` in key order. A leaf none of whose rows
    // fits, or most of whose rows lie outside their range, is not the table's: it is left for the
    // other walks and the orphan scan, and the walk counts as damaged.
    Walk walk(quint32 root, const std::function<bool(const LeafRow &)> &fits,
              const std::function<void(LeafRow &&)> &take);

    // Marks the free pages, which the orphan scan never reads (their rows were deleted): those of
    // the freelist the header leads to, as far as it reads, and those listed by the pages no walk
    // reached that have the shape of a freelist trunk page. Call it after the walks.
    void readFreelist();

    // Every table leaf page of the database reached by no walk and not free, in file order: its rows
    // to `take`.
    void scanOrphans(const std::function<void(LeafRow &&)> &take);

private:
    struct Cell
    {
        LeafRow row;
        std::vector<quint32> overflow; // the pages of its overflow chain
        bool keyed = false;            // its rowid was read
        bool read = false;             // the whole payload was read and decoded
    };
    Cell readCell(const BTreePage &page, int index) const;
    std::vector<Cell> readLeaf(const BTreePage &page) const;
    bool claimOverflow(const Cell &cell);
    bool markTrunk(quint32 number, const QByteArray &bytes, bool strict);

    const PageFile &m_file;
    std::vector<bool> m_visited, m_free;
};

} // namespace zelvaro
