#include "command_window.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>

#include "command_history.h"
#include "configuration.h"
#include "environment.h"
#include "environment_font.h"
#include "interpreter.h"
#include "languages.h"
#include "log.h"
#include "application.h"
#include "output_window.h"
#include "run_control.h"
#include "run_scope.h"
#include "skin.h"
#include "state.h"
#include "typed_procedures.h"
#include "errors.h"

namespace tavro {

namespace {
QPointer<CommandWindow> gCommand;
constexpr int kMaxLine = 200;
}  // namespace

CommandWindow* TheCommandWindow() { return gCommand; }

CommandWindow::CommandWindow(QWidget* parent) : ToolWindow(parent)
{
    InitToolWindow();
    AddButton("stop.bmp", "COMMAND.STOP", [this] { CommandStop(); });
    AddButton("clear.bmp", "COMMAND.CLEAR", [this] { CommandClear(); });
    prompt_ = new QLabel(Body());
    prompt_->setObjectName("PromptLabel");
    prompt_->setFixedWidth(63);
    prompt_->setAutoFillBackground(true);
    prompt_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    prompt_->setContentsMargins(4, 2, 2, 2);
    line_ = new QLineEdit(Body());
    line_->setObjectName("CommandLine");
    line_->setFrame(false);
    line_->setMaxLength(kMaxLine);
    line_->installEventFilter(this);
    line_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(line_, &QWidget::customContextMenuRequested, this,
            [this](QPoint p) { if (Application* app = TheApplication()) app->ShowEditPopup(line_->mapToGlobal(p)); });
    auto* layout = new QHBoxLayout(Body());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(prompt_);
    layout->addWidget(line_, 1, Qt::AlignTop);
    gCommand = this;
    RefreshSettings();
}

void CommandWindow::RefreshSettings()
{
    ApplySettings();
    showCommandCaption();
    QPalette pal = line_->palette();
    pal.setColor(QPalette::Base, desktop::CurrentSkin().Colours.Workspace);
    pal.setColor(QPalette::Window, desktop::CurrentSkin().Colours.Workspace);
    pal.setColor(QPalette::Text, desktop::CurrentSkin().Colours.Text);
    pal.setColor(QPalette::WindowText, desktop::CurrentSkin().Colours.Text);
    line_->setPalette(pal);
    prompt_->setPalette(pal);
    // The body behind both is the working area too.
    Body()->setAutoFillBackground(true);
    Body()->setPalette(pal);
    line_->setFont(desktop::EnvironmentFont());
    prompt_->setFont(desktop::EnvironmentFont());
    commandPrompt_ = desktop::Tr("COMMAND.PROMPT.COMMAND");
    continuePrompt_ = desktop::Tr("COMMAND.PROMPT.CONTINUE");
    showPrompt();
}

QString CommandWindow::Prompt() const { return prompt_->text(); }

void CommandWindow::showCommandCaption()
{
    SetCaption(QString::fromStdString(fresh_ ? desktop::Tr("COMMAND")
                                             : desktop::FormatOne(desktop::Tr("COMMAND.INCOMPLETE"), openError_)));
}

void CommandWindow::showPrompt()
{
    // Formatted afresh each time, so that it follows a language switch.
    std::string waiting = continuePrompt_;
    if (open_.Opener == "to")
        waiting = desktop::FormatOne(desktop::Tr("COMMAND.PROMPT.NEEDSEND"), open_.Name.empty() ? "..." : open_.Name);
    else if (!open_.Opener.empty())
        waiting = FormatMessage(desktop::Tr("COMMAND.PROMPT.OPEN"), {open_.Opener, std::to_string(open_.Line)});
    QString shown = QString::fromStdString(fresh_ ? commandPrompt_ : waiting);
    prompt_->setText(shown);
    // At least the design width; wider when a language's prompt, or what
    // an unfinished command waits for, needs it.
    QFontMetrics fm(prompt_->font());
    int widest = std::max(fm.horizontalAdvance(QString::fromStdString(commandPrompt_)),
                          fm.horizontalAdvance(shown));
    prompt_->setFixedWidth(std::max(63, widest + 10));
}

void CommandWindow::CommandStop()
{
    setFocus();
    CancelUnfinished();
    if (IsRunActive(RunState) && RunState != rsPaused)
        SetRunState(rsStopRequested);
}

void CommandWindow::backToFresh()
{
    collected_.clear();
    lineStarts_.clear();
    open_ = {};
    fresh_ = true;
    showCommandCaption();
    showPrompt();
    update();
}

void CommandWindow::CommandClear()
{
    line_->clear();
    backToFresh();
}

void CommandWindow::CancelUnfinished()
{
    if (fresh_) return;
    backToFresh();
    if (OutputWindow* out = TheOutputWindow()) out->AppendLine(desktop::Tr("COMMAND.CANCELLED"), OutputRole::Error);
}

void CommandWindow::EnterLine(const std::string& line)
{
    LogLine(logCommands, line);
    TheCommandHistory().Enter(line);
    line_->clear();
    if (OutputWindow* out = TheOutputWindow()) {
        // The prompt and the line read apart even when the prompt text
        // ends without a blank.
        std::string prompt = prompt_->text().toStdString();
        if (!prompt.empty() && prompt.back() != ' ') prompt += ' ';
        out->AppendLine(prompt + line, OutputRole::Echo);
    }
    // The window may close while the command runs (the command can close
    // it, or the main window may close): keep a guarded pointer.
    QPointer<CommandWindow> self(this);
    RunScope scope;
    std::vector<size_t> starts = lineStarts_;
    std::string text = line;
    if (fresh_) {
        starts = {0};
    } else {
        text = collected_ + " , " + line;
        starts.push_back(collected_.size() + 3);
    }
    int r = RunSystemCommand(text);
    if (!self) return;
    if (r == rscTranslationFailed) {
        OpenPart open = WhatIsOpen(text, LastErrorText, CurrentPosition.Offset, starts);
        if (open.Unfinished) {
            collected_ = text;
            lineStarts_ = starts;
            fresh_ = false;
            open_ = open;
            openError_ = LastErrorText;
            showCommandCaption();
            showPrompt();
            return;
        }
        // Wrong however it would go on: an error now, and the next line is
        // a command of its own.
        Env().ShowMessage(LastErrorText, "");
    } else if (r == rscRan) {
        TheTypedProcedures().Note(text);
    }
    if (!fresh_) backToFresh();
    Env().RebuildTree();
}

bool CommandWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == line_ && event->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(event);
        switch (k->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter: EnterLine(line_->text().toStdString()); return true;
        case Qt::Key_Escape:
            // Escape clears the line; on an empty line it gives up the
            // unfinished command.
            if (line_->text().isEmpty()) CancelUnfinished();
            line_->clear();
            return true;
        case Qt::Key_Cancel: CancelUnfinished(); return true;
        case Qt::Key_Pause:
            if (!(k->modifiers() & Qt::ControlModifier)) break;
            CancelUnfinished();
            return true;
        case Qt::Key_Up:
            if (TheCommandHistory().Available()) line_->setText(QString::fromStdString(TheCommandHistory().Up()));
            return true;
        case Qt::Key_Down:
            if (TheCommandHistory().Available()) line_->setText(QString::fromStdString(TheCommandHistory().Down()));
            return true;
        case Qt::Key_Tab: line_->insert("\t"); return true;
        default: break;
        }
    }
    return ToolWindow::eventFilter(watched, event);
}

void CommandWindow::closeEvent(QCloseEvent* event)
{
    StoreSize("COMMAND");
    if (gCommand == this) gCommand = nullptr;
    ToolWindow::closeEvent(event);
}

}  // namespace tavro
