#include "Floors.h"

#include "Archive.h"

#include <QAbstractListModel>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QListView>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace zelvaro::bench {

namespace {

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "zelvaro-bench: pavimento non riuscito: %s\n", what);
    std::exit(2);
}

// The list query over `archive`, each row handed to `row` with the statement on it.
template <typename Row> void scanList(const QString &archive, Row row)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(archive.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        fail("apertura dell'archivio");
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, kListQuery, -1, &st, nullptr) != SQLITE_OK)
        fail("query");
    while (sqlite3_step(st) == SQLITE_ROW)
        row(st);
    sqlite3_finalize(st);
    sqlite3_close(db);
}

void writeAll(int fd, const char *data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, std::size_t(size));
        if (n <= 0)
            fail("scrittura");
        data += n;
        size -= n;
    }
}

void syncFolderOf(const QString &path)
{
    const int fd =
        ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

void floorScan(const QString &archive)
{
    std::size_t bytes = 0;
    scanList(archive, [&](sqlite3_stmt *st) {
        for (int c = 0; c < kMovMagColumnCount; ++c) {
            const unsigned char *text = sqlite3_column_text(st, c);
            bytes += text ? std::size_t(sqlite3_column_bytes(st, c)) + text[0] : 0;
        }
    });
    if (bytes == 0)
        fail("scansione vuota");
}

void floorExport(const QString &archive, const QString &target, qint64 bytes)
{
    const QByteArray temporary = QFile::encodeName(target + QStringLiteral(".pavimento"));
    const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        fail("file");
    constexpr qint64 kBuffer = 64 * 1024;
    static char buffer[kBuffer];
    qint64 used = 0;
    qint64 left = bytes;
    const auto put = [&](const char *data, qint64 size) {
        while (size > 0 && left > 0) {
            const qint64 n = std::min({size, kBuffer - used, left});
            std::memcpy(buffer + used, data, std::size_t(n));
            used += n;
            left -= n;
            data += n;
            size -= n;
            if (used == kBuffer) {
                writeAll(fd, buffer, used);
                used = 0;
            }
        }
    };
    scanList(archive, [&](sqlite3_stmt *st) {
        for (int c = 0; c < kMovMagColumnCount; ++c) {
            const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(st, c));
            put(text, text ? sqlite3_column_bytes(st, c) : 0);
            put(";", 1);
        }
        put("\r\n", 2);
    });
    static const QByteArray padding(kBuffer, '.');
    while (left > 0)
        put(padding.constData(), padding.size());
    writeAll(fd, buffer, used);
    if (::fsync(fd) != 0 || ::close(fd) != 0 ||
        ::rename(temporary.constData(), QFile::encodeName(target).constData()) != 0)
        fail("chiusura del file");
    syncFolderOf(target);
}

void floorPrint(const QStringList &lines, bool landscape, double pointSize, const QString &target)
{
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly))
        fail("PDF");
    {
        QPdfWriter device(&file);
        device.setPageLayout(QPageLayout(QPageSize(QPageSize::A4),
                                         landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                                         QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter));
        QFont font(QStringLiteral("DejaVu Sans Mono"));
        font.setStyleHint(QFont::Monospace);
        font.setFixedPitch(true);
        font.setKerning(false);
        font.setPointSizeF(pointSize);
        const QFontMetricsF metrics(font, &device);
        const double height = device.pageLayout().paintRectPixels(device.logicalDpiX()).height();
        QPainter painter(&device);
        painter.setFont(font);
        double top = 0;
        for (const QString &line : lines) {
            if (top > 0 && top + metrics.height() > height) {
                device.newPage();
                top = 0;
            }
            painter.drawText(QPointF(0, top + metrics.ascent()), line);
            top += metrics.lineSpacing();
        }
    }
    if (!file.commit())
        fail("PDF");
}

namespace {

// The bare window's list: each row's columns as the archive stores them, made into a line when the
// view asks for it.
class RowsModel : public QAbstractListModel
{
public:
    QByteArray bytes;
    std::vector<qsizetype> starts{0};

    int rowCount(const QModelIndex &parent) const override
    {
        return parent.isValid() ? 0 : int(starts.size() - 1);
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role != Qt::DisplayRole)
            return {};
        const qsizetype from = starts.at(std::size_t(index.row()));
        return QString::fromUtf8(bytes.constData() + from, starts.at(std::size_t(index.row()) + 1) - from);
    }
};

} // namespace

void floorStartup(const QString &archive)
{
    RowsModel model;
    scanList(archive, [&](sqlite3_stmt *st) {
        for (int c = 0; c < kMovMagColumnCount; ++c) {
            model.bytes.append(reinterpret_cast<const char *>(sqlite3_column_text(st, c)),
                               sqlite3_column_bytes(st, c));
            model.bytes.append(' ');
        }
        model.starts.push_back(model.bytes.size());
    });
    QListView view;
    view.setUniformItemSizes(true);
    view.setModel(&model);
    view.show();
    QCoreApplication::processEvents();
}

void floorCopy(const QString &archive, const QString &target)
{
    sqlite3 *from = nullptr;
    sqlite3 *to = nullptr;
    if (sqlite3_open_v2(archive.toUtf8().constData(), &from, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK ||
        sqlite3_open_v2(target.toUtf8().constData(), &to, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK)
        fail("copia");
    sqlite3_backup *backup = sqlite3_backup_init(to, "main", from, "main");
    if (backup == nullptr || sqlite3_backup_step(backup, -1) != SQLITE_DONE ||
        sqlite3_backup_finish(backup) != SQLITE_OK)
        fail("copia");
    sqlite3_close(to);
    sqlite3_close(from);
}

void floorConfirm(const QString &archive)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(archive.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        fail("apertura dell'archivio");
    const char *sql = "PRAGMA synchronous = FULL; PRAGMA journal_mode = DELETE; BEGIN IMMEDIATE;"
                      "UPDATE MOV_MAG SET ORA_FINE_1 = ORA_FINE_1 WHERE NUM_MOV = 1; COMMIT;";
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        fail("scrittura");
    sqlite3_close(db);
    floorScan(archive);
}

} // namespace zelvaro::bench
