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

struct File
{
    sqlite3_file base;
    sqlite3_file *real; // SQLite's own file object, right after this one
    bool mainDb;
    int lastErrno; // of the last failure made here, as SQLITE_FCNTL_LAST_ERRNO gives it

    // SQLITE_OK to go on with an operation of kind `kind`, or the failure.
    int inject(unsigned kind)
    {
        if (g_plan->nth <= 0 || (g_plan->operations & kind) == 0)
            return SQLITE_OK;
        const int n = ++g_plan->count;
        if (n != g_plan->nth && !(g_plan->persistent && n > g_plan->nth))
            return SQLITE_OK;
        ++g_plan->fired;
        errno = lastErrno = g_plan->systemErrno;
        return g_plan->code;
    }
};

// Each method passes the call on to SQLite's own file, after the count for the counted kinds.
template <auto method, unsigned kind = 0, typename... Args> int call(sqlite3_file *f, Args... args)
{
    File *file = reinterpret_cast<File *>(f);
    int rc = kind != 0 ? file->inject(kind) : SQLITE_OK;
    if (rc == SQLITE_OK && kind == Write && file->mainDb)
        rc = file->inject(WriteMainDb);
    return rc != SQLITE_OK ? rc : (file->real->pMethods->*method)(file->real, args...);
}

int control(sqlite3_file *f, int op, void *arg)
{
    File *file = reinterpret_cast<File *>(f);
    if (op != SQLITE_FCNTL_LAST_ERRNO || file->lastErrno == 0)
        return file->real->pMethods->xFileControl(file->real, op, arg);
    *static_cast<int *>(arg) = file->lastErrno;
    return SQLITE_OK;
}

void shmBarrier(sqlite3_file *f)
{
    reinterpret_cast<File *>(f)->real->pMethods->xShmBarrier(reinterpret_cast<File *>(f)->real);
}

using M = sqlite3_io_methods;
// Version 2: no memory-mapped reads, which would pass by the counted operations.
// clang-format off
const sqlite3_io_methods kMethods = {
    2, call<&M::xClose>, call<&M::xRead>, call<&M::xWrite, Write>, call<&M::xTruncate, Truncate>,
    call<&M::xSync, Sync>, call<&M::xFileSize>, call<&M::xLock, Lock>, call<&M::xUnlock, Lock>,
    call<&M::xCheckReservedLock>, control, call<&M::xSectorSize>, call<&M::xDeviceCharacteristics>,
    call<&M::xShmMap>, call<&M::xShmLock>, shmBarrier, call<&M::xShmUnmap>, nullptr, nullptr};
// clang-format on

int open(sqlite3_vfs *, sqlite3_filename name, sqlite3_file *file, int flags, int *outFlags)
{
    auto *wrapper = reinterpret_cast<File *>(file);
    *wrapper = {
        {nullptr}, reinterpret_cast<sqlite3_file *>(wrapper + 1), (flags & SQLITE_OPEN_MAIN_DB) != 0, 0};
    wrapper->real->pMethods = nullptr;
    int rc = (flags & SQLITE_OPEN_MAIN_JOURNAL) != 0 ? wrapper->inject(OpenJournal) : SQLITE_OK;
    if (rc == SQLITE_OK)
        rc = g_real->xOpen(g_real, name, wrapper->real, flags, outFlags);
    if (rc == SQLITE_OK)
        wrapper->base.pMethods = &kMethods;
    else if (wrapper->real->pMethods != nullptr)
        wrapper->real->pMethods->xClose(wrapper->real);
    return rc;
}

int lastError(sqlite3_vfs *, int size, char *out)
{
    return g_plan->fired != 0 ? g_plan->systemErrno : g_real->xGetLastError(g_real, size, out);
}

} // namespace

void install()
{
    void *shared = mmap(nullptr, sizeof(Plan), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (g_real != nullptr || shared == MAP_FAILED)
        std::abort(); // once per process
    g_plan = new (shared) Plan;
    g_real = sqlite3_vfs_find(nullptr);
    g_vfs = *g_real;
    g_vfs.zName = "zelvaro-fault";
    g_vfs.pNext = nullptr;
    g_vfs.szOsFile = int(sizeof(File)) + g_real->szOsFile;
    g_vfs.xOpen = open;
    g_vfs.xGetLastError = lastError;
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
