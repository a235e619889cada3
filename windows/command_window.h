// CommandWindow: the one-line console. A typed line is echoed in bold to the
// output window and run at once (nested in a running program). A line that
// leaves something open (a "[", "(", "{", "'" or a "to" without its "end")
// starts a longer command: further lines are joined to it with " , " until
// the whole text translates, and the prompt says what it waits for. A text
// that is wrong however it goes on (a "]" or ")" without its partner) is
// an error at once. Escape on an empty line, the Stop button and
// Ctrl+Break cancel an unfinished command, and the output says so.
//
// Errors show in the output window (and the status strip), never in a
// dialog the next typed keys would answer; definitions typed here are
// kept through a program's run (typed_procedures.h).
#pragma once

#include <string>
#include <vector>

#include "tool_window.h"
#include "unfinished_command.h"

class QLabel;
class QLineEdit;

namespace tavro {

class CommandWindow : public ToolWindow {
    Q_OBJECT
public:
    explicit CommandWindow(QWidget* parent = nullptr);
    void RefreshSettings() override;
    void CommandStop();
    void CommandClear();
    // Drops an unfinished command, saying so in the output (nothing when
    // no command is unfinished).
    void CancelUnfinished();
    // Enter with the line as typed.
    void EnterLine(const std::string& line);
    QLineEdit* CommandLine() const { return line_; }
    QString Prompt() const;
    bool Fresh() const { return fresh_; }
    const std::string& Collected() const { return collected_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void showPrompt();
    void showCommandCaption();
    void backToFresh();
    QLabel* prompt_ = nullptr;
    QLineEdit* line_ = nullptr;
    bool fresh_ = true;
    std::string collected_;
    std::vector<size_t> lineStarts_;  // where each collected line starts
    OpenPart open_;                   // what the collected command waits for
    std::string openError_;           // and the translation's message about it
    std::string commandPrompt_, continuePrompt_;
};

CommandWindow* TheCommandWindow();

}  // namespace tavro
