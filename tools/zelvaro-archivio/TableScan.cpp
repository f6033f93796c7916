#include "TableScan.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

namespace zelvaro {

namespace {

constexpr int kMaxDepth = 20; // SQLite's own limit on the depth of a b-tree

// The bytes a value of serial type `type` takes, or -1 for a type SQLite never writes.
qint64 valueSize(quint64 type)
{
    static constexpr int kFixed[] = {0, 1, 2, 3, 4, 6, 8, 8, 0, 0, -1, -1};
    if (type < 12)
        return kFixed[type];
    if ((type - 12) / 2 > quint64(std::numeric_limits<int>::max()))
        return -1;
    return qint64((type - 12) / 2);
}

StoredValue decodeValue(quint64 type, const char *data, int size)
{
    StoredValue value;
    if (type == 0)
        return value;
    if (type == 8 || type == 9) {
        value.type = StoredValue::Integer;
        value.integer = type == 9 ? 1 : 0;
        return value;
    }
    if (type >= 12) {
        value.type = type % 2 == 0 ? StoredValue::Blob : StoredValue::Text;
        value.bytes = QByteArray(data, size);
        return value;
    }
    quint64 bits = 0;
    for (int i = 0; i < size; ++i)
        bits = (bits << 8) | quint8(data[i]);
    if (type == 7) {
        value.type = StoredValue::Real;
        std::memcpy(&value.real, &bits, sizeof bits);
        return value;
    }
    // Sign extension of a big-endian integer of `size` bytes.
    if (size < 8 && (bits & (quint64(1) << (8 * size - 1))) != 0)
        bits |= ~quint64(0) << (8 * size);
    value.type = StoredValue::Integer;
    value.integer = qint64(bits);
    return value;
}

} // namespace

bool decodeRecord(const QByteArray &payload, StoredRecord *record)
{
    record->clear();
    int position = 0;
    quint64 headerSize = 0;
    if (!readVarint(payload, &position, int(payload.size()), &headerSize) || headerSize < quint64(position) ||
        headerSize > quint64(payload.size()))
        return false;
    QList<quint64> types;
    while (position < int(headerSize)) {
        quint64 type = 0;
        if (!readVarint(payload, &position, int(headerSize), &type) || valueSize(type) < 0)
            return false;
        types.append(type);
    }
    qint64 body = qint64(headerSize);
    for (const quint64 type : types) {
        const qint64 size = valueSize(type);
        if (size > payload.size() - body)
            return false;
        record->append(decodeValue(type, payload.constData() + body, int(size)));
        body += size;
    }
    return true; // a cell whose length grew keeps its values where the record's header says
}

TableScan::TableScan(const PageFile &file)
    : m_file(file), m_visited(file.pageCount() + 1, false), m_free(file.pageCount() + 1, false)
{
}

// The payload of a table leaf cell: the local part and then its overflow chain, where the cell's
// length says it has one (the local share follows SQLite's rule for table leaves).
TableScan::Cell TableScan::readCell(const BTreePage &page, int index) const
{
    Cell cell;
    cell.row.page = page.number;
    const int offset = page.cellOffset(index);
    const int limit = std::min(page.usable, int(page.bytes.size()));
    int position = offset;
    quint64 length = 0, rowid = 0;
    if (offset < 0 || !readVarint(page.bytes, &position, limit, &length) ||
        !readVarint(page.bytes, &position, limit, &rowid))
        return cell;
    cell.row.rowid = qint64(rowid);
    cell.keyed = true;
    const qint64 usable = page.usable;
    if (length > quint64(m_file.pageCount()) * quint64(usable))
        return cell;
    const qint64 maxLocal = usable - 35;
    const qint64 minLocal = (usable - 12) * 32 / 255 - 23;
    qint64 local = qint64(length);
    if (local > maxLocal) {
        const qint64 share = minLocal + (qint64(length) - minLocal) % (usable - 4);
        local = share <= maxLocal ? share : minLocal;
    }
    const bool overflows = local < qint64(length);
    if (position + local + (overflows ? 4 : 0) > limit)
        return cell;
    QByteArray payload = page.bytes.mid(position, local);
    if (overflows) {
        quint32 next = readBigEndian(page.bytes, position + int(local), 4);
        qint64 remaining = qint64(length) - local;
        std::unordered_set<quint32> chain;
        while (remaining > 0) {
            if (next == 0 || next > m_file.pageCount() || m_visited[next] || !chain.insert(next).second)
                return cell;
            cell.overflow.push_back(next);
            const QByteArray overflow = m_file.page(next);
            const qint64 share = std::min(remaining, usable - 4);
            if (overflow.size() < 4 + share)
                return cell;
            payload.append(overflow.constData() + 4, share);
            remaining -= share;
            next = readBigEndian(overflow, 0, 4);
        }
    }
    cell.read = decodeRecord(payload, &cell.row.values);
    return cell;
}

std::vector<TableScan::Cell> TableScan::readLeaf(const BTreePage &page) const
{
    std::vector<Cell> cells;
    cells.reserve(std::size_t(page.cellCount));
    for (int i = 0; i < page.cellCount; ++i)
        cells.push_back(readCell(page, i));
    return cells;
}

// Marks the cell's overflow pages as read; false when another cell has one of them already.
bool TableScan::claimOverflow(const Cell &cell)
{
    for (const quint32 page : cell.overflow) {
        if (m_visited[page])
            return false;
    }
    for (const quint32 page : cell.overflow)
        m_visited[page] = true;
    return true;
}

TableScan::Walk TableScan::walk(quint32 root, const std::function<bool(const LeafRow &)> &fits,
                                const std::function<void(LeafRow &&)> &take)
{
    // A page to read, with the range of keys its parent gives it: (low, high].
    // The right edge leads to the highest keys.
    struct Frame
    {
        quint32 page;
        std::optional<qint64> low, high;
        int depth;
        bool rightEdge;
    };
    Walk walk;
    std::vector<Frame> stack{{root, std::nullopt, std::nullopt, 0, true}};
    while (!stack.empty()) {
        const Frame frame = stack.back();
        stack.pop_back();
        const auto damaged = [&walk, &frame] {
            walk.damaged = true;
            walk.tailLost = walk.tailLost || frame.rightEdge;
        };
        if (frame.page == 0 || frame.page > m_file.pageCount() || m_visited[frame.page] ||
            frame.depth > kMaxDepth) {
            damaged();
            continue;
        }
        const std::optional<BTreePage> page = m_file.btreePage(frame.page);
        if (!page || (page->kind != PageKind::TableInterior && page->kind != PageKind::TableLeaf)) {
            damaged();
            continue;
        }
        if (!page->complete)
            damaged();
        const auto inRange = [&frame](qint64 key) {
            return (!frame.low || key > *frame.low) && (!frame.high || key <= *frame.high);
        };

        if (page->kind == PageKind::TableInterior) {
            m_visited[frame.page] = true;
            // Each cell: a child and the highest key under it. A key out of order with its
            // neighbours, or out of the page's range, is damaged: it bounds nothing, and its child
            // takes the range up to the next sound key.
            struct Entry
            {
                quint32 child;
                std::optional<qint64> key;
            };
            std::vector<Entry> entries;
            const int limit = std::min(page->usable, int(page->bytes.size()));
            for (int i = 0; i < page->cellCount; ++i) {
                const int offset = page->cellOffset(i);
                int position = offset + 4;
                quint64 key = 0;
                if (offset < 0 || !readVarint(page->bytes, &position, limit, &key))
                    damaged(); // its child is left to the orphan scan
                else
                    entries.push_back({readBigEndian(page->bytes, offset, 4), qint64(key)});
            }
            std::vector<bool> sound(entries.size());
            for (std::size_t i = 0; i < entries.size(); ++i) {
                const qint64 key = *entries[i].key;
                sound[i] = inRange(key) && (i == 0 || key > *entries[i - 1].key) &&
                           (i + 1 == entries.size() || key < *entries[i + 1].key);
                if (!sound[i])
                    walk.damaged = true;
            }
            entries.push_back({page->rightChild, frame.high}); // the right child: up to the page's own bound
            sound.push_back(true);
            std::vector<Frame> children;
            std::optional<qint64> low = frame.low;
            for (std::size_t i = 0; i < entries.size(); ++i) {
                std::size_t bound = i;
                while (!sound[bound])
                    ++bound;
                const bool right = i + 1 == entries.size();
                children.push_back(
                    {entries[i].child, low, entries[bound].key, frame.depth + 1, right && frame.rightEdge});
                if (sound[i] && !right) {
                    low = entries[i].key;
                    walk.highestKey = std::max(walk.highestKey, *low);
                }
            }
            stack.insert(stack.end(), children.rbegin(), children.rend()); // read left to right
            continue;
        }

        std::vector<Cell> cells = readLeaf(*page);
        int read = 0, fitting = 0, outside = 0;
        for (const Cell &cell : cells) {
            if (!cell.read)
                continue;
            ++read;
            if (fits(cell.row)) {
                ++fitting;
                outside += inRange(cell.row.rowid) ? 0 : 1;
            }
        }
        if (read > 0 && (fitting == 0 || outside * 2 > fitting)) { // another table's, or a stale page
            damaged();
            continue;
        }
        m_visited[frame.page] = true;
        if (read < int(cells.size()) || fitting < read)
            damaged();
        std::optional<qint64> previous;
        for (Cell &cell : cells) {
            if (!cell.read && cell.keyed && inRange(cell.row.rowid))
                walk.highestKey = std::max(walk.highestKey, cell.row.rowid);
            if (!cell.read || !fits(cell.row))
                continue;
            if (previous && cell.row.rowid <= *previous)
                walk.damaged = true;
            previous = cell.row.rowid;
            if (!claimOverflow(cell)) {
                damaged();
            } else if (inRange(cell.row.rowid)) {
                take(std::move(cell.row));
            } else {
                walk.damaged = true;
                walk.outOfPlace.append(std::move(cell.row));
            }
        }
    }
    return walk;
}

// Marks trunk page `number` and the free pages it lists. `strict` (a page taken for a trunk by its
// shape alone) asks every entry to be a page no walk reached, else no page is marked; without it
// the entries that name no page are skipped. False when `bytes` is no trunk page.
bool TableScan::markTrunk(quint32 number, const QByteArray &bytes, bool strict)
{
    const quint32 perTrunk = quint32(m_file.usableSize() - 8) / 4;
    if (bytes.size() < 8)
        return false;
    const quint32 count = readBigEndian(bytes, 4, 4);
    if (count > perTrunk || bytes.size() < 8 + 4 * qint64(count))
        return false;
    std::vector<quint32> leaves;
    for (quint32 i = 0; i < count; ++i) {
        const quint32 leaf = readBigEndian(bytes, int(8 + 4 * i), 4);
        if (leaf >= 2 && leaf <= m_file.pageCount() && !m_visited[leaf])
            leaves.push_back(leaf);
    }
    if (strict) {
        const quint32 next = readBigEndian(bytes, 0, 4);
        std::sort(leaves.begin(), leaves.end());
        if (count == 0 || leaves.size() != count || next > m_file.pageCount() ||
            std::adjacent_find(leaves.begin(), leaves.end()) != leaves.end())
            return false;
    }
    m_free[number] = true;
    for (const quint32 leaf : leaves)
        m_free[leaf] = true;
    return true;
}

void TableScan::readFreelist()
{
    if (m_file.headerSound()) {
        quint32 trunk = m_file.firstFreelistTrunk();
        while (trunk != 0 && trunk <= m_file.pageCount() && !m_free[trunk]) {
            const QByteArray bytes = m_file.page(trunk);
            if (!markTrunk(trunk, bytes, false))
                break;
            trunk = readBigEndian(bytes, 0, 4);
        }
    }
    // Trunk pages the header no longer leads to (a zeroed header, a broken chain), by their shape.
    for (quint32 number = 2; number <= m_file.databasePages(); ++number) {
        if (!m_visited[number] && !m_free[number] && !m_file.btreePage(number))
            markTrunk(number, m_file.page(number), true);
    }
}

void TableScan::scanOrphans(const std::function<void(LeafRow &&)> &take)
{
    for (quint32 number = 1; number <= m_file.databasePages(); ++number) {
        if (m_visited[number] || m_free[number])
            continue;
        const std::optional<BTreePage> page = m_file.btreePage(number);
        if (!page || page->kind != PageKind::TableLeaf)
            continue;
        m_visited[number] = true;
        for (Cell &cell : readLeaf(*page)) {
            if (cell.read && claimOverflow(cell))
                take(std::move(cell.row));
        }
    }
}

} // namespace zelvaro
