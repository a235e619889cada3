// MainWindow: the environment's main window. A workspace of tool windows
// with the skin's desktop picture behind them, no menu bar and no toolbar:
// every command is in the owner-drawn popup (right click on the workspace
// background), the edit popup and the keyboard shortcuts.
//
// It applies the configuration at start-up and writes it back at exit,
// shows the run state in its caption and icon, opens and closes the
// single-instance tool windows at the point where the popup was opened,
// and keeps the recent-programs, skins, languages and libraries menus.
//
// Its members are defined by concern: main_window.cpp (workspace,
// construction, shortcuts, edit actions), main_window_popups.cpp,
// main_window_tools.cpp (opening and closing the tool windows),
// main_window_run_state.cpp, main_window_look.cpp (skins, languages,
// fonts), main_window_programs.cpp (recent programs and libraries),
// main_window_configuration.cpp and main_window_lifetime.cpp (deferred
// start-up work and shutdown).
#pragma once

#include <QMainWindow>
#include <QMdiArea>
#include <QPointer>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "application.h"

class QMenu;
class QAction;
class QLabel;

namespace tavro {
class OutputWindow;
class ToolWindow;
class CommandWindow;
class PlaneWindow;
class MemoryWindow;
class InfoWindow;
}  // namespace tavro

namespace tavro::shell {

// The workspace: tiles the desktop picture (or fills the Desktop colour)
// and asks for the main popup on a right click on its background.
class DesktopArea : public QMdiArea {
    Q_OBJECT
public:
    using QMdiArea::QMdiArea;
    void SetHint(const QString& hint) { hint_ = hint; }
signals:
    void popupRequested(QPoint viewportPos, QPoint globalPos);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    // Only the background opens the main popup and shows the main hint.
    bool onBackground(QPoint viewportPos) const;
    QString hint_;
};

class MainWindow : public QMainWindow, public Application {
    Q_OBJECT
public:
    MainWindow();
    ~MainWindow() override;

    // ---- start-up and exit
    // Applies the configuration list (language, skin, fonts, menus,
    // interpreter reset, libraries, window geometry, start-up program,
    // tool windows). Throws on a malformed value.
    void ApplyConfiguration(const std::vector<std::string>& params);
    // Writes the current state into the configuration list and, when
    // AUTOSAVE is "Yes" and there is a configuration file, to the file.
    void SaveConfiguration();
    // Arranges the windows on the first start only (ARRANGED is then set in
    // the configuration); later starts keep the saved places.
    void ArrangeAtFirstStart();
    // Enables the one-shot start-up timer (library programs, start-up
    // program).
    void StartDeferredWork(int delayMs = 1000);
    // The deferred work itself (what the timer runs).
    void RunDeferredWork();
    const std::string& StartupProgram() const { return startupProgram_; }
    bool Closing() const override { return closing_; }
    // Called when the outermost run of the interpreter has returned.
    void InterpreterIdle() override;

    // ---- run state display
    // The caption and icon (with BUTTONS=Yes) and the status strip. A run
    // that has ended (state stopped, or idle after a command) reads as
    // finished, stopped by the user or ended by an error.
    void ShowRunState(uint8_t oldState, uint8_t newState);
    enum class RunOutcome { Finished, Stopped, Failed };
    // How the current run ends; shown once the run state says so. A
    // failure's message follows the state text ("Ended by an error: ...").
    void NoteRunOutcome(RunOutcome outcome, const std::string& message = {});
    // The strip says "Error" while an error's message dialog waits, and the
    // run state again afterwards.
    void ShowErrorWaiting(bool waiting);
    QString RunStateText() const;
    QString SavedTitle() const { return savedTitle_; }
    bool IconAnimating() const { return iconTimer_.isActive(); }
    // The run actions (F9, F8, F7, F4).
    void RunFast();
    void RunCommand();
    void RunStep();
    void RunTo();

    // ---- look
    void ApplySkin(bool repaint) override;
    void ApplyInterfaceTexts();
    void PickSkin(QAction* entry);
    void SwitchLanguage(QAction* entry);
    void ChangeFont();
    // The environment font one point larger (1) or smaller (-1), or back
    // to its default size (0); kept in FONT.SIZE.
    void Zoom(int step) override;
    // A source window for a new program (Ctrl+N, "New").
    void NewProgram();

