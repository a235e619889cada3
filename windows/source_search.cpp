// Find, replace and find next in a source window, through the message
// dialog's text input.
#include <QPlainTextEdit>
#include <QTextDocument>

#include "errors.h"
#include "languages.h"
#include "message_dialog.h"
#include "source_window.h"

namespace tavro {

namespace {

constexpr int kInput = desktop::msgInput | desktop::msgCancel | 1;

}  // namespace

// The search starts one character after the start of a selection (the
// last match), or at the caret; a match is selected, so it can be seen.
bool SourceWindow::search()
{
    QTextCursor caret = edit_->textCursor();
    int from = caret.hasSelection() ? caret.selectionStart() + 1 : caret.position();
    QTextCursor found = edit_->document()->find(searchText_, from);
    if (found.isNull() && from > 0) {
        // On from the start, with a note that the search went round.
        found = edit_->document()->find(searchText_, 0);
        if (!found.isNull())
            ShowStatusNote(QString::fromStdString(desktop::FormatOne(desktop::Tr("SOURCE.WRAPPED"), searchText_.toStdString())));
    }
    if (found.isNull()) {
        desktop::ShowMessageDialog(desktop::FormatOne(desktop::Tr("SOURCE.NOMORE"), searchText_.toStdString()));
        return false;
    }
    edit_->setTextCursor(found);
    edit_->ensureCursorVisible();
    return true;
}

void SourceWindow::askReplaceHere()
{
    std::string question =
        FormatMessage(desktop::Tr("SOURCE.REPLACETHIS"), {searchText_.toStdString(), replaceText_.toStdString()});
    if (desktop::ShowMessageDialog(question, {}, {}, desktop::msgNo | 1) == desktop::answerOK)
        edit_->textCursor().insertText(replaceText_);
}

void SourceWindow::AskFind()
{
    QTextCursor caret = edit_->textCursor();
    QString proposed = caret.hasSelection() ? caret.selectedText() : searchText_;
    desktop::LastInputText() = proposed.toStdString();
    if (desktop::ShowMessageDialog(desktop::Tr("SOURCE.FINDTHIS"), {}, {}, kInput) != desktop::answerOK) return;
    findMode_ = true;
    searchText_ = QString::fromStdString(desktop::LastInputText());
    if (!searchText_.isEmpty()) search();
}

bool SourceWindow::askReplaceTexts()
{
    QTextCursor caret = edit_->textCursor();
    QString proposed = caret.hasSelection() ? caret.selectedText() : searchText_;
    desktop::LastInputText() = proposed.toStdString();
    if (desktop::ShowMessageDialog(desktop::Tr("SOURCE.FINDTHIS"), {}, {}, kInput) != desktop::answerOK) return false;
    searchText_ = QString::fromStdString(desktop::LastInputText());
    desktop::LastInputText() = replaceText_.toStdString();
    if (desktop::ShowMessageDialog(desktop::Tr("SOURCE.REPLACE"), {}, {}, kInput) != desktop::answerOK) return false;
    findMode_ = false;
    replaceText_ = QString::fromStdString(desktop::LastInputText());
    return !searchText_.isEmpty();
}

void SourceWindow::AskReplace()
{
    if (askReplaceTexts() && search()) askReplaceHere();
}

void SourceWindow::AskReplaceAll()
{
    if (askReplaceTexts()) ReplaceAll(searchText_, replaceText_);
}

int SourceWindow::ReplaceAll(const QString& find, const QString& with)
{
    int count = 0;
    QTextCursor edit(edit_->document());
    edit.beginEditBlock();  // one undo step
    for (QTextCursor found = edit_->document()->find(find, 0); !found.isNull();
         found = edit_->document()->find(find, found.position())) {
        found.insertText(with);
        ++count;
    }
    edit.endEditBlock();
    ShowStatusNote(QString::fromStdString(desktop::FormatOne(desktop::Tr("SOURCE.REPLACED"), std::to_string(count))));
    return count;
}

void SourceWindow::FindAgain()
{
    if (searchText_.isEmpty()) return;
    if (search() && !findMode_) askReplaceHere();
}

}  // namespace tavro
