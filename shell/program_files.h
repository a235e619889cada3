// Program files at the shell level: source windows opened for files or
// empty programs, the file or help topic named by the word at the cursor,
// and the open source windows in the configuration (USERS, USERn.*).
#pragma once

#include <QPointer>
#include <QRect>
#include <functional>
#include <string>
#include <vector>

namespace tavro {
class SourceWindow;
}

namespace tavro::shell {

// Opens a source window at `bounds`, moved inside the workspace when it
// would reach past its edges (SetInitialBounds, creation),
// with the file `path`, or as a new empty program when `path` is "". A
// file that cannot be read gives a message and no window: null.
SourceWindow* OpenSourceWindow(const QRect& bounds, const std::string& path);

// Many source windows opened at once (the saved windows at start, the
// recovered programs): while a batch lives, the windows OpenSourceWindow
// opens stay hidden, and the batch shows them when it ends (inside the
// hidden workspace, which then shows once), the last one in front. The workspace places each window added by weighing every
// shown window against the others (before our own placement moves it) and
// brings a window to the front by deactivating every other: shown one by
// one, N windows took time growing with N cubed (1,000 windows 82 s).
class WindowBatch {
public:
    WindowBatch();
    ~WindowBatch();
    WindowBatch(const WindowBatch&) = delete;
    WindowBatch& operator=(const WindowBatch&) = delete;

private:
    friend SourceWindow* OpenSourceWindow(const QRect& bounds, const std::string& path);
    std::vector<QPointer<SourceWindow>> opened_;
    WindowBatch* outer_ = nullptr;
};

// The two paths name the same file (both made absolute and normal).
bool SamePath(const std::string& a, const std::string& b);
// The open source window of exactly this file, or null. Windows of files
// with the same name in other folders do not count.
SourceWindow* WindowOfFile(const std::string& path);

// The program file a word names: the word with ".tvr" appended when it has
// no extension, found by the program path resolution; "" when there is no
// such file.
std::string FileOfWord(const std::string& word);

// Looking a word up in the help: the info window installs the lookup
// (opening itself and showing the topic). Without one, the edit popup
// offers no help entry.
using HelpLookup = std::function<void(const std::string& topic)>;
void SetHelpLookup(HelpLookup lookup);
bool HelpLookupAvailable();
void LookUpHelp(const std::string& topic);

// Start-up: opens the saved source windows USER1 .. USERcount with their
// files and placement. A window saved without a file comes back as a new
// empty program; a file that cannot be read any more gives its message and
// no window.
void RestoreSourceWindows(int count);
// Exit: USERS, each window's USERn.* keys and SOURCE.WIDTH/HEIGHT.
void SaveSourceWindows();
// Exit: the close query of every changed source window (the windows stay
// open); false when the user cancelled one.
bool QuerySourceWindowsAtExit();

}  // namespace tavro::shell
