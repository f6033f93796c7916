#include "FaultVfs.h"

#include <sqlite3.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <new>
#include <sys/mman.h>

namespace zelvaro::test::FaultVfs {

namespace {

// In memory shared with forked children, so that a failure counts once across all of them.
struct Plan
{
    std::atomic<int> count{0};
    std::atomic<int> fired{0};
    int nth = 0;
    int code = SQLITE_OK;
    unsigned operations = 0;
    int systemErrno = 0;
    bool persistent = false;
};
Plan *g_plan = nullptr;
sqlite3_vfs *g_real = nullptr;
sqlite3_vfs g_vfs;

struct FaultFile
{
    sqlite3_file base;
    sqlite3_file *real; // SQLite's own file object, right after this one
    bool mainDb;
    int lastErrno; // of the last failure made here, as SQLITE_FCNTL_LAST_ERRNO gives it
};

sqlite3_file *real(sqlite3_file *file)
{
    return reinterpret_cast<FaultFile *>(file)->real;
}

// The result code for an operation of kind `kind` on `file`: SQLITE_OK to go on, or the failure.
int inject(unsigned kind, sqlite3_file *file = nullptr)
{
    if (g_plan->nth <= 0 || (g_plan->operations & kind) == 0)
        return SQLITE_OK;
    const int n = ++g_plan->count;
    if (n != g_plan->nth && !(g_plan->persistent && n > g_plan->nth))
        return SQLITE_OK;
    ++g_plan->fired;
    errno = g_plan->systemErrno;
    if (file != nullptr)
        reinterpret_cast<FaultFile *>(file)->lastErrno = g_plan->systemErrno;
    return g_plan->code;
}

int xClose(sqlite3_file *f)
{
    return real(f)->pMethods->xClose(real(f));
}
int xRead(sqlite3_file *f, void *buffer, int amount, sqlite3_int64 offset)
{
    return real(f)->pMethods->xRead(real(f), buffer, amount, offset);
}
int xWrite(sqlite3_file *f, const void *buffer, int amount, sqlite3_int64 offset)
{
    int rc = inject(Write, f);
    if (rc == SQLITE_OK && reinterpret_cast<FaultFile *>(f)->mainDb)
        rc = inject(WriteMainDb, f);
    return rc != SQLITE_OK ? rc : real(f)->pMethods->xWrite(real(f), buffer, amount, offset);
}
int xTruncate(sqlite3_file *f, sqlite3_int64 size)
{
    const int rc = inject(Truncate, f);
    return rc != SQLITE_OK ? rc : real(f)->pMethods->xTruncate(real(f), size);
}
int xSync(sqlite3_file *f, int flags)
{
    const int rc = inject(Sync, f);
    return rc != SQLITE_OK ? rc : real(f)->pMethods->xSync(real(f), flags);
}
int xFileSize(sqlite3_file *f, sqlite3_int64 *size)
{
    return real(f)->pMethods->xFileSize(real(f), size);
}
int xLock(sqlite3_file *f, int level)
{
    const int rc = inject(Lock);
    return rc != SQLITE_OK ? rc : real(f)->pMethods->xLock(real(f), level);
}
int xUnlock(sqlite3_file *f, int level)
{
    const int rc = inject(Lock);
    return rc != SQLITE_OK ? rc : real(f)->pMethods->xUnlock(real(f), level);
}
int xCheckReservedLock(sqlite3_file *f, int *out)
{
    return real(f)->pMethods->xCheckReservedLock(real(f), out);
}
int xFileControl(sqlite3_file *f, int op, void *arg)
{
    if (op == SQLITE_FCNTL_LAST_ERRNO && reinterpret_cast<FaultFile *>(f)->lastErrno != 0) {
        *static_cast<int *>(arg) = reinterpret_cast<FaultFile *>(f)->lastErrno;
        return SQLITE_OK;
    }
    return real(f)->pMethods->xFileControl(real(f), op, arg);
}
int xSectorSize(sqlite3_file *f)
{
    return real(f)->pMethods->xSectorSize(real(f));
}
int xDeviceCharacteristics(sqlite3_file *f)
{
    return real(f)->pMethods->xDeviceCharacteristics(real(f));
}
int xShmMap(sqlite3_file *f, int page, int size, int extend, void volatile **out)
{
    return real(f)->pMethods->xShmMap(real(f), page, size, extend, out);
}
int xShmLock(sqlite3_file *f, int offset, int n, int flags)
{
    return real(f)->pMethods->xShmLock(real(f), offset, n, flags);
}
void xShmBarrier(sqlite3_file *f)
{
    real(f)->pMethods->xShmBarrier(real(f));
}
int xShmUnmap(sqlite3_file *f, int deleteFlag)
{
    return real(f)->pMethods->xShmUnmap(real(f), deleteFlag);
}
int xFetch(sqlite3_file *f, sqlite3_int64 offset, int amount, void **out)
{
    return real(f)->pMethods->xFetch(real(f), offset, amount, out);
}
int xUnfetch(sqlite3_file *f, sqlite3_int64 offset, void *page)
{
    return real(f)->pMethods->xUnfetch(real(f), offset, page);
}

const sqlite3_io_methods kMethods = {3,          xClose,      xRead,       xWrite,     xTruncate,
                                     xSync,      xFileSize,   xLock,       xUnlock,    xCheckReservedLock,
                                     xFileControl, xSectorSize, xDeviceCharacteristics, xShmMap, xShmLock,
                                     xShmBarrier, xShmUnmap,  xFetch,      xUnfetch};

int xOpen(sqlite3_vfs *, sqlite3_filename name, sqlite3_file *file, int flags, int *outFlags)
{
    auto *wrapper = reinterpret_cast<FaultFile *>(file);
    wrapper->base.pMethods = nullptr;
    wrapper->real = reinterpret_cast<sqlite3_file *>(wrapper + 1);
    wrapper->real->pMethods = nullptr;
    wrapper->mainDb = (flags & SQLITE_OPEN_MAIN_DB) != 0;
    wrapper->lastErrno = 0;
    int rc = (flags & SQLITE_OPEN_MAIN_JOURNAL) != 0 ? inject(OpenJournal) : SQLITE_OK;
    if (rc == SQLITE_OK)
        rc = g_real->xOpen(g_real, name, wrapper->real, flags, outFlags);
    if (rc == SQLITE_OK)
        wrapper->base.pMethods = &kMethods;
    else if (wrapper->real->pMethods != nullptr)
        wrapper->real->pMethods->xClose(wrapper->real);
    return rc;
}

int xGetLastError(sqlite3_vfs *, int size, char *out)
{
    return g_plan->fired != 0 ? g_plan->systemErrno : g_real->xGetLastError(g_real, size, out);
}

} // namespace

void install()
{
    if (g_real != nullptr)
        return;
    void *shared = mmap(nullptr, sizeof(Plan), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (shared == MAP_FAILED)
        std::abort();
    g_plan = new (shared) Plan;
    g_real = sqlite3_vfs_find(nullptr);
    g_vfs = *g_real;
    g_vfs.zName = "zelvaro-fault";
    g_vfs.pNext = nullptr;
    g_vfs.szOsFile = int(sizeof(FaultFile)) + g_real->szOsFile;
    g_vfs.xOpen = xOpen;
    g_vfs.xGetLastError = xGetLastError;
    sqlite3_vfs_register(&g_vfs, 1);
}

void arm(int nth, int code, unsigned operations, int systemErrno, bool persistent)
{
    g_plan->count = 0;
    g_plan->fired = 0;
    g_plan->code = code;
    g_plan->operations = operations;
    g_plan->systemErrno = systemErrno;
    g_plan->persistent = persistent;
    g_plan->nth = nth;
}

void disarm()
{
    g_plan->nth = 0;
}

bool fired()
{
    return g_plan->fired != 0;
}

} // namespace zelvaro::test::FaultVfs
