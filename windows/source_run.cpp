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

namespace tavro {

namespace fs = std::filesystem;

namespace {

QPointer<TSource> gRunning;

}  // namespace

TSource* RunningSourceWindow() { return gRunning; }

// ---- offsets: the core counts bytes of the UTF-8 text

int TSource::CharIndexOfByte(int byteIndex) const
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

// ---- SourceWindow

std::string TSource::Caption() const { return GetCaption().toStdString(); }
std::string TSource::EditorText() const { return edit_->toPlainText().toStdString(); }

std::string TSource::FileFolder() const
{
    return fileName_.empty() ? std::string() : fs::path(fileName_).parent_path().string();
}

void TSource::BringToFront()
{
    if (isMinimized()) showNormal();
    if (QMdiArea* area = mdiArea()) area->setActiveSubWindow(this);
    raise();
    edit_->setFocus();
    ToolWindowActivated(this);
}

void TSource::placeCaret(int at)
{
    QTextCursor c(edit_->document());
    c.setPosition(at);
    edit_->setTextCursor(c);
    edit_->ensureCursorVisible();
}

void TSource::showStep(int at)
{
    BringToFront();
    // One run stands at one place: no other window keeps a marker.
    for (TSource* w : SourceWindows())
        if (w != this) w->HideStepMarker();
    markers_->ShowStep(at);
}

void TSource::ShowStepAt(int offset)
{
    int at = CharIndexOfByte(offset - 1);
    placeCaret(at);
    showStep(at);
}

void TSource::PlaceStepMarker(int index) { showStep(CharIndexOfByte(index)); }

void TSource::HideStepMarker() { markers_->HideStep(); }

void TSource::ShowStepMarkerForState(uint8_t state) { markers_->SetStepShown(state == rsPaused); }

void TSource::ShowErrorAt(int index)
{
    BringToFront();
    int at = CharIndexOfByte(index);
    placeCaret(at);
    markers_->ShowError(at);
    errorLineText_ = edit_->document()->findBlock(at).text();
    watchEdits();
}

void TSource::HideErrorMarker()
{
    markers_->HideError();
    if (!errorMessage_.isEmpty()) ShowErrorMessage(QString());
    watchEdits();
}

int TSource::FirstVisibleLine() const { return edit_->cursorForPosition(QPoint(0, 0)).blockNumber(); }

int TSource::LineOfIndex(int index) const
{
    return edit_->document()->findBlock(CharIndexOfByte(index)).blockNumber();
}

// ---- run commands

void TSource::startRun(uint8_t state, int pauseDepth, bool autosave)
{
    RunScope scope;
    // A new run forgets the errors of the last one.
    for (TSource* w : SourceWindows()) w->HideErrorMarker();
    Reset();  // the memory window's tree is rebuilt there
    SetRunState(state);
    LastPauseDepth = pauseDepth;
    if (autosave && desktop::ConfigYes("AUTOSAVEBEFORERUN")) {
        std::vector<TSource*> windows = SourceWindows();
        for (TSource* w : windows) w->Save();
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

void TSource::SourceRun()
{
    BringToFront();
    LastPauseDepth = -1;
    runOrSwitch(rsRunning, -1);
}

void TSource::runOrSwitch(uint8_t state, int pauseDepth)
{
    if (IsRunActive(RunState)) {
        SetRunState(state);  // the running program goes on in this mode
        return;
    }
    startRun(state, pauseDepth, state == rsRunning);
}

void TSource::SourceRunStep()
{
    BringToFront();
    runOrSwitch(rsStep, -1);
}

void TSource::SourceRunCommand()
{
    BringToFront();
    runOrSwitch(rsRunByCommand, -1);
}

void TSource::SourceRunTo()
{
    BringToFront();
    UpdateStatus();
    RunToTarget = MakePosition(Caption(), caretLine_, 0, INT_MAX);
    runOrSwitch(rsRunTo, 0);
}

void TSource::SourceStop()
{
    BringToFront();
    if (IsRunActive(RunState)) {
        SetRunState(rsStopRequested);
        return;
    }
    RunScope scope;
    Reset();
    SetRunState(rsIdle);
}

void TSource::SourcePrint()
{
    BringToFront();
    QPrinter printer;
    printer.setDocName(GetCaption());
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() == QDialog::Accepted) edit_->print(&printer);
    BringToFront();
}

}  // namespace tavro