    // ---- windows
    DesktopArea* Desktop() const { return desktop_; }
    void ToggleOutput();
    void ToggleCommands();
    void TogglePlane();
    // Opens the plane window at a workspace point (or returns the open one).
    // `place`: opened while the environment runs (not restored at
    // start-up), the window finds its place itself.
    PlaneWindow* OpenPlane(int left, int top, bool place = true) override;
    OutputWindow* OpenOutput(bool place = true);
    CommandWindow* OpenCommands(bool place = true);
    // The memory window (opened with a fresh tree) and the info window
    // (opened on the help's start page); each returns the open one when
    // it is open already.
    void ToggleMemory();
    void ToggleInfo();
    MemoryWindow* OpenMemory(bool place = true);
    InfoWindow* OpenInfo(bool place = true) override;
    // Prepares and opens the main popup at a workspace point.
    void ShowPopeye(QPoint viewportPos, QPoint globalPos);
    void PreparePopeye(QPoint viewportPos);
    QMenu* PopupEdit() const { return popupEdit_; }
    // "Reset the memory": asks, then forgets every name, the procedures
    // typed in the command window too (not while a program runs).
    void AskResetMemory();
    // Opens the edit popup at a screen point (the context menu of the
    // editors, the output window and the command line).
    void ShowEditPopup(QPoint globalPos) override;
    void PreparePopupEdit();
    // An action of the menus by its interface-text key (e.g. "MENU.NEW").
    QAction* MenuEntry(const std::string& key) const;
    QMenu* ReopenMenu() const { return reopenMenu_; }
    QMenu* LibrariesMenu() const { return librariesMenu_; }
    QMenu* SkinsMenu() const { return skinsMenu_; }
    QMenu* LanguagesMenu() const { return translateMenu_; }

    // ---- program files and libraries
    void AddRecentFile(const std::string& path) override;
    std::vector<std::string> RecentFiles() const;
    // Opens a program file in a source window unless it is open already.
    void OpenProgramFile(const std::string& path);
    // "Load now" with the chosen files.
    void LoadLibraries(const std::vector<std::string>& files);
    // Unloads a library entry (asks first unless `ask` is false).
    void UnloadLibrary(QAction* entry, bool ask = true);
    std::vector<std::string> LibraryEntries() const;
    // Adds the entries and the run commands for a comma-separated list.
    void AddLibraryList(std::string list);

    // ---- edit actions routed to the current window
    void EditAction(const QString& which);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Closes the open window of a kind, or opens one at the popup point
    // with the kind's configured size.
    void toggleWindow(ToolWindow* open, const std::string& key, const std::function<void()>& opener);
    void buildActions();
    void buildStatusStrip();
    void showRunStateText(uint8_t state);
    void buildPopeye();
    void buildPopupEdit();
    void buildExamplesMenu(QMenu* menu);
    QAction* entry(QMenu* menu, const std::string& key, const QString& design);
    // A submenu of `menu` whose entry is known by `key`.
    QMenu* submenu(QMenu* menu, const char* objectName, const std::string& key, const QString& design);
    // A checkable entry that runs `toggle`.
    void toggleEntry(QMenu* menu, const std::string& key, const QString& design, void (MainWindow::*toggle)());
    void buildSkinsMenu(const std::string& skin);
    void buildLanguagesMenu();
    void addLibraryEntry(const std::string& caption);
    void rebuildLibraryCommandText();
    void updateWindowEntries();
    void setDesktopBackground();
    void iconTick();
    void restoreToolWindows();

    DesktopArea* desktop_ = nullptr;
    QMenu* popeye_ = nullptr;
    QMenu* popupEdit_ = nullptr;
    QMenu* reopenMenu_ = nullptr;
    QMenu* windowMenu_ = nullptr;
    QMenu* environmentMenu_ = nullptr;
    QMenu* skinsMenu_ = nullptr;
    QMenu* translateMenu_ = nullptr;
    QMenu* librariesMenu_ = nullptr;
    std::map<std::string, QAction*> entries_;
    QString savedTitle_;
    QLabel* runStateLabel_ = nullptr;
    RunOutcome outcome_ = RunOutcome::Finished;
    std::string failure_;
    QPoint popupPoint_;
    QTimer startUpTimer_;
    QTimer iconTimer_;
    QIcon staticIcon_;
    std::vector<QIcon> runIcons_;
    int nextFrame_ = 0;
    bool closing_ = false;
    bool closePending_ = false;
    bool librariesFromCommandLine_ = false;
    bool buttons_ = false;
    bool applyingFailed_ = true;  // until the configuration was applied
    std::string startupProgram_;
};

// The one main window (null before it exists and after it is gone).
MainWindow* TheMainWindow();

}  // namespace tavro::shell
