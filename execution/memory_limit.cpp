#include "memory_limit.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <cstdio>
#include <cstring>

namespace tavro {

namespace {

size_t gCeiling = 0;
void* gReserve = nullptr;
constexpr size_t kReserveBytes = size_t(4) << 20;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// The data memory the process has mapped already (VmData), in bytes: the
// interpreter thread's stack and the libraries' data count there too.
size_t dataInUse()
{
    FILE* f = std::fopen("/proc/self/status", "r");
    if (!f) return 0;
    char line[256];
    size_t kb = 0;
    while (std::fgets(line, sizeof line, f))
        if (std::strncmp(line, "VmData:", 7) == 0) kb = std::strtoull(line + 7, nullptr, 10);
    std::fclose(f);
    return kb << 10;
}

}  // namespace

size_t DefaultMemoryCeiling()
{
    long pages = sysconf(_SC_PHYS_PAGES);
    long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return size_t(4) << 30;
    return size_t(pages) / 4 * 3 * size_t(pageSize);
}

void SetMemoryCeiling(size_t bytes)
{
    gCeiling = bytes ? bytes : DefaultMemoryCeiling();
    RestoreMemoryReserve();
    if (kSanitized) return;
    // The data limit counts the heap and private mappings (large blocks,
    // thread stacks), not the program's code or shared files: what a
    // runaway program grows.
    rlimit limit{};
    if (getrlimit(RLIMIT_DATA, &limit) != 0) return;
    // What the program may allocate comes on top of what the process has
    // mapped already (set-up, libraries and the interpreter's stack).
    rlim_t wanted = rlim_t(gCeiling + dataInUse());
    if (limit.rlim_max != RLIM_INFINITY && wanted > limit.rlim_max) wanted = limit.rlim_max;
    limit.rlim_cur = wanted;
    setrlimit(RLIMIT_DATA, &limit);
}

size_t MemoryCeiling() { return gCeiling; }

size_t ParseMemoryMegabytes(std::string_view text)
{
    size_t mb = 0;
    if (text.empty() || text.size() > 9) return 0;
    for (char c : text) {
        if (c < '0' || c > '9') return 0;
        mb = mb * 10 + size_t(c - '0');
    }
    return mb << 20;
}

void ReleaseMemoryReserve()
{
    std::free(gReserve);
    gReserve = nullptr;
}

void RestoreMemoryReserve()
{
    if (!gReserve) gReserve = std::malloc(kReserveBytes);
}

}  // namespace tavro
