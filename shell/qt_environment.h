// The core's environment in the desktop IDE: output goes to the output
// window, messages and questions to the message dialog, the run state to
// the main window's caption and icon, and message pumping to Qt's event
// loop, the name tree to the memory window.
#pragma once

#include "environment.h"

namespace tavro::shell {

class QtEnvironment : public Environment {
public:
    void WriteLine(std::string_view text, int colour, bool bold) override;
    void AppendToLastLine(std::string_view text) override;
    void WriteRunStartLine() override;
    // Any state but paused hides the step markers of the source windows;
    // paused shows the marker of the paused run again at its place.
    void ShowRunState(uint8_t state) override;
    // The source window captioned `sourceName`, ignoring case (the window
    // of the running program first).
    SourceView* FindSourceWindow(std::string_view sourceName) override;
    // A run error goes to the output window in the skin's Error colour,
    // to the status strip of the failed program's source window and to
    // the message dialog, which names the program's line.
    void ShowMessage(std::string_view message, std::string_view source) override;
    // "stopped" in the output window.
    void ShowRunStopped() override;
    // Opens the info window at the topic (the start page for "").
    bool ShowHelp(std::string_view topic) override;
    // `bye`: the main window is asked to close once the run has ended, and
    // closes as its close button closes it (unsaved sources are asked for).
    void RequestQuit() override;
    std::optional<std::string> AskText(std::string_view prompt) override;
    // Keys arrive as the windows receive them; waiting for one keeps the
    // windows alive.
    bool CollectKeys() override;
    void ProcessMessages() override;
    void SleepMilliseconds(int ms) override;
    // The memory window, when open, shows the tree as it is now.
    void RebuildTree() override;
    // The scene: display lists are compiled in a context of the plane's
    // share group, the plane window's when it is open.
    bool HasDisplayList(Atom* node) override;
    void DeleteDisplayList(Atom* node) override;
    void BuildDisplayList(Atom* node) override;
    void RedrawScene() override;
    void BuildDeferredDrawings(bool whenFrameDue) override;
    void RepaintPlane() override;
    intptr_t SceneService(int code, TText* text, long double n1, long double n2, long double n3,
                          long double n4) override;
    void SetModelMatrix(const float matrix[16]) override;
    Atom* CreateWidget(int serviceCode) override;
    void ReleaseWidget(Atom* widget) override;
    void PlaySound(std::string_view file, int player) override;
    std::string ClipboardText() override;
    void SetClipboardText(std::string_view text) override;

private:
    uint8_t shownState_ = 0;
};

}  // namespace tavro::shell
