// The developer modes of tavro-run. Each reads FILE ("-" = standard input)
// and returns the process exit status.
#pragma once

#include <string>

namespace tavro::runner {

// Reads a whole program file, or standard input for "-". False, with the
// reason in *why, for a folder, a file that cannot be read, a text with
// zero bytes (other than UTF-16 text) and anything above 1 GB.
bool ReadSource(const std::string& path, std::string& text, std::string* why = nullptr);

// Reads the source for a developer mode and prepares an interpreter with a
// root context and the English error messages; false (after a message on
// standard error) when the file cannot be read.
bool PrepareDeveloperMode(const std::string& path, std::string& text);

// --parse: prints the translated program list in its printed form.
int ParseMode(const std::string& path);

// --code: prints the code words of each top-level statement.
int CodeMode(const std::string& path);

}  // namespace tavro::runner
