// SourceWindow: a source window. It edits one program file with syntax
// colouring, shows the caret's line and column, asks before changes are
// lost, saves and loads, finds and replaces, shows the value or help text
// of the word under the mouse, marks where a paused run stands and where a
// run failed, and starts, steps, runs to the caret line and stops programs.
//
// Any number of source windows can be open; SourceWindows() lists them in
// creation order (each window adds itself when created and removes itself
// when it closes). The window's caption is its file's name without folder;
// run control finds a window by that caption (case-insensitive) and uses
// the caption as the source name of every position of its text.
//
// Offsets that the core passes through the SourceView interface count
// bytes of EditorText() (UTF-8); the editor counts characters. The window
// converts between the two.
//
// Run commands follow the run state: while a run is active (any state but
// idle 0 and stopped 5) they only switch its mode (F9 continues at full
// speed without a reset); otherwise they reset the interpreter and run the
// editor's text. Stop asks a running program to stop, and resets the
// interpreter when nothing runs.
//
// A window that was never saved ("New File n") saves through the save
// dialog. Saving goes through WriteWholeFile, so a failed save leaves the
// old file and the text as they were and shows why.
#pragma once

#include <QTextBlock>

#include <QPointer>
#include <QString>
#include <string>
#include <vector>

#include "environment.h"
#include "tool_window.h"
#include "whole_file.h"

class QKeyEvent;
class QLabel;
class QPlainTextEdit;
class QWheelEvent;

namespace tavro {

class MarkerStrip;
class SyntaxHighlighter;

class SourceWindow : public ToolWindow, public SourceView {
    Q_OBJECT
public:
    explicit SourceWindow(QWidget* parent = nullptr);
    ~SourceWindow() override;
    void RefreshSettings() override;
    bool IsSourceWindow() const override { return true; }

    // ---- files
    // Starts an empty program captioned "New File n" (the smallest n no
    // other source window uses).
    void NewFile();
    // Loads a file (UTF-8; other bytes read as Windows-1252) and adds it to
    // the recent programs. A file that cannot be read whole (missing,
    // unreadable, no regular file, too large) is refused with a message
    // naming the file and the system's reason: false, and the window is
    // unchanged.
    bool LoadFile(const std::string& path);
    // Takes a text kept for the file `path` ("" for a program never saved)
    // without reading the file: the window shows it as changed (recovered
    // programs).
    void AdoptText(const std::string& path, const QString& text);
    // To the window's file, or through SaveAs when it has none. False when
    // nothing was written: the file on disk is as it was, the text stays
    // marked changed and a message tells why. When another program changed
    // the file since it was read or saved here, the user is asked first (a
    // file removed meanwhile is written again without a question).
    bool Save();
    // Asks for a file and saves to it; false when cancelled or failed.
    bool SaveAs();
    void SourceSaveAsSource();
    // The full path of the file; "" for a window never saved.
    const std::string& FileName() const { return fileName_; }
    bool IsModified() const;
    // The close query for a changed text (OK saves, No discards, Cancel
    // keeps the window): true when the window may close. The main window
    // asks it at exit too, where the windows stay open until the
    // configuration is written.
    bool QueryClose();

    // ---- run control (the window's buttons; the main window's F9, F8,
    // F7 and F4 call the same)
    void SourceRun();
    void SourceRunStep();
    void SourceRunCommand();
    void SourceRunTo();
    void SourceStop();
    void SourcePrint();

    // ---- find and replace (the main window's Find, Replace, Find next)
    void AskFind();
    void AskReplace();
    // Asks for both texts and replaces every occurrence (one undo step).
    void AskReplaceAll();
    // Returns how many were replaced; the status strip tells it too.
    int ReplaceAll(const QString& find, const QString& with);
    // A passing note in the status strip (the search went round, how many
    // were replaced); an error's message takes precedence.
    void ShowStatusNote(const QString& note);
    QString StatusNote() const { return note_; }
    void FindAgain();

    // ---- SourceView (run control)
    std::string Caption() const override;
    std::string EditorText() const override;
    std::string FileFolder() const override;
    void BringToFront() override;
    void ShowStepAt(int offset) override;
    void PlaceStepMarker(int index) override;
    void HideStepMarker() override;
    // Any run state but paused hides the step marker; pausing again shows
    // it at its place (a command typed while paused changes the state for
    // as long as it runs).
    void ShowStepMarkerForState(uint8_t state);
    void ShowErrorAt(int index) override;
    // Hides the error marker and the error's message in the status strip.
    void HideErrorMarker() override;
    // The message of the run error marked in this window, shown in the
    // status strip (in the skin's Error colour) until the marked line is
    // edited or the next run starts.
    void ShowErrorMessage(const QString& message);
    QString ErrorMessage() const;
    int FirstVisibleLine() const override;
    int LineOfIndex(int index) const override;
    int CaretLine() const override { return caretLine_; }

