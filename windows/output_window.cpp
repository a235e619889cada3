#include "output_window.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QScrollBar>
#include <QTextBlock>
#include <QVBoxLayout>

#include "configuration.h"
#include "environment_font.h"
#include "file_dialogs.h"
#include "languages.h"
#include "application.h"
#include "message_dialog.h"
#include "run_control.h"
#include "skin.h"
#include "whole_file.h"
#include "errors.h"
#include "first_characters.h"

namespace tavro {

namespace {
QPointer<OutputWindow> gOutput;
constexpr int kTrimAbove = 500;
constexpr int kTrimCount = 300;
int gMaxPrint = 4000;
constexpr int kRoleProperty = QTextFormat::UserProperty + 17;

QTextCharFormat formatFor(OutputRole role, const QColor& colour, bool bold)
{
    const desktop::SkinColours& skin = desktop::CurrentSkin().Colours;
    QTextCharFormat format;
    format.setProperty(kRoleProperty, int(role));
    format.setForeground(role == OutputRole::Error      ? skin.Error
                         : role == OutputRole::Coloured ? colour
                                                        : skin.Text);
    format.setFontWeight(bold || role == OutputRole::Echo ? QFont::Bold : QFont::Normal);
    return format;
}
}  // namespace

void SetMaxPrint(int maxPrint) { gMaxPrint = maxPrint; }

OutputWindow* TheOutputWindow() { return gOutput; }

std::string CutToMaxPrint(std::string_view text, int maxPrint)
{
    if (maxPrint <= 0) return std::string(text);
    // Characters, not bytes: a cut never splits a UTF-8 sequence.
    std::string head = FirstCharacters(text, maxPrint);
    return head.size() == text.size() ? head : head + "...";
}

OutputWindow::OutputWindow(QWidget* parent) : ToolWindow(parent)
{
    InitToolWindow();
    AddButton("clear.bmp", "OUTPUT.CLEAR", [this] { ClearOutput(); });
    if (desktop::ConfigYes("ADVANCEDGUI")) {
        AddButton("print.bmp", "OUTPUT.PRINT", [this] { PrintOutput(); });
        AddButton("save.bmp", "OUTPUT.SAVE", [this] { SaveOutput(); });
    }
    edit_ = new QPlainTextEdit(Body());
    edit_->setObjectName("RichEdit");
    edit_->setFrameStyle(QFrame::NoFrame);
    edit_->setLineWrapMode(QPlainTextEdit::NoWrap);
    edit_->setTabChangesFocus(false);
    edit_->setUndoRedoEnabled(false);
    edit_->installEventFilter(this);
    edit_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(edit_, &QWidget::customContextMenuRequested, this,
            [this](QPoint p) { if (Application* app = TheApplication()) app->ShowEditPopup(edit_->mapToGlobal(p)); });
    auto* layout = new QVBoxLayout(Body());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(edit_);
    flushTimer_.setSingleShot(true);
    flushTimer_.setInterval(40);
    connect(&flushTimer_, &QTimer::timeout, this, &OutputWindow::Flush);
    gOutput = this;
    RefreshSettings();
}

void OutputWindow::RefreshSettings()
{
    ApplySettings();
    SetCaption(QString::fromStdString(desktop::Tr("OUTPUT")));
    QPalette pal = edit_->palette();
    pal.setColor(QPalette::Base, desktop::CurrentSkin().Colours.Workspace);
    pal.setColor(QPalette::Text, desktop::CurrentSkin().Colours.Text);
    edit_->setPalette(pal);
    edit_->setFont(desktop::EnvironmentFont());
    repaintRoles();
}

void OutputWindow::repaintRoles()
{
    Flush();
    const desktop::SkinColours& skin = desktop::CurrentSkin().Colours;
    QTextCursor cursor(edit_->document());
    cursor.beginEditBlock();
    for (QTextBlock block = edit_->document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            QTextFragment fragment = it.fragment();
            auto role = OutputRole(fragment.charFormat().property(kRoleProperty).toInt());
            if (role == OutputRole::Coloured) continue;
            QColor wanted = role == OutputRole::Error ? skin.Error : skin.Text;
            if (fragment.charFormat().foreground().color() == wanted) continue;
            QTextCharFormat recolour;
            recolour.setForeground(wanted);
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            cursor.mergeCharFormat(recolour);
        }
    }
    cursor.endEditBlock();
}

int OutputWindow::LineCount()
{
    Flush();
    return started_ ? edit_->document()->blockCount() : 0;
}

QString OutputWindow::Text()
{
    Flush();
    return edit_->toPlainText();
}

void OutputWindow::AppendLine(std::string_view text, const QColor& colour, bool bold)
{
    bool plain = !colour.isValid() || colour == QColor(Qt::black);
    queue(text, plain ? OutputRole::Normal : OutputRole::Coloured, colour, bold);
}

void OutputWindow::AppendLine(std::string_view text, OutputRole role) { queue(text, role, QColor(), false); }

