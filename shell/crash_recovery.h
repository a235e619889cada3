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

// Writes the recovery file once per process, whatever state the process
// is in (the fatal-signal handlers' work; also the ending signals' when the
// environment cannot close in time).
void WriteRecoveryBeforeEnding();

// When a recovery file exists: rewrites it with the modified source
// windows, or removes it when none is modified any more.
void RefreshRecoveryFile();
// An orderly end after every changed program was saved or declined.
void DiscardRecoveryFile();

// The programs of a recovery file; a damaged entry ends the list.
std::vector<RecoveredProgram> ReadRecoveryFile(const std::string& path);

// At start-up: when a recovery file exists, asks whether to open its
// programs again and does so, as changed programs. Declined, the file
// goes; accepted, it stays (rewritten as they are saved) until none of
// them is unsaved any more. Returns how many windows were opened.
int OfferRecovery();

}  // namespace tavro::shell
