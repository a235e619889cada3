#include "memory_limit.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace tavro {

namespace {

size_t gCeiling = 0;

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

size_t physicalMemory()
{
    long pages = sysconf(_SC_PHYS_PAGES);
    long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return 0;
    return size_t(pages) * size_t(pageSize);
}

// The address space the process has mapped (VmSize), in bytes.
size_t addressSpaceInUse()
{
    FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f) return 0;
    unsigned long pages = 0;
    if (std::fscanf(f, "%lu", &pages) != 1) pages = 0;
    std::fclose(f);
    return size_t(pages) * size_t(sysconf(_SC_PAGESIZE));
}

// What is left under RLIMIT_AS; 0 when there is no such limit.
size_t addressRoom()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return 0;
    size_t used = addressSpaceInUse();
    return limit.rlim_cur > used ? size_t(limit.rlim_cur - used) : 1;
}

// A number of bytes from a control-group file; 0 for "max" or no file.
size_t readGroupFigure(const std::string& path)
{
    std::ifstream in(path);
    std::string word;
    if (!(in >> word) || word == "max") return 0;
    return size_t(std::strtoull(word.c_str(), nullptr, 10));
}

// What is left under the control group's memory limit; 0 when there is
// none. The group is read from /proc/self/cgroup ("0::/path"), falling back
// to the top of the hierarchy, which is the group itself in a container.
size_t groupRoom()
{
    std::string group;
    std::ifstream cgroup("/proc/self/cgroup");
    for (std::string line; std::getline(cgroup, line);)
        if (line.rfind("0::", 0) == 0) group = line.substr(3);
    for (std::string folder : {"/sys/fs/cgroup" + group, std::string("/sys/fs/cgroup")}) {
        if (!folder.empty() && folder.back() == '/') folder.pop_back();
        size_t max = readGroupFigure(folder + "/memory.max");
        if (!max) continue;
        size_t current = readGroupFigure(folder + "/memory.current");
        return max > current ? max - current : 1;
    }
    return 0;
}

}  // namespace

size_t CeilingFor(size_t physical, size_t addressRoom, size_t groupRoom)
{
    size_t ceiling = physical ? physical / 4 * 3 : size_t(4) << 30;
    for (size_t room : {addressRoom, groupRoom})
        if (room) ceiling = std::min(ceiling, room / 4 * 3);
    return std::max<size_t>(ceiling, size_t(16) << 20);
}

size_t DefaultMemoryCeiling() { return CeilingFor(physicalMemory(), addressRoom(), groupRoom()); }

size_t EnvironmentMargin(size_t ceiling)
{
    return std::clamp<size_t>(ceiling / 8, size_t(32) << 20, size_t(512) << 20);
}

void SetMemoryCeiling(size_t bytes)
{
    gCeiling = bytes ? bytes : DefaultMemoryCeiling();
    if (kSanitized) return;
    // The data limit counts the heap and private mappings (large blocks,
    // thread stacks), not the program's code or shared files: what a
    // runaway program grows. What the program may allocate comes on top of
    // what the process has mapped already (set-up, libraries and the
    // interpreter's stack).
    size_t base = DataInUse();
    SetMemoryLimits(base + gCeiling, base + gCeiling + EnvironmentMargin(gCeiling));
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

}  // namespace tavro
