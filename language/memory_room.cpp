#include "memory_room.h"

#include <fcntl.h>
#include <malloc.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>

namespace tavro {

namespace {

// Enough for formatting and reporting an error and unwinding: the
// collector keeps its own work stack.
constexpr size_t kReserveBytes = size_t(4) << 20;

// What a run may grow beyond the memory mapped when it starts, when that
// is already past the ceiling.
constexpr size_t kRunAllowance = size_t(8) << 20;

// The C library's own heap padding.
constexpr int kDefaultTopPad = 128 << 10;

void* gReserve = nullptr;
size_t gProgramLimit = 0;
size_t gEnvironmentLimit = 0;

size_t gRunLimit = 0;      // the limit of the run in progress, 0 between runs
size_t gLimitInForce = 0;  // what was set last

void setDataLimit(size_t bytes)
{
    if (!bytes || bytes == gLimitInForce) return;
    rlimit limit{};
    if (getrlimit(RLIMIT_DATA, &limit) != 0) return;
    rlim_t wanted = rlim_t(bytes);
    if (limit.rlim_max != RLIM_INFINITY && wanted > limit.rlim_max) wanted = limit.rlim_max;
    limit.rlim_cur = wanted;
    if (setrlimit(RLIMIT_DATA, &limit) == 0) gLimitInForce = bytes;
}

void takeReserve()
{
    if (gReserve) return;
    // Mapped, never touched: it counts against the data and address-space
    // limits (which is what it holds back) but takes no physical memory.
    void* block = mmap(nullptr, kReserveBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    gReserve = block == MAP_FAILED ? nullptr : block;
}

void freeReserve()
{
    if (!gReserve) return;
    munmap(gReserve, kReserveBytes);
    gReserve = nullptr;
}

}  // namespace

void SetMemoryLimits(size_t programLimit, size_t environmentLimit)
{
    gProgramLimit = programLimit;
    gEnvironmentLimit = environmentLimit;
    takeReserve();
    setDataLimit(gEnvironmentLimit);
}

void EnterProgramLimit()
{
    takeReserve();
    if (!gProgramLimit) return;
    // Values that fill the ceiling and are still held (a global list)
    // would leave no room even for the command that lets them go: a run
    // may always grow a little beyond what is mapped, as long as half the
    // environment's margin stays free.
    size_t limit = gProgramLimit;
    size_t used = DataInUse();
    if (used + kRunAllowance > limit) {
        size_t cap = gEnvironmentLimit - (gEnvironmentLimit - gProgramLimit) / 2;
        limit = std::min(used + kRunAllowance, cap);
    }
    gRunLimit = limit;
    setDataLimit(limit);
}

void LeaveProgramLimit()
{
    gRunLimit = 0;
    setDataLimit(gEnvironmentLimit);
    takeReserve();
}

EnvironmentRoom::EnvironmentRoom()
{
    if (gRunLimit) setDataLimit(gEnvironmentLimit);
}

EnvironmentRoom::~EnvironmentRoom()
{
    if (gRunLimit) setDataLimit(gRunLimit);
}

void KeepFreedMemory()
{
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    mallopt(M_TOP_PAD, 16 << 20);
}

void GiveRoomForError()
{
    freeReserve();
    setDataLimit(gEnvironmentLimit);
    // A heap that grows by a large padding (the runner asks for one, to
    // grow seldom) cannot grow at all within that padding of the limit:
    // from now on it grows by what is asked.
    mallopt(M_TOP_PAD, kDefaultTopPad);
}

void GiveRoomInCrash()
{
    freeReserve();
    setDataLimit(gEnvironmentLimit);
}

size_t ProgramLimit() { return gProgramLimit; }

bool MemoryReserveHeld() { return gReserve != nullptr; }

size_t DataInUse()
{
    // /proc/self/statm: size resident shared text lib data dt, in pages.
    int fd = open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    char buffer[128];
    ssize_t n = read(fd, buffer, sizeof buffer - 1);
    close(fd);
    if (n <= 0) return 0;
    buffer[n] = '\0';
    const char* p = buffer;
    for (int field = 0; field < 5; ++field) {
        while (*p && *p != ' ') ++p;
        while (*p == ' ') ++p;
    }
    size_t pages = 0;
    while (*p >= '0' && *p <= '9') pages = pages * 10 + size_t(*p++ - '0');
    return pages * size_t(sysconf(_SC_PAGESIZE));
}

}  // namespace tavro
