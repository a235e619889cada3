#include "main_window.h"

#include <QCloseEvent>
#include <QCoreApplication>

#include "command_window.h"
#include "crash_recovery.h"
#include "environment.h"
#include "info_window.h"
#include "installation.h"
#include "interpreter.h"
#include "memory_window.h"
#include "output_window.h"
#include "plane_window.h"
#include "program_files.h"
#include "run_control.h"
#include "run_scope.h"
#include "source_window.h"
#include "tool_window.h"

namespace tavro::shell {

// ---- deferred start-up work and shutdown

void MainWindow::StartDeferredWork(int delayMs)
{
    startUpTimer_.setInterval(delayMs);
    startUpTimer_.start();
}

void MainWindow::RunDeferredWork()
{
    startUpTimer_.stop();
    if (closing_) return;
    RunScope scope;
    try {
        if (!LibraryCommandText.empty()) RunSystemCommand(LibraryCommandText);
        NoteLibraryNames();
        if (!startupProgram_.empty() && !closing_) {
            // File names here are case-sensitive: only the keyword follows
            // the naming mode.
            RunSystemCommand(BuildLibraryCommandText(startupProgram_));
        }
    } catch (...) {
        // Failures of the deferred work are swallowed.
    }
    if (!closing_) Env().RebuildTree();
}

void MainWindow::InterpreterIdle()
{
    if (closePending_) QTimer::singleShot(0, this, &MainWindow::close);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (RunScope::Depth() > 0) {
        // A program runs below this event: ask it to stop and close once
        // it has unwound, before any window goes away.
        closePending_ = true;
        closing_ = true;
        SetRunState(rsStopRequested);
        event->ignore();
        return;
    }
    if (!QuerySourceWindowsAtExit()) {
        closing_ = closePending_ = false;
        event->ignore();
        return;
    }
    // Every changed program was saved or declined: nothing left to recover.
    DiscardRecoveryFile();
    closing_ = true;
    if (IsRunActive(RunState)) SetRunState(rsStopRequested);
    QCoreApplication::processEvents();
    event->accept();
    QCoreApplication::quit();
}

}  // namespace tavro::shell
