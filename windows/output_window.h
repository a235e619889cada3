// OutputWindow: what programs print, the echoed commands and the listings.
// A bounded log: lines are appended at the end in the environment font,
// long lines are cut to MAXPRINT characters, the oldest 300 lines go when
// more than 500 are held, and the view follows the newest line. Characters
// typed into it go to the key buffer that running programs read.
//
// Every line keeps its role (program output, echoed command, run error, or
// a colour the program chose), not the colour it was first drawn in, so a
// skin switch repaints the lines already shown in the new skin's colours.
#pragma once

#include <QColor>
#include <QTextCharFormat>
#include <QTimer>
#include <string_view>
#include <vector>

#include "tool_window.h"

class QPlainTextEdit;

namespace tavro {

enum class OutputRole { Normal, Echo, Error, Coloured };

class OutputWindow : public ToolWindow {
    Q_OBJECT
public:
    explicit OutputWindow(QWidget* parent = nullptr);
    void RefreshSettings() override;
    // An invalid colour (the default) and black are drawn in the skin's Text
    // colour, so program output stays readable on a dark working area.
    void AppendLine(std::string_view text, const QColor& colour = QColor(), bool bold = false);
    // A line in a role's colour: echoes are bold in the Text colour, errors
    // in the skin's Error colour.
    void AppendLine(std::string_view text, OutputRole role);
    // Appends to the last line (a backspace removes its last character);
    // the pieces of a long line come this way too. A line that reached
    // MAXPRINT characters ends with "..." and takes nothing more.
    void TypeText(std::string_view text);
    // Shows the lines appended since the last flush (done by a short timer
    // and before anything reads or edits the text).
    void Flush();
    void ClearOutput();
    void SaveOutput();
    void PrintOutput();
    QPlainTextEdit* Editor() const { return edit_; }
    // Both show pending lines first.
    int LineCount();
    QString Text();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct PendingLine {
        QString Text;
        OutputRole Role;
        QColor Colour;  // for OutputRole::Coloured
        bool Bold;
    };
    void queue(std::string_view text, OutputRole role, const QColor& colour, bool bold);
    // Sets the colour of every shown line from its role and the skin.
    void repaintRoles();
    void appendToLastLine(QString run);
    void removeLastCharacter();
    QPlainTextEdit* edit_ = nullptr;
    std::vector<PendingLine> pending_;
    QTimer flushTimer_;
    bool started_ = false;  // the first line takes the document's empty block
    qsizetype lastLineLength_ = 0;  // characters of the last line, as shown
    bool lastLineCut_ = false;      // the last line was cut to MAXPRINT
};

// The open output window, or null.
OutputWindow* TheOutputWindow();

// MAXPRINT as applied at start-up (0 or less: no cut).
void SetMaxPrint(int maxPrint);

// The line as AppendLine shows it: cut to `maxPrint` characters and "..."
// when longer (no cut when maxPrint <= 0).
std::string CutToMaxPrint(std::string_view text, int maxPrint);

}  // namespace tavro
