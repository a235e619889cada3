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
    SetCaption(QString::fromStdString(desktop::Tr("COMMAND")));
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

void CommandWindow::showPrompt()
{
    prompt_->setText(QString::fromStdString(fresh_ ? commandPrompt_ : continuePrompt_));
    // At least the design width; wider when a language's prompt needs it.
    QFontMetrics fm(prompt_->font());
    int widest = std::max(fm.horizontalAdvance(QString::fromStdString(commandPrompt_)),
                          fm.horizontalAdvance(QString::fromStdString(continuePrompt_)));
    prompt_->setFixedWidth(std::max(63, widest + 10));
}

void CommandWindow::CommandStop()
{
    setFocus();
    if (IsRunActive(RunState) && RunState != rsPaused)
        SetRunState(rsStopRequested);
}

void CommandWindow::CommandClear()
{
    line_->clear();
    collected_.clear();
    fresh_ = true;
    SetCaption(QString::fromStdString(desktop::Tr("COMMAND")));
    showPrompt();
    update();
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
    auto incomplete = [&] {
        SetCaption(QString::fromStdString(desktop::FormatOne(desktop::Tr("COMMAND.INCOMPLETE"), LastErrorText)));
    };
    if (fresh_) {
        int r = RunSystemCommand(line);
        if (!self) return;
        if (r == rscTranslationFailed) {
            collected_ = line;
            fresh_ = false;
            incomplete();
            showPrompt();
        } else {
            Env().RebuildTree();
        }
        return;
    }
    collected_ += " , " + line;
    std::string text = collected_;
    int r = RunSystemCommand(text);
    if (!self) return;
    if (r == rscTranslationFailed) {
        incomplete();
        return;
    }
    collected_.clear();
    fresh_ = true;
    SetCaption(QString::fromStdString(desktop::Tr("COMMAND")));
    showPrompt();
    Env().RebuildTree();
}

bool CommandWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == line_ && event->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(event);
        switch (k->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter: EnterLine(line_->text().toStdString()); return true;
        case Qt::Key_Escape: line_->clear(); return true;
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
