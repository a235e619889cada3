// The categorised text log. Native libraries open, close and mask it
// through host services; the executor writes to it by category.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tavro {

enum LogCategory : uint32_t {
    logOutput = 1,      // lines written to the output window
    logCommands = 2,    // command lines typed in the command window
    logAppend = 4,      // mask bit: append to an existing file on opening
    logTime = 8,        // mask bit: prefix "hh:mm:ss "
    logDate = 16,       // mask bit: prefix "yy.mm.dd "
    logTrace = 32,      // procedure Enter/Exit lines
    logErrors = 64,     // errors
};

// Opens the log (closing an open one first); false when the file cannot
// be opened (the log is then closed).
bool OpenLog(const std::string& path, uint32_t mask);
void CloseLog();
bool LogIsOpen();
uint32_t LogMask();
// Sets the mask and returns the previous one.
uint32_t SetLogMask(uint32_t mask);
// Writes one line when the log is open and `category` is in the mask.
void LogLine(uint32_t category, std::string_view text);
// Writes a line in pieces: the first piece gets the prefix, the last one
// ends the line.
void LogLinePiece(uint32_t category, std::string_view text, bool first, bool last);
namespace detail {
// The mask while the log is open, 0 while it is closed.
extern uint32_t gLogWanted;
}  // namespace detail

// Whether a line of this category would be written (to skip building it).
// Inline: every procedure call asks.
inline bool LogWants(uint32_t category) { return (category & detail::gLogWanted) != 0; }

// The prefix for the current moment under `mask` (exposed for tests).
std::string LogPrefix(uint32_t mask, const struct tm& when);

}  // namespace tavro
