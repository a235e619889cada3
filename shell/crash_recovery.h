// Unsaved programs kept through a crash.
//
// When the environment is about to die anyway (a fatal signal, an uncaught
// exception), the text of every modified source window is written to a
// recovery file beside the configuration file; the next start offers to
// open those programs again, modified, under their old names.
#pragma once

#include <string>
#include <vector>

namespace tavro::shell {

// The recovery file beside the configuration file in use.
std::string RecoveryFilePath();

// Installs the handlers of fatal signals and of std::terminate that write
// the recovery file before the process ends as it would have.
void InstallCrashRecovery();

// Writes the text of every modified source window to `path` (the crash
// handlers' work, callable on its own); returns how many were written.
// Nothing modified: no file.
int WriteRecoveryFile(const std::string& path);

struct RecoveredProgram {
    std::string fileName;  // empty for a program never saved
    std::string caption;
    std::string text;
};

// The programs of a recovery file; a damaged entry ends the list.
std::vector<RecoveredProgram> ReadRecoveryFile(const std::string& path);

// At start-up: when a recovery file exists, asks whether to open its
// programs again and does so; the file goes either way. Returns how many
// windows were opened.
int OfferRecovery();

}  // namespace tavro::shell
