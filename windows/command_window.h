// CommandWindow: the one-line console. A typed line is echoed in bold to the
// output window and run at once (nested in a running program); a line
// that does not translate starts a longer command: further lines are
// joined to it with " , " until the whole text translates.
#pragma once

#include <string>

#include "tool_window.h"

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
    QLabel* prompt_ = nullptr;
    QLineEdit* line_ = nullptr;
    bool fresh_ = true;
    std::string collected_;
    std::string commandPrompt_, continuePrompt_;
};

CommandWindow* TheCommandWindow();

}  // namespace tavro
