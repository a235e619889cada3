#include "log.h"

#include <cstdio>
#include <ctime>

namespace tavro {

namespace detail {
uint32_t gLogWanted = 0;
}  // namespace detail

namespace {
std::FILE* gLog = nullptr;
uint32_t gMask = 0;

// LogWants reads one word: the mask while the log is open, else nothing.
void noteWanted() { detail::gLogWanted = gLog ? gMask : 0; }
}  // namespace

bool OpenLog(const std::string& path, uint32_t mask)
{
    CloseLog();
    gMask = mask;
    gLog = std::fopen(path.c_str(), (mask & logAppend) ? "ab" : "wb");
    noteWanted();
    return gLog != nullptr;
}

void CloseLog()
{
    if (gLog) std::fclose(gLog);
    gLog = nullptr;
    noteWanted();
}

bool LogIsOpen() { return gLog != nullptr; }
uint32_t LogMask() { return gMask; }

uint32_t SetLogMask(uint32_t mask)
{
    uint32_t old = gMask;
    gMask = mask;
    noteWanted();
    return old;
}

std::string LogPrefix(uint32_t mask, const struct tm& when)
{
    char buf[32];
    std::string prefix;
    if (mask & logDate) {
        std::strftime(buf, sizeof buf, "%y.%m.%d ", &when);
        prefix += buf;
    }
    if (mask & logTime) {
        std::strftime(buf, sizeof buf, "%H:%M:%S ", &when);
        prefix += buf;
    }
    return prefix;
}

void LogLine(uint32_t category, std::string_view text) { LogLinePiece(category, text, true, true); }

void LogLinePiece(uint32_t category, std::string_view text, bool first, bool last)
{
    if (!LogWants(category)) return;
    if (first) {
        std::time_t now = std::time(nullptr);
        struct tm local;
        localtime_r(&now, &local);
        std::string prefix = LogPrefix(gMask, local);
        if (!prefix.empty()) std::fwrite(prefix.data(), 1, prefix.size(), gLog);
        std::fflush(gLog);
    }
    if (!text.empty()) std::fwrite(text.data(), 1, text.size(), gLog);
    if (last) std::fputc('\n', gLog);
    std::fflush(gLog);
}

}  // namespace tavro
