// The runner's environment: output lines on standard output, messages on
// standard error, no windows and no scene (only its camera and background). Ctrl+C requests a stop.
#pragma once

#include <csignal>
#include <cstdio>

#include "environment.h"
#include "scene_settings.h"

namespace tavro::runner {

class ConsoleEnvironment : public Environment {
public:
    void WriteLine(std::string_view text, int colour, bool bold) override;
    void AppendToLastLine(std::string_view text) override;
    void ShowMessage(std::string_view message, std::string_view source) override;
    std::optional<std::string> AskText(std::string_view prompt) override;
    void ProcessMessages() override;
    void SleepMilliseconds(int ms) override;
    // Keys come from standard input, read only when a program waits for one.
    bool CollectKeys() override;
    // No info window here: the topic is printed as plain text on standard
    // output (help_text.h).
    bool ShowHelp(std::string_view topic) override;
    // `bye`: the output is finished and the runner ends at once, with
    // status 0, whatever the program or command line still holds.
    void RequestQuit() override;

    // Without a view the camera and the background are only kept, so
    // that the program reads back what it set (a picture runner's scene
    // answers instead).
    intptr_t SceneService(int code, TText* text, long double n1, long double n2, long double n3,
                          long double n4) override;
    // No display lists either (a picture runner's scene keeps them).
    bool KeepsDisplayLists() override { return false; }

    // Ends an open output line (before a prompt or at exit).
    void FinishLine();

private:
    scene::SceneSettings sceneSettings_;
    bool lineOpen_ = false;
    bool inputEnded_ = false;
};

// Set by the SIGINT handler; counts interrupts not yet acted on.
extern volatile std::sig_atomic_t InterruptCount;
void InstallInterruptHandler();

}  // namespace tavro::runner
