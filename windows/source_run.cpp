// The source window's run commands and the markers that run control sets.
#include <QMdiArea>
#include <QPointer>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QTextBlock>
#include <climits>
#include <filesystem>

#include "configuration.h"
#include "interpreter.h"
#include "message_dialog.h"
#include "run_control.h"
#include "run_scope.h"
#include "source_markers.h"
#include "source_window.h"
#include "typed_procedures.h"

namespace tavro {

namespace fs = std::filesystem;

namespace {

QPointer<SourceWindow> gRunning;

}  // namespace

SourceWindow* RunningSourceWindow() { return gRunning; }

// ---- offsets: the core counts bytes of the UTF-8 text

int SourceWindow::CharIndexOfByte(int byteIndex) const
{
    QString text = edit_->toPlainText();
    int bytes = 0;
    for (int i = 0; i < text.size(); ++i) {
        if (bytes >= byteIndex) return i;
        char16_t u = text[i].unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < text.size()) {
            bytes += 4;
            ++i;
        } else {
            bytes += u < 0x80 ? 1 : u < 0x800 ? 2 : 3;
        }
    }
    return int(text.size());
}

// ---- SourceView

std::string SourceWindow::Caption() const { return GetCaption().toStdString(); }
std::string SourceWindow::EditorText() const { return edit_->toPlainText().toStdString(); }

std::string SourceWindow::FileFolder() const
{
    return fileName_.empty() ? std::string() : fs::path(fileName_).parent_path().string();
}

void SourceWindow::BringToFront()
{
    if (isMinimized()) showNormal();
    if (QMdiArea* area = mdiArea()) area->setActiveSubWindow(this);
    raise();
    edit_->setFocus();
    ToolWindowActivated(this);
}

void SourceWindow::placeCaret(int at)
{
    QTextCursor c(edit_->document());
    c.setPosition(at);
    edit_->setTextCursor(c);
    edit_->ensureCursorVisible();
}

void SourceWindow::showStep(int at)
{
    BringToFront();
    // One run stands at one place: no other window keeps a marker.
    for (SourceWindow* w : SourceWindows())
        if (w != this) w->HideStepMarker();
    markers_->ShowStep(at);
}

void SourceWindow::ShowStepAt(int offset)
{
    int at = CharIndexOfByte(offset - 1);
    placeCaret(at);
    showStep(at);
}

void SourceWindow::PlaceStepMarker(int index) { showStep(CharIndexOfByte(index)); }

void SourceWindow::HideStepMarker() { markers_->HideStep(); }

void SourceWindow::ShowStepMarkerForState(uint8_t state) { markers_->SetStepShown(state == rsPaused); }

void SourceWindow::ShowErrorAt(int index)
{
    BringToFront();
    int at = CharIndexOfByte(index);
    placeCaret(at);
    markers_->ShowError(at);
    errorLineText_ = edit_->document()->findBlock(at).text();
    watchEdits();
}

void SourceWindow::HideErrorMarker()
{
    markers_->HideError();
    if (!errorMessage_.isEmpty()) ShowErrorMessage(QString());
    watchEdits();
}

int SourceWindow::FirstVisibleLine() const { return edit_->cursorForPosition(QPoint(0, 0)).blockNumber(); }

int SourceWindow::LineOfIndex(int index) const
{
    return edit_->document()->findBlock(CharIndexOfByte(index)).blockNumber();
}

// ---- run commands

void SourceWindow::startRun(uint8_t state, int pauseDepth, bool autosave)
{
    RunScope scope;
    // A new run forgets the errors of the last one.
    for (SourceWindow* w : SourceWindows()) w->HideErrorMarker();
    KeepTypedProcedures typed;
    Reset();  // the memory window's tree is rebuilt there
    // Before the program runs, so that its own definitions replace them.
    typed.Restore();
    SetRunState(state);
    LastPauseDepth = pauseDepth;
    if (autosave && desktop::ConfigYes("AUTOSAVEBEFORERUN")) {
        std::vector<SourceWindow*> windows = SourceWindows();
        for (SourceWindow* w : windows) w->Save();
    }
    if (!fileName_.empty()) {
        std::error_code ec;
        fs::current_path(FileFolder(), ec);
    }
    // The window may close while its program runs: nothing below needs it.
    std::string text = EditorText(), caption = Caption();
    gRunning = this;
    try {
        RunCommandText(text, caption, 1);
    } catch (const std::exception& e) {
        desktop::ShowMessageDialog(e.what(), caption);
    }
    gRunning = nullptr;
    SetRunState(rsStopped);
    Env().RedrawScene();
}

void SourceWindow::SourceRun()
{
    BringToFront();
    LastPauseDepth = -1;
    runOrSwitch(rsRunning, -1);
}

void SourceWindow::runOrSwitch(uint8_t state, int pauseDepth)
{
    if (IsRunActive(RunState)) {
        SetRunState(state);  // the running program goes on in this mode
        return;
    }
    startRun(state, pauseDepth, state == rsRunning);
}

void SourceWindow::SourceRunStep()
{
    BringToFront();
    runOrSwitch(rsStep, -1);
}

void SourceWindow::SourceRunCommand()
{
    BringToFront();
    runOrSwitch(rsRunByCommand, -1);
}

void SourceWindow::SourceRunTo()
{
    BringToFront();
    UpdateStatus();
    RunToTarget = MakePosition(Caption(), caretLine_, 0, INT_MAX);
    runOrSwitch(rsRunTo, 0);
}

void SourceWindow::SourceStop()
{
    BringToFront();
    if (IsRunActive(RunState)) {
        SetRunState(rsStopRequested);
        return;
    }
    RunScope scope;
    KeepTypedProcedures typed;
    Reset();
    typed.Restore();
    SetRunState(rsIdle);
}

void SourceWindow::SourcePrint()
{
    BringToFront();
    QPrinter printer;
    printer.setDocName(GetCaption());
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() == QDialog::Accepted) edit_->print(&printer);
    BringToFront();
}

}  // namespace tavro
