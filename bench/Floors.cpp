#include "Floors.h"

#include "Archive.h"

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
#include <QStringListModel>

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

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
    constexpr qsizetype kBuffer = 64 * 1024;
    QByteArray buffer;
    buffer.reserve(kBuffer + 4096);
    qint64 left = bytes;
    const auto flush = [&] {
        const qint64 size = std::min<qint64>(buffer.size(), left);
        writeAll(fd, buffer.constData(), size);
        left -= size;
        buffer.resize(0);
    };
    scanList(archive, [&](sqlite3_stmt *st) {
        for (int c = 0; c < kMovMagColumnCount; ++c) {
            const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(st, c));
            buffer.append(text, text ? sqlite3_column_bytes(st, c) : 0).append(';');
        }
        buffer.append("\r\n");
        if (buffer.size() >= kBuffer)
            flush();
    });
    flush();
    while (left > 0) {
        buffer.fill('.', kBuffer);
        flush();
    }
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

void floorStartup(const QString &archive)
{
    QStringList lines;
    scanList(archive, [&](sqlite3_stmt *st) {
        QString line;
        for (int c = 0; c < kMovMagColumnCount; ++c) {
            line += QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, c)),
                                      sqlite3_column_bytes(st, c));
            line += QLatin1Char(' ');
        }
        lines.append(line);
    });
    QStringListModel model(lines);
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
