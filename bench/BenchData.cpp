#include "BenchData.h"

#include "Archive.h"

#include <sqlite3.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace zelvaro::bench {

namespace {

// A fixed-seed generator of our own, so the data never depend on the standard library's version.
class Lcg
{
public:
    explicit Lcg(std::uint64_t seed) : m_state(seed) {}
    std::uint32_t next()
    {
        m_state = m_state * 6364136223846793005ULL + 1442695040888963407ULL;
        return std::uint32_t(m_state >> 33);
    }
    int below(int n) { return int(next() % std::uint32_t(n)); }

private:
    std::uint64_t m_state;
};

std::string timeText(int hours, int minutes)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%d.%02d", hours, minutes);
    return buffer;
}

void check(int rc, sqlite3 *db)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        std::fprintf(stderr, "zelvaro-bench: sqlite: %s\n", sqlite3_errmsg(db));
        std::exit(2);
    }
}

} // namespace

void generateArchive(const QString &path, int count)
{
    const Outcome created = Archive::create(path);
    if (created.failed()) {
        std::fprintf(stderr, "zelvaro-bench: %s\n", qPrintable(created.text));
        std::exit(2);
    }
    sqlite3 *db = nullptr;
    check(sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr), db);
    check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db);
    sqlite3_stmt *st = nullptr;
    check(sqlite3_prepare_v2(db,
                             "INSERT INTO MOV_MAG (NUM_MOV, ANNO, MESE, GIORNO, ORA_INIZIO_1, ORA_FINE_1, "
                             "ORA_INIZIO_2, ORA_FINE_2, ORA_INIZIO_3, ORA_FINE_3, NOTE) "
                             "VALUES (?,?,?,?,?,?,?,?,?,?,?)",
                             -1, &st, nullptr),
          db);
    Lcg rng(20041203);
    for (int n = 1; n <= count; ++n) {
        sqlite3_reset(st);
        sqlite3_clear_bindings(st); // unbound columns stay NULL
        const auto text = [&](int column, const std::string &value) {
            sqlite3_bind_text(st, column, value.c_str(), int(value.size()), SQLITE_TRANSIENT);
        };
        sqlite3_bind_int64(st, 1, n);
        const int day = n - 1;
        text(2, std::to_string(2000 + day / 365));
        if (rng.below(50) != 0) // a few null months
            text(3, std::to_string(1 + (day / 30) % 12));
        text(4, std::to_string(1 + day % 28));

        const int kind = rng.below(6); // 0,1: period 1 only; 2,3,4: periods 1 and 2; 5: all three
        const int start1 = 7 + rng.below(3);
        std::string start = timeText(start1, rng.below(60));
        if (rng.below(20) == 0)
            start.insert(0, 1, ' '); // a blank typed before the time
        text(5, start);
        text(6, timeText(start1 + 4, rng.below(60)));
        if (kind >= 2) {
            text(7, timeText(13 + rng.below(2), rng.below(60)));
            std::string end = timeText(17 + rng.below(2), rng.below(60));
            if (rng.below(20) == 0)
                end.push_back(' ');
            text(8, end);
        } else if (rng.below(2) == 0) {
            text(7, "");
            text(8, "");
        }
        if (kind == 5) {
            text(9, timeText(20, rng.below(60)));
            text(10, timeText(22, rng.below(60)));
        }
        if (rng.below(4) == 0)
            text(11, "nota " + std::to_string(n));
        check(sqlite3_step(st), db);
    }
    sqlite3_finalize(st);
    check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db);
    sqlite3_close(db);
}

} // namespace zelvaro::bench
