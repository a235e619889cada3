// The seam between the interpreter core and its environment.
//
// The core never talks to a window, a GL context or a terminal directly:
// everything it needs from outside goes through one Environment object that
// the host installs with SetEnvironment. Every operation has a harmless
// default, so a host overrides only what it has: the IDE implements all of
// it with Qt; the command-line runner writes output to standard output and
// messages to standard error and leaves the scene, widget and window hooks
// at their defaults.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "atom.h"

namespace tavro {

// An open source window, as the executor sees it (stepping markers, run of
// unsaved editor text, error marking).
class SourceView {
public:
    virtual ~SourceView() = default;
    virtual std::string Caption() const = 0;       // the source name of its positions
    virtual std::string EditorText() const = 0;    // current, unsaved text
    virtual std::string FileFolder() const = 0;    // folder of its file, or ""
    virtual void BringToFront() {}
    // Markers; offsets are 1-based byte offsets into EditorText.
    virtual void ShowStepAt(int offset) {}
    virtual void PlaceStepMarker(int index) {}
    virtual void HideStepMarker() {}
    virtual void ShowErrorAt(int index) {}
    virtual void HideErrorMarker() {}
    virtual int FirstVisibleLine() const { return 0; }
    virtual int LineOfIndex(int index) const { return 0; }
    virtual int CaretLine() const { return 0; }
};

class Environment {
public:
    virtual ~Environment() = default;

    // ---- output window
    // A new output line (print, service 25); colour 0 is black.
    virtual void WriteLine(std::string_view text, int colour = 0, bool bold = false) {}
    // Text appended to the last output line (service 11).
    virtual void AppendToLastLine(std::string_view text) {}
    // The empty line that marks the start of a run (only when the output
    // window is open).
    virtual void WriteRunStartLine() {}

    // ---- run state: show it (caption, icon)
    virtual void ShowRunState(uint8_t state) {}
    // A stop the user asked for has ended the outermost run.
    virtual void ShowRunStopped() {}

    // ---- source windows
    virtual SourceView* FindSourceWindow(std::string_view sourceName) { return nullptr; }

    // ---- dialogs
    // A run error: `source` names the program whose text failed (its line
    // is CurrentPosition.Line), or is "" for a command.
    virtual void ShowMessage(std::string_view message, std::string_view source) {}
    // Asks for a line of text; nullopt when the user cancels or input ends.
    virtual std::optional<std::string> AskText(std::string_view prompt) { return std::nullopt; }

    // ---- help
    // Shows the help topic of a word ("" for the start page); false when
    // the environment has no help to show.
    virtual bool ShowHelp(std::string_view topic) { return false; }

    // ---- leaving (service 114, `bye`): the program asks to end the
    // environment the way its close button does. Called inside the run,
    // which ends right after with a stop; a GUI closes once it is idle.
    virtual void RequestQuit() {}

    // ---- keys
    // Moves keys received since the last call into the key buffer
    // (AppendKey); true when no key can ever come any more. A GUI appends
    // keys as they are typed and has nothing to do here.
    virtual bool CollectKeys() { return false; }

    // ---- message pumping and time
    virtual void ProcessMessages() {}
    virtual void SleepMilliseconds(int ms) {}

    // ---- memory window
    virtual void RebuildTree() {}

    // ---- scene: display lists belong to variable nodes
    // False only for an environment whose three display-list operations
    // below do nothing (and answer false): an assignment then skips them.
    virtual bool KeepsDisplayLists() { return true; }
    virtual bool HasDisplayList(Atom* node) { return false; }
    virtual void DeleteDisplayList(Atom* node) {}
    virtual void BuildDisplayList(Atom* node) {}
    virtual void RedrawScene() {}
    // Called where program code may run (between statements, when a run
    // ends or pauses, before a wait): records the drawings whose rebuild
    // was put off until a frame shows them. With `whenFrameDue` only if
    // the plane would show a new frame now; without, always.
    virtual void BuildDeferredDrawings(bool whenFrameDue) {}
    virtual void RepaintPlane() {}
    // Scene and window services that only a GUI can honour (camera 3-6,
    // model matrix 7, redraw 9, rebuild 10, call list 14, plane menu 17,
    // picture 27, pick 28, skin borders 29-30, deferral 31-32, mouse
    // blocking 33-34, open plane 35). The default does nothing; code 28
    // answers the empty list (0).
    virtual intptr_t SceneService(int code, TText* text, long double n1, long double n2,
                                  long double n3, long double n4)
    {
        return 0;
    }

    // The model matrix (service 7), row after row, already converted.
    virtual void SetModelMatrix(const float matrix[16]) {}

    // ---- widgets (services 18-23, 26): a new widget atom, or null when
    // there is no window to put a control on.
    virtual Atom* CreateWidget(int serviceCode) { return nullptr; }
    // Detaches and destroys the control of a widget atom being released.
    virtual void ReleaseWidget(Atom* widget) {}

    // ---- media (service 24)
    virtual void PlaySound(std::string_view file, int player) {}

    // ---- clipboard
    virtual std::string ClipboardText() { return {}; }
    virtual void SetClipboardText(std::string_view text) {}
};

// The installed environment (a do-nothing one until a host installs its own).
Environment& Env();
void SetEnvironment(Environment* environment);

}  // namespace tavro
