// The developer modes of tavro-run. Each reads FILE ("-" = standard input)
// and returns the process exit status.
#pragma once

#include <string>

namespace tavro::runner {

// Reads a whole file, or standard input for "-"; false when unreadable.
bool ReadSource(const std::string& path, std::string& text);

// Reads the source for a developer mode and prepares an interpreter with a
// root context and the English error messages; false (after a message on
// standard error) when the file cannot be read.
bool PrepareDeveloperMode(const std::string& path, std::string& text);

// --parse: prints the translated program list in its printed form.
int ParseMode(const std::string& path);

// --code: prints the code words of each top-level statement.
int CodeMode(const std::string& path);

}  // namespace tavro::runner
