// SyntaxHighlighter: colours a source editor's text by token class (see
// syntax_classes.h) with the skin's colours: plain text, blanks and line
// ends in Text, keywords and brackets bold in Text, quoted words in Word,
// variables in Variable, numbers in Number, comments in Comment. The font
// is the editor's (the environment font).
//
// The editor's own formatting carries the colours, so the text itself is
// never rewritten: braces, backslashes and trailing blanks stay as typed,
// and undo only sees the user's edits. Each line is coloured on its own
// with the state of the line before it (open brace comment, open quoted
// word) kept as the block state; after an edit only the edited line is
// coloured again, and the lines after it only while their starting state
// changes. Colouring never reports an error.
//
// A line longer than kLongestColouredLine characters stays plain and
// passes the state of the line before it on unchanged: the editor lays
// out a coloured line as one piece per coloured token, which made every
// key typed into a line of a few megabytes take seconds.
#pragma once

#include <QSyntaxHighlighter>
#include <QTextCharFormat>

#include "syntax_classes.h"

namespace tavro {

inline constexpr int kLongestColouredLine = 10000;

class SyntaxHighlighter : public QSyntaxHighlighter {
    Q_OBJECT
public:
    explicit SyntaxHighlighter(QTextDocument* document);
    // Colours the whole text again (after loading, skin or font changes).
    void ColourAll();
    // True while a line is being coloured.
    bool Colouring() const { return colouring_; }
    // Lines coloured since construction (how much an edit cost).
    long long LinesColoured() const { return linesColoured_; }
    // The format of a token class with the current skin colours.
    static QTextCharFormat FormatOf(TokenClass tokenClass);

protected:
    void highlightBlock(const QString& text) override;

private:
    bool colouring_ = false;
    long long linesColoured_ = 0;
};

// The format that colouring gave the character at `position` of the
// document (an empty format where colouring set none).
QTextCharFormat ColourFormatAt(const QTextDocument* document, int position);

}  // namespace tavro
