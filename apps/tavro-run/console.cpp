#include "console.h"

#include <editline/readline.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "interpreter.h"
#include "log.h"
#include "run_control.h"
#include "state.h"
#include "unfinished_command.h"

namespace tavro::runner {

namespace {
constexpr const char* kCommandPrompt = "? ";
constexpr const char* kContinuationPrompt = "~ ";
constexpr int kHistorySize = 32;

bool blank(const std::string& s) { return s.find_first_not_of(" \t") == std::string::npos; }
}  // namespace

int RunConsole(ConsoleEnvironment& env)
{
    int status = 0;
    bool fresh = true;
    std::string collected;
    stifle_history(kHistorySize);
    std::printf("Tavro %s. Type commands; Ctrl+D or a second Ctrl+C leaves.\n", TAVRO_VERSION);
    for (;;) {
        env.FinishLine();
        InterruptCount = 0;
        char* raw = readline(fresh ? kCommandPrompt : kContinuationPrompt);
        if (!raw) {
            if (InterruptCount > 0) {
                // Ctrl+C at the prompt: drop the line; a second one leaves.
                std::printf("^C\n");
                fresh = true;
                collected.clear();
                InterruptCount = 0;
                raw = readline(kCommandPrompt);
                if (!raw) {
                    std::printf("\n");
                    break;
                }
            } else {
                std::printf("\n");
                break;
            }
        }
        std::string line(raw);
        std::free(raw);
        LogLine(logCommands, line);
        if (!blank(line)) add_history(line.c_str());
        std::string text = fresh ? line : collected + " , " + line;
        int r = RunSystemCommand(text);
        if (LastRunStopped) {
            env.FinishLine();
            std::printf("\n");  // the terminal echoed ^C after the output
        }
        if (r == rscTranslationFailed) {
            // Only what something left open waits for more lines; a text
            // that is wrong however it goes on is an error now.
            if (WhatIsOpen(text, LastErrorText, CurrentPosition.Offset, {0}).Unfinished) {
                collected = text;
                fresh = false;
                continue;
            }
            env.ShowMessage(LastErrorText, "");
            status = 1;
            collected.clear();
            fresh = true;
        } else {
            collected.clear();
            fresh = true;
            if (r == rscRunFailed) status = 1;
        }
    }
    return status;
}

}  // namespace tavro::runner
