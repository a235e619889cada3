// The source window's comforts: the unsaved-changes mark, line numbers,
// zoom, help on the word at the caret, redo on Ctrl+Y, the indent of a new
// line and the highlight of matching brackets.
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QWheelEvent>

#include "configuration.h"
#include "info_window.h"
#include "application.h"
#include "skin.h"
#include "source_hints.h"
#include "source_markers.h"
#include "source_window.h"

namespace tavro {

namespace {

// The leading blanks and tabs of a line.
QString indentOf(const QString& line)
{
    int n = 0;
    while (n < line.size() && (line[n] == ' ' || line[n] == '\t')) ++n;
    return line.left(n);
}

// The first word of a line, lower-cased.
QString firstWord(const QString& line)
{
    QString t = line.trimmed();
    int end = 0;
    while (end < t.size() && !t[end].isSpace()) ++end;
    return t.left(end).toLower();
}

}  // namespace

QString IndentOfOpenTo(QTextBlock above)
{
    // Definitions nest rarely, but an "end" between belongs to a "to"
    // between.
    int depth = 0;
    for (; above.isValid(); above = above.previous()) {
        QString word = firstWord(above.text());
        if (word == "end") ++depth;
        else if (word == "to" && depth-- == 0) return indentOf(above.text());
    }
    return {};
}

QString IndentAfter(const QString& line)
{
    // The body of a procedure definition is one level deeper.
    return indentOf(line) + (firstWord(line) == "to" ? QString("  ") : QString());
}

int MatchingBracket(const QString& text, int at)
{
    static const QString kOpen = "([{", kClose = ")]}";
    if (at < 0 || at >= text.size()) return -1;
    int open = int(kOpen.indexOf(text[at])), close = int(kClose.indexOf(text[at]));
    if (open < 0 && close < 0) return -1;
    QChar mine = text[at], other = open >= 0 ? kClose[open] : kOpen[close];
    int step = open >= 0 ? 1 : -1, depth = 0;
    for (int i = at; i >= 0 && i < text.size(); i += step) {
        if (text[i] == mine) ++depth;
        else if (text[i] == other && --depth == 0) return i;
    }
    return -1;
}

void SourceWindow::applyComfortSettings()
{
    // On unless the configuration says "No".
    bool numbers = desktop::ConfigValue("SOURCE.LINENUMBERS") != "No";
    markers_->SetLineNumbers(numbers);
    markers_->setVisible(advanced_ || numbers);
}

void SourceWindow::ToggleLineNumbers()
{
    desktop::ConfigSet("SOURCE.LINENUMBERS", markers_->LineNumbers() ? "No" : "Yes");
    for (SourceWindow* w : SourceWindows()) w->applyComfortSettings();
}

void SourceWindow::showModified(bool modified) { SetCaptionMark(modified ? " *" : ""); }

void SourceWindow::matchBrackets()
{
    QList<QTextEdit::ExtraSelection> marks;
    QTextCursor caret = edit_->textCursor();
    if (!caret.hasSelection()) {
        QTextBlock block = caret.block();
        QString line = block.text();
        int inLine = caret.positionInBlock();
        // The bracket after the caret, else the one before it.
        int at = MatchingBracket(line, inLine) >= 0 ? inLine : inLine - 1;
        int other = MatchingBracket(line, at);
        if (other < 0 && at >= 0 && at < line.size() && QString("([{)]}").contains(line[at])) {
            // Brackets may span lines: search the whole text.
            at += block.position();
            other = MatchingBracket(edit_->toPlainText(), at);
        } else if (other >= 0) {
            at += block.position();
            other += block.position();
        }
        if (other >= 0) {
            for (int pos : {at, other}) {
                QTextEdit::ExtraSelection mark;
                mark.cursor = QTextCursor(edit_->document());
                mark.cursor.setPosition(pos);
                mark.cursor.setPosition(pos + 1, QTextCursor::KeepAnchor);
                mark.format.setBackground(desktop::CurrentSkin().Colours.Menu);
                mark.format.setFontWeight(QFont::Bold);
                marks.append(mark);
            }
        }
    }
    markers_->SetExtraMarks(marks);
}

bool SourceWindow::comfortKey(QKeyEvent* k)
{
    const auto mods = k->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
    if ((k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) && mods == Qt::NoModifier) {
        QTextCursor c = edit_->textCursor();
        c.beginEditBlock();
        // "end" goes back to the indent of its "to", and the next line
        // follows it.
        QTextBlock block = c.block();
        if (firstWord(block.text()) == "end") {
            QString want = IndentOfOpenTo(block.previous()), have = indentOf(block.text());
            if (want != have) {
                QTextCursor lead(block);
                lead.setPosition(block.position() + int(have.size()), QTextCursor::KeepAnchor);
                lead.insertText(want);
            }
        }
        QString before = c.block().text().left(c.positionInBlock());
        c.insertText("\n" + IndentAfter(before));
        c.endEditBlock();
        edit_->setTextCursor(c);
        edit_->ensureCursorVisible();
        return true;
    }
    if (k->key() == Qt::Key_F1 && mods == Qt::NoModifier) {
        ShowWordHint(edit_->textCursor().position());
        QString word = QString::fromStdString(HintWord()).trimmed();
        ShowHelpFor(word.isEmpty() ? std::string("help") : word.toStdString());
        return true;
    }
    if (k->key() == Qt::Key_Y && mods == Qt::ControlModifier) {
        edit_->redo();
        return true;
    }
    if (k->key() == Qt::Key_L && mods == (Qt::ControlModifier | Qt::ShiftModifier)) {
        ToggleLineNumbers();
        return true;
    }
    return false;
}

bool SourceWindow::comfortWheel(QWheelEvent* w)
{
    if (!(w->modifiers() & Qt::ControlModifier) || w->angleDelta().y() == 0) return false;
    if (Application* main = TheApplication()) main->Zoom(w->angleDelta().y() > 0 ? 1 : -1);
    return true;
}

}  // namespace tavro