    // ---- status and hints
    void UpdateStatus();
    QString StatusText() const;
    // The word under the mouse as last found (the edit popup's word at the
    // cursor).
    const std::string& HintWord() const { return hintWord_; }
    const QString& EditorHint() const { return editorHint_; }
    // Finds the word at a character index of the editor and its hint
    // (-1: no word, hints off).
    void ShowWordHint(int index);
    // The character under a viewport point, -1 beyond the end of its line
    // or below the last line.
    int CharAtPoint(QPoint point) const;
    // Selects the placeholder under a viewport point (a drop replaces it).
    void MarkDropPoint(QPoint point);

    // ---- comforts (source_comforts.cpp)
    // Line numbers on or off in every source window (Ctrl+Shift+L; kept
    // as SOURCE.LINENUMBERS).
    void ToggleLineNumbers();

    // The editor. A text with a line longer than kLongestColouredLine is
    // shown without font shaping (no kerning or ligatures) and its long
    // lines keep their laid-out glyphs, so a key in a line of megabytes
    // lays that line out once; other texts are shown as the font shapes
    // them.
    QPlainTextEdit* Editor() const { return edit_; }
    SyntaxHighlighter* Highlighter() const { return highlighter_; }
    MarkerStrip* Markers() const { return markers_; }
    // The character position of a 0-based byte index of EditorText().
    int CharIndexOfByte(int byteIndex) const;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void setFileCaption(const QString& caption);
    void layoutStatus();
    // The caret at a character index, scrolled into view.
    void placeCaret(int at);
    // This window in front with the step marker at a character index, and
    // no other window's.
    void showStep(int at);
    bool writeFile(const std::string& path);
    // True unless the file changed on disk and the user declined to
    // overwrite it.
    bool changedOnDiskAllowed();
    // Reset, state, run of the text, stopped: the sequence behind every run
    // command when nothing runs yet.
    void startRun(uint8_t state, int pauseDepth, bool autosave);
    // Switches an active run to `state`, or starts one in it.
    void runOrSwitch(uint8_t state, int pauseDepth);
    void runMouseMove(QPoint point);
    bool search();
    bool askReplaceTexts();
    void applyComfortSettings();
    void showModified(bool modified);
    void matchBrackets();
    void keepLongLineShapes(int position, int removed, int added);
    void noteLongLines(const QString& text);
    void applyEditorFont();
    // Enter keeps the indent, F1 shows help, Ctrl+Y redoes, Ctrl+Shift+L
    // toggles line numbers; Ctrl+wheel zooms. True when handled.
    bool comfortKey(QKeyEvent* k);
    bool comfortWheel(QWheelEvent* w);
    // An edit of the line with the error marker clears the error.
    void textEdited();
    void watchEdits();
    QMetaObject::Connection editWatch_;
    void askReplaceHere();

    QPlainTextEdit* edit_ = nullptr;
    SyntaxHighlighter* highlighter_ = nullptr;
    MarkerStrip* markers_ = nullptr;
    QWidget* status_ = nullptr;
    QLabel* lineLabel_ = nullptr;
    QLabel* separator_ = nullptr;
    QLabel* columnLabel_ = nullptr;
    QLabel* messageLabel_ = nullptr;
    QString errorMessage_;
    QString note_;
    QString errorLineText_;  // the marked line as it was when the run failed
    std::string fileName_;
    FileStamp stamp_;  // the file as last read or written here
    bool advanced_ = false;
    // The text has had a line past kLongestColouredLine: shown unshaped
    // from then on, for this window's life.
    bool longLines_ = false;
    int caretLine_ = 0, caretColumn_ = 0;
    QPoint lastMouse_{-1, -1};
    QString lastHint_;    // shown last
    QString editorHint_;  // found by the last ShowWordHint
    std::string hintWord_;
    QString searchText_, replaceText_;
    bool findMode_ = true;
};

// The indent a new line after `line` takes: the same, one level more after
// "to ...".
QString IndentAfter(const QString& line);
// The indent of the "to" that an "end" on the line after `above` closes
// (searching up from `above`); "" when there is none.
QString IndentOfOpenTo(QTextBlock above);
// The index of the bracket that matches the one at `at` in `text`, or -1.
int MatchingBracket(const QString& text, int at);

// The open source windows in creation order.
const std::vector<SourceWindow*>& SourceWindows();
// The source window whose caption equals `caption` ignoring case: the
// window whose program runs when it has that caption, else the first in
// creation order.
SourceWindow* FindSourceWindow(std::string_view caption);
// The window whose program the current top-level run started from, or null.
SourceWindow* RunningSourceWindow();
// The source window that was activated last, or null.
SourceWindow* CurrentSource();

}  // namespace tavro
