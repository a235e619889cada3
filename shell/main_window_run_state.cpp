#include "main_window.h"

#include <QApplication>
#include <QLabel>
#include <QStatusBar>

#include "command_window.h"
#include "environment.h"
#include "info_window.h"
#include "interpreter.h"
#include "languages.h"
#include "message_dialog.h"
#include "program_files.h"
#include "run_control.h"
#include "source_window.h"
#include "tool_window.h"

namespace tavro::shell {

using namespace desktop;

// ---- run state

void MainWindow::buildStatusStrip()
{
    runStateLabel_ = new QLabel(this);
    runStateLabel_->setObjectName("RunState");
    statusBar()->setObjectName("StatusStrip");
    statusBar()->setSizeGripEnabled(false);
    statusBar()->addWidget(runStateLabel_, 1);
    showRunStateText(RunState);
}

void MainWindow::NoteRunOutcome(RunOutcome outcome, const std::string& message)
{
    outcome_ = outcome;
    failure_ = outcome == RunOutcome::Failed ? message : std::string();
    // A command that fails at once (it does not translate) changes no run
    // state: the strip shows the failure now.
    if (!IsRunActive(RunState)) showRunStateText(RunState);
}

void MainWindow::ShowErrorWaiting(bool waiting)
{
    if (waiting) runStateLabel_->setText(QString::fromStdString(Tr("STATE.ERROR")));
    else showRunStateText(RunState);
}

QString MainWindow::RunStateText() const { return runStateLabel_->text(); }

void MainWindow::showRunStateText(uint8_t state)
{
    const char* key = "STATE.READY";
    switch (state) {
    case rsIdle:
    case rsStopped:
        key = outcome_ == RunOutcome::Stopped  ? "STATE.STOPPED"
              : outcome_ == RunOutcome::Failed ? "STATE.FAILED"
              : state == rsStopped             ? "STATE.FINISHED"
                                               : "STATE.READY";
        break;
    case rsStopRequested: key = "STATE.STOPPING"; break;
    case rsRunning: key = "STATE.RUNNING"; break;
    case rsPaused: key = "STATE.PAUSED"; break;
    default: key = "STATE.STEPPING"; break;
    }
    std::string text = Tr(key);
    if ((state == rsIdle || state == rsStopped) && outcome_ == RunOutcome::Failed && !failure_.empty())
        text += ": " + failure_;
    runStateLabel_->setText(QString::fromStdString(text));
}

void MainWindow::ShowRunState(uint8_t oldState, uint8_t newState)
{
    // A run starting from rest has no outcome yet.
    if (!IsRunActive(oldState) && IsRunActive(newState)) {
        outcome_ = RunOutcome::Finished;
        failure_.clear();
    }
    showRunStateText(newState);
    bool show = newState != oldState && buttons_;
    if (!show) return;
    switch (newState) {
    case rsIdle: setWindowTitle(savedTitle_); break;
    case rsStopRequested:
    case rsRunByCommand:
    case rsStep:
    case rsRunTo: setWindowTitle(savedTitle_ + " is STOPPING"); break;
    case rsStopped:
        setWindowTitle(savedTitle_ + (outcome_ == RunOutcome::Finished  ? " is FINISHED"
                                      : outcome_ == RunOutcome::Stopped ? " is STOPPED"
                                                                        : " is STOPPED BY AN ERROR"));
        break;
    case rsRunning: setWindowTitle(savedTitle_ + " is RUNNING"); break;
    case rsPaused: setWindowTitle(savedTitle_ + " is PAUSED"); break;
    default: break;
    }
    bool animate = newState == rsRunning || (newState >= rsStopRequested && newState <= rsRunTo);
    if (animate) {
        if (!iconTimer_.isActive()) iconTimer_.start();
    } else {
        iconTimer_.stop();
        if (newState == rsIdle || newState == rsStopped) setWindowIcon(staticIcon_);
    }
    QApplication::setWindowIcon(windowIcon());
}

void MainWindow::iconTick()
{
    if (!runIcons_.empty()) setWindowIcon(runIcons_[size_t(nextFrame_) % runIcons_.size()]);
    QApplication::setWindowIcon(windowIcon());
    nextFrame_ = (nextFrame_ + 1) % 14;
}

void MainWindow::RunFast()
{
    LastPauseDepth = -1;
    if (IsRunActive(RunState)) {
        SetRunState(rsRunning);
        return;
    }
    if (SourceWindow* source = CurrentSource()) source->SourceRun();
}

void MainWindow::RunCommand()
{
    if (IsRunActive(RunState)) SetRunState(rsRunByCommand);
    else if (SourceWindow* source = CurrentSource()) source->SourceRunCommand();
}

void MainWindow::RunStep()
{
    if (IsRunActive(RunState)) SetRunState(rsStep);
    else if (SourceWindow* source = CurrentSource()) source->SourceRunStep();
}

void MainWindow::RunTo()
{
    if (SourceWindow* source = CurrentSource()) source->SourceRunTo();
}

}  // namespace tavro::shell