void OutputWindow::queue(std::string_view text, OutputRole role, const QColor& colour, bool bold)
{
    std::string shown = CutToMaxPrint(text, gMaxPrint);
    pending_.push_back({QString::fromUtf8(shown.data(), qsizetype(shown.size())), role, colour, bold});
    lastLineCut_ = shown.size() != text.size();
    lastLineLength_ = pending_.back().Text.size();
    // Lines are shown in batches: a program printing in a loop would
    // otherwise spend its time laying out lines that are trimmed away.
    if (!flushTimer_.isActive()) flushTimer_.start();
}

void OutputWindow::Flush()
{
    flushTimer_.stop();
    if (pending_.empty()) return;
    QTextDocument* doc = edit_->document();
    // The lines kept are those that appending one at a time would keep:
    // whenever more than 500 lines are held, the oldest 300 go first.
    long held = started_ ? doc->blockCount() : 0;
    long dropped = 0;
    for (size_t i = 0; i < pending_.size(); ++i) {
        if (held > kTrimAbove) {
            held -= kTrimCount;
            dropped += kTrimCount;
        }
        ++held;
    }
    long fromDocument = std::min<long>(dropped, started_ ? doc->blockCount() : 0);
    size_t fromPending = size_t(dropped - fromDocument);
    QTextCursor cursor(doc);
    cursor.beginEditBlock();
    if (fromDocument > 0) {
        cursor.movePosition(QTextCursor::Start);
        if (fromDocument >= doc->blockCount()) {
            cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
            started_ = false;
        } else {
            cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor, int(fromDocument));
            cursor.removeSelectedText();
        }
    }
    cursor.movePosition(QTextCursor::End);
    for (size_t i = fromPending; i < pending_.size(); ++i) {
        if (started_) cursor.insertBlock();
        started_ = true;
        const PendingLine& line = pending_[i];
        cursor.insertText(line.Text, formatFor(line.Role, line.Colour, line.Bold));
    }
    cursor.endEditBlock();
    pending_.clear();
    QScrollBar* bar = edit_->verticalScrollBar();
    bar->setValue(bar->maximum());
}

void OutputWindow::TypeText(std::string_view text)
{
    // Runs of characters go in whole, to the pending last line when there
    // is one: a line written in many pieces costs its length, not its
    // length times its pieces. A line already cut to MAXPRINT takes no more.
    QString chars = QString::fromUtf8(text.data(), qsizetype(text.size()));
    qsizetype from = 0;
    while (from < chars.size()) {
        qsizetype to = chars.indexOf(QChar(8), from);
        if (to < 0) to = chars.size();
        if (to > from) appendToLastLine(chars.mid(from, to - from));
        if (to < chars.size()) removeLastCharacter();
        from = to + 1;
    }
}

void OutputWindow::appendToLastLine(QString run)
{
    if (lastLineCut_) return;
    if (gMaxPrint > 0 && lastLineLength_ + run.size() > gMaxPrint) {
        run = run.left(std::max<qsizetype>(0, gMaxPrint - lastLineLength_)) + "...";
        lastLineCut_ = true;
    }
    lastLineLength_ += run.size();
    if (!pending_.empty()) {
        pending_.back().Text += run;
        return;
    }
    QTextCursor cursor(edit_->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(run);
    started_ = true;
}

void OutputWindow::removeLastCharacter()
{
    if (lastLineLength_ > 0) --lastLineLength_;
    if (!pending_.empty()) {
        pending_.back().Text.chop(1);
        return;
    }
    QTextCursor cursor(edit_->document());
    cursor.movePosition(QTextCursor::End);
    if (!cursor.block().text().isEmpty()) cursor.deletePreviousChar();
}

void OutputWindow::ClearOutput()
{
    setFocus();
    pending_.clear();
    edit_->clear();
    started_ = false;
    lastLineLength_ = 0;
    lastLineCut_ = false;
}

void OutputWindow::SaveOutput()
{
    setFocus();
    QString file = desktop::AskSaveFileName(this, desktop::kTextFilterIndex);
    if (file.isEmpty()) return;
    std::string reason;
    if (!WriteWholeFile(file.toStdString(), (Text() + "\n").toStdString(), &reason))
        desktop::ShowMessageDialog(FormatMessage(desktop::Tr("FILE.NOTSAVED"), {file.toStdString(), reason}));
}

void OutputWindow::PrintOutput()
{
    setFocus();
    QPrinter printer;
    printer.setDocName("Tavro output");
    QPrintDialog dialog(&printer, this);
    Flush();
    if (dialog.exec() == QDialog::Accepted) edit_->print(&printer);
}

bool OutputWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == edit_ && event->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(event);
        // Typed characters reach running programs; shortcuts do not.
        if (!k->text().isEmpty() && !(k->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            AppendKey(k->text().toStdString());
        }
    }
    return ToolWindow::eventFilter(watched, event);
}

void OutputWindow::closeEvent(QCloseEvent* event)
{
    StoreSize("OUTPUT");
    if (gOutput == this) gOutput = nullptr;
    ToolWindow::closeEvent(event);
}

}  // namespace tavro
