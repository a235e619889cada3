#include "source_window.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCloseEvent>
#include <QDragMoveEvent>
#include <QFile>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextLayout>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <filesystem>
#include <utility>

#include "configuration.h"
#include "environment_font.h"
#include "errors.h"
#include "executor.h"
#include "file_dialogs.h"
#include "languages.h"
#include "application.h"
#include "message_dialog.h"
#include "skin.h"
#include "source_hints.h"
#include "source_markers.h"
#include "syntax_highlighter.h"
#include "whole_file.h"

namespace tavro {

namespace fs = std::filesystem;

namespace {

std::vector<SourceWindow*> gSourceWindows;

QString upperQ(const QString& s) { return s.toUpper(); }

// The status strip's labels: small and in the skin's text colour.
QFont statusFont()
{
    QFont f("Arial");
    f.setPixelSize(11);
    return f;
}

}  // namespace

const std::vector<SourceWindow*>& SourceWindows() { return gSourceWindows; }

SourceWindow* FindSourceWindow(std::string_view caption)
{
    QString wanted = upperQ(QString::fromUtf8(caption.data(), qsizetype(caption.size())));
    // Two files of the same name may be open: the one whose program runs
    // is meant.
    if (SourceWindow* running = RunningSourceWindow(); running && upperQ(running->GetCaption()) == wanted) return running;
    for (SourceWindow* w : gSourceWindows)
        if (upperQ(w->GetCaption()) == wanted) return w;
    return nullptr;
}

SourceWindow* CurrentSource() { return qobject_cast<SourceWindow*>(CurrentSourceWindow()); }

SourceWindow::SourceWindow(QWidget* parent) : ToolWindow(parent)
{
    InitToolWindow();
    advanced_ = desktop::ConfigYes("ADVANCEDGUI");
    if (advanced_) {
        AddButton("runto.bmp", "SOURCE.RUNTO", [this] { SourceRunTo(); });
        AddButton("runin.bmp", "SOURCE.RUNSTEP", [this] { SourceRunStep(); });
        AddButton("runover.bmp", "SOURCE.RUNOVER", [this] { SourceRunCommand(); });
    }
    AddButton("stop.bmp", "SOURCE.STOP", [this] { SourceStop(); });
    AddButton("run.bmp", "SOURCE.RUN", [this] { SourceRun(); });
    if (advanced_) AddButton("print.bmp", "SOURCE.PRINT", [this] { SourcePrint(); });
    AddButton("save.bmp", "SOURCE.SAVE", [this] { SourceSaveAsSource(); });

    edit_ = new QPlainTextEdit(Body());
    edit_->setObjectName("RichEdit");
    edit_->setFrameStyle(QFrame::NoFrame);
    edit_->setLineWrapMode(QPlainTextEdit::NoWrap);
    edit_->setTabChangesFocus(false);
    edit_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    edit_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    edit_->setContextMenuPolicy(Qt::CustomContextMenu);
    edit_->viewport()->setMouseTracking(true);
    edit_->installEventFilter(this);
    edit_->viewport()->installEventFilter(this);
    highlighter_ = new SyntaxHighlighter(edit_->document());
    markers_ = new MarkerStrip(edit_, Body());
    markers_->setVisible(advanced_);

    status_ = new QWidget(Body());
    status_->setObjectName("StatusStrip");
    status_->setAutoFillBackground(true);
    lineLabel_ = new QLabel("0000", status_);
    lineLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    separator_ = new QLabel(" : ", status_);
    columnLabel_ = new QLabel("0000", status_);
    for (QLabel* l : {lineLabel_, separator_, columnLabel_}) l->setFont(statusFont());
    messageLabel_ = new QLabel(status_);
    messageLabel_->setObjectName("ErrorMessage");
    messageLabel_->setFont(statusFont());

    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(markers_);
    row->addWidget(edit_, 1);
    auto* column = new QVBoxLayout(Body());
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addLayout(row, 1);
    column->addWidget(status_);

    connect(edit_, &QPlainTextEdit::cursorPositionChanged, this, &SourceWindow::UpdateStatus);
    connect(edit_->document(), &QTextDocument::modificationChanged, this, &SourceWindow::showModified);
    connect(edit_, &QPlainTextEdit::cursorPositionChanged, this, &SourceWindow::matchBrackets);
    connect(edit_->document(), &QTextDocument::contentsChange, this, &SourceWindow::keepLongLineShapes);
    connect(edit_, &QWidget::customContextMenuRequested, this, [this](QPoint p) {
        // The popup's word at the cursor is the word under the mouse.
        ShowWordHint(CharAtPoint(p));
        if (Application* app = TheApplication()) app->ShowEditPopup(edit_->viewport()->mapToGlobal(p));
    });
    SetCaption(QString());
    gSourceWindows.push_back(this);
    RefreshSettings();
}

SourceWindow::~SourceWindow()
{
    gSourceWindows.erase(std::remove(gSourceWindows.begin(), gSourceWindows.end(), this), gSourceWindows.end());
}

void SourceWindow::RefreshSettings()
{
    ApplySettings();
    bool modified = edit_->document()->isModified();
    const desktop::Skin& skin = desktop::CurrentSkin();
    QPalette pal = edit_->palette();
    pal.setColor(QPalette::Base, skin.Colours.Workspace);
    pal.setColor(QPalette::Window, skin.Colours.Workspace);
    pal.setColor(QPalette::Text, skin.Colours.Text);
    pal.setColor(QPalette::WindowText, skin.Colours.Text);
    edit_->setPalette(pal);
    // Scroll bars in the skin's menu colours, so a dark skin has no white
    // bars.
    QPalette bars = pal;
    bars.setColor(QPalette::Button, skin.Colours.Menu);
    bars.setColor(QPalette::Base, skin.Colours.Workspace);
    bars.setColor(QPalette::Light, skin.Colours.Menu.lighter(130));
    bars.setColor(QPalette::Midlight, skin.Colours.Menu.lighter(115));
    bars.setColor(QPalette::Mid, skin.Colours.Menu.darker(130));
    bars.setColor(QPalette::Dark, skin.Colours.Menu.darker(160));
    bars.setColor(QPalette::Shadow, skin.Colours.Menu.darker(200));
    bars.setColor(QPalette::ButtonText, skin.Colours.Text);
    for (QWidget* bar : {static_cast<QWidget*>(edit_->horizontalScrollBar()),
                         static_cast<QWidget*>(edit_->verticalScrollBar())})
        bar->setPalette(bars);
    markers_->setPalette(pal);
    status_->setPalette(pal);
    for (QLabel* l : {lineLabel_, separator_, columnLabel_}) l->setPalette(pal);
    messageLabel_->setPalette(pal);
    applyEditorFont();
    // Tab stops every 280 twips (7/36 inch).
    edit_->setTabStopDistance(edit_->logicalDpiX() * 7.0 / 36.0);
    markers_->LoadPictures(skin.Folder);
    applyComfortSettings();
    status_->setFixedHeight(std::max(12, QFontMetrics(statusFont()).height()));
    layoutStatus();
    highlighter_->ColourAll();
    edit_->document()->setModified(modified);
    SetCaption(GetCaption());
}

void SourceWindow::resizeEvent(QResizeEvent* event)
{
    ToolWindow::resizeEvent(event);
    layoutStatus();
}

void SourceWindow::layoutStatus()
{
    for (QLabel* l : {lineLabel_, separator_, columnLabel_}) l->adjustSize();
    int h = status_->height();
    int half = status_->width() / 2;
    separator_->setGeometry(half, 0, separator_->width(), h);
    columnLabel_->setGeometry(separator_->geometry().right() + 1, 0, columnLabel_->width(), h);
    lineLabel_->setGeometry(half - lineLabel_->width(), 0, lineLabel_->width(), h);
    // The error's message fills the strip left of the line number.
    int room = std::max(0, lineLabel_->x() - 12);
    messageLabel_->setGeometry(4, 0, room, h);
    const QString& shown = errorMessage_.isEmpty() ? note_ : errorMessage_;
    const desktop::SkinColours& colours = desktop::CurrentSkin().Colours;
    QPalette pal = messageLabel_->palette();
    pal.setColor(QPalette::WindowText, errorMessage_.isEmpty() ? colours.Text : colours.Error);
    messageLabel_->setPalette(pal);
    messageLabel_->setText(messageLabel_->fontMetrics().elidedText(shown, Qt::ElideRight, room));
    messageLabel_->setToolTip(shown);
}

void SourceWindow::ShowStatusNote(const QString& note)
{
    note_ = note;
    watchEdits();
    layoutStatus();
}

void SourceWindow::watchEdits()
{
    // Edits are watched only while there is an error or a note to clear:
    // colouring reports every line as a change, which costs when a large
    // text is opened.
    bool wanted = markers_->ErrorVisible() || !note_.isEmpty();
    if (wanted && !editWatch_)
        editWatch_ = connect(edit_->document(), &QTextDocument::contentsChanged, this, &SourceWindow::textEdited);
    else if (!wanted && editWatch_)
        disconnect(std::exchange(editWatch_, QMetaObject::Connection()));
}

void SourceWindow::ShowErrorMessage(const QString& message)
{
    errorMessage_ = message;
    layoutStatus();
}

QString SourceWindow::ErrorMessage() const { return errorMessage_; }

void SourceWindow::textEdited()
{
    if (!note_.isEmpty()) ShowStatusNote(QString());
    // Compared by text: colouring also reports changes of the document.
    int line = markers_->ErrorLine();
    if (line >= 0 && edit_->document()->findBlockByNumber(line).text() != errorLineText_) HideErrorMarker();
}

namespace {

bool hasLongLine(const QString& text)
{
    qsizetype start = 0;
    for (;;) {
        qsizetype end = text.indexOf('\n', start);
        if ((end < 0 ? text.size() : end) - start > kLongestColouredLine) return true;
        if (end < 0) return false;
        start = end + 1;
    }
}

}  // namespace

void SourceWindow::applyEditorFont()
{
    QFont font = desktop::EnvironmentFont();
    // Shaping (kerning, ligatures) is most of the cost of laying out a line
    // of megabytes again at every key; a text with such a line is shown
    // unshaped, which a fixed-pitch program font does not change.
    if (longLines_) font.setStyleStrategy(QFont::PreferNoShaping);
    edit_->setFont(font);
}

void SourceWindow::noteLongLines(const QString& text)
{
    if (longLines_ || !hasLongLine(text)) return;
    longLines_ = true;
    applyEditorFont();
}

void SourceWindow::keepLongLineShapes(int position, int, int added)
{
    // Qt drops a line's shaped glyphs once it has laid the line out, so the
    // caret's placement, its drawing and the paint of the view shaped the
    // whole line again, four to five times a key: for a line of megabytes
    // that was seconds. A long line keeps its shapes until it changes
    // again; ordinary lines keep Qt's default, which holds less memory.
    QTextDocument* doc = edit_->document();
    bool found = false;
    for (QTextBlock b = doc->findBlock(position); b.isValid() && b.position() <= position + added; b = b.next()) {
        if (b.length() <= kLongestColouredLine) continue;
        b.layout()->setCacheEnabled(true);
        found = true;
    }
    // A long line typed or pasted: the font changes once the edit is done
    // (changing it inside the change would lay the text out mid-edit).
    if (found && !longLines_) {
        longLines_ = true;
        QMetaObject::invokeMethod(this, [this] { applyEditorFont(); }, Qt::QueuedConnection);
    }
}

void SourceWindow::UpdateStatus()
{
    QTextCursor c = edit_->textCursor();
    caretLine_ = c.blockNumber() + 1;
    caretColumn_ = c.positionInBlock() + 1;
    lineLabel_->setText(QString::number(caretLine_));
    columnLabel_->setText(QString::number(caretColumn_));
    layoutStatus();
}

QString SourceWindow::StatusText() const { return lineLabel_->text() + separator_->text() + columnLabel_->text(); }

// ---- files

void SourceWindow::setFileCaption(const QString& caption)
{
    SetCaption(caption);
    update();
}

void SourceWindow::NewFile()
{
    int n = 0;
    auto taken = [this](const QString& caption) {
        for (SourceWindow* w : gSourceWindows)
            if (w != this && upperQ(w->GetCaption()) == upperQ(caption)) return true;
        return false;
    };
    while (taken("New File " + QString::number(n))) ++n;
    fileName_.clear();
    setFileCaption("New File " + QString::number(n));
    edit_->clear();
    highlighter_->ColourAll();
    edit_->document()->setModified(false);
    UpdateStatus();
}

bool SourceWindow::LoadFile(const std::string& path)
{
    std::error_code ec;
    std::string found = fs::exists(path, ec) ? path : ResolveProgramPath(path);
    std::string full = fs::absolute(found, ec).lexically_normal().string();
    std::string bytes, reason;
    // Read before anything changes: a file that cannot be read whole is
    // refused with the system's reason and leaves the window as it was.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    bool read = ReadWholeFile(full, bytes, &reason);
    QApplication::restoreOverrideCursor();
    if (!read) {
        desktop::ShowMessageDialog(FormatMessage(desktop::Tr("FILE.NOTREAD"), {full, reason}));
        return false;
    }
    fileName_ = full;
    stamp_ = StampOf(fileName_);
    if (Application* main = TheApplication()) main->AddRecentFile(fileName_);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    if (utf8.hasError()) text = QString::fromStdString(desktop::DecodeLanguageFile(bytes, 1252));
    bytes = std::string();
    text.replace("\r\n", "\n").replace('\r', '\n');
    // The line end after the last line belongs to that line.
    if (text.endsWith('\n')) text.chop(1);
    noteLongLines(text);
    edit_->setPlainText(text);
    setFileCaption(QString::fromStdString(fs::path(fileName_).filename().string()));
    edit_->document()->setModified(false);
    QApplication::restoreOverrideCursor();
    UpdateStatus();
    return true;
}

void SourceWindow::AdoptText(const std::string& path, const QString& text)
{
    if (path.empty()) {
        NewFile();
    } else {
        fileName_ = path;
        stamp_ = StampOf(fileName_);
        setFileCaption(QString::fromStdString(fs::path(fileName_).filename().string()));
    }
    noteLongLines(text);
    edit_->setPlainText(text);
    edit_->document()->setModified(true);
    UpdateStatus();
}

bool SourceWindow::IsModified() const { return edit_->document()->isModified(); }

bool SourceWindow::writeFile(const std::string& path)
{
    std::string bytes = edit_->toPlainText().toStdString();
    if (!bytes.empty()) bytes += '\n';
    std::string reason;
    if (!WriteWholeFile(path, bytes, &reason)) {
        desktop::ShowMessageDialog(FormatMessage(desktop::Tr("FILE.NOTSAVED"), {path, reason}));
        return false;
    }
    stamp_ = StampOf(path);
    return true;
}

bool SourceWindow::changedOnDiskAllowed()
{
    // Another program changed the file since it was read or saved here:
    // overwriting it is the user's choice. A file removed meanwhile is
    // simply written again.
    if (fileName_.empty()) return true;
    FileStamp now = StampOf(fileName_);
    if (!now.exists || now == stamp_) return true;
    return desktop::ShowMessageDialog(FormatMessage(desktop::Tr("FILE.CHANGEDONDISK"), {fileName_}), {}, {}, 3) ==
           desktop::answerOK;
}

bool SourceWindow::Save()
{
    bool saved = false;
    if (fileName_.empty()) {
        saved = SaveAs();
    } else if (changedOnDiskAllowed() && writeFile(fileName_)) {
        edit_->document()->setModified(false);
        if (Application* main = TheApplication()) main->AddRecentFile(fileName_);
        saved = true;
    }
    UpdateStatus();
    return saved;
}

bool SourceWindow::SaveAs()
{
    // A program never saved is proposed in the dialogs' start folder.
    QString proposed = fileName_.empty()
                           ? GetCaption()
                           : QString::fromStdString(fs::path(fileName_).parent_path().string()) + "/" + GetCaption();
    QString chosen = desktop::AskSaveFileName(this, desktop::kProgramFilterIndex, proposed);
    if (chosen.isEmpty()) return false;
    std::error_code ec;
    std::string path = fs::absolute(chosen.toStdString(), ec).lexically_normal().string();
    if (!writeFile(path)) return false;
    fileName_ = path;
    setFileCaption(QString::fromStdString(fs::path(path).filename().string()));
    edit_->document()->setModified(false);
    if (Application* main = TheApplication()) main->AddRecentFile(fileName_);
    UpdateStatus();
    return true;
}

void SourceWindow::SourceSaveAsSource()
{
    BringToFront();
    SaveAs();
}

// ---- closing

bool SourceWindow::QueryClose()
{
    if (!IsModified()) return true;
    int answer = desktop::ShowMessageDialog(desktop::FormatOne(desktop::Tr("FILEMODIFIED"), GetCaption().toStdString()),
                                          {}, {}, desktop::msgNo | desktop::msgCancel | 1);
    switch (answer) {
    case desktop::answerOK: return Save();
    case desktop::answerNo: return true;
    default: return false;  // Cancel, or the dialog left otherwise: nothing is lost
    }
}

void SourceWindow::closeEvent(QCloseEvent* event)
{
    if (!QueryClose()) {
        event->ignore();
        return;
    }
    gSourceWindows.erase(std::remove(gSourceWindows.begin(), gSourceWindows.end(), this), gSourceWindows.end());
    StoreSize("SOURCE");
    ToolWindow::closeEvent(event);
}

// ---- mouse, keys, hints and drops

bool SourceWindow::eventFilter(QObject* watched, QEvent* event)
{
    // The sub-window watches its own children from construction on.
    if (!edit_) return ToolWindow::eventFilter(watched, event);
    if (watched == edit_ && event->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(event);
        if (k->key() == Qt::Key_S && (k->modifiers() & Qt::ControlModifier)) {
            Save();
            return true;
        }
        if (comfortKey(k)) return true;
    } else if (watched == edit_->viewport() && event->type() == QEvent::Wheel) {
        if (comfortWheel(static_cast<QWheelEvent*>(event))) return true;
    } else if (watched == edit_->viewport()) {
        switch (event->type()) {
        case QEvent::MouseMove: runMouseMove(static_cast<QMouseEvent*>(event)->position().toPoint()); break;
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* d = static_cast<QDragMoveEvent*>(event);
            // Texts dragged from a program's list box go into placeholders.
            if (qobject_cast<QAbstractItemView*>(d->source())) {
                MarkDropPoint(d->position().toPoint());
                d->acceptProposedAction();
                return true;
            }
            break;
        }
        case QEvent::Drop: {
            auto* d = static_cast<QDropEvent*>(event);
            if (qobject_cast<QAbstractItemView*>(d->source()) && d->mimeData()->hasText()) {
                edit_->textCursor().insertText(d->mimeData()->text());
                d->acceptProposedAction();
                return true;
            }
            break;
        }
        default: break;
        }
    }
    return ToolWindow::eventFilter(watched, event);
}

int SourceWindow::CharAtPoint(QPoint point) const
{
    QTextCursor c = edit_->cursorForPosition(point);
    // Beyond the end of its line, or below the last line, the point is
    // over no character.
    QTextCursor end = c;
    end.movePosition(QTextCursor::EndOfBlock);
    QRect endRect = edit_->cursorRect(end);
    if (point.x() > endRect.right() || point.y() > endRect.bottom()) return -1;
    int pos = c.position();
    // The nearest caret place may lie after the character hit.
    if (edit_->cursorRect(c).left() > point.x() && c.positionInBlock() > 0) --pos;
    return pos;
}

void SourceWindow::ShowWordHint(int index)
{
    if (index < 0) {
        editorHint_.clear();
        return;
    }
    QTextBlock block = edit_->document()->findBlock(index);
    QString line = block.text();
    int inLine = index - block.position();
    int bytePosition = int(line.left(inLine).toUtf8().size()) + 1;
    hintWord_ = HintWordAt(line.toStdString(), bytePosition);
    editorHint_ = QString::fromStdString(HintTextFor(hintWord_));
}

void SourceWindow::runMouseMove(QPoint point)
{
    if (point == lastMouse_) return;
    try {
        ShowWordHint(CharAtPoint(point));
        if (editorHint_.isEmpty() || editorHint_ == lastHint_) {
            if (editorHint_.isEmpty()) QToolTip::hideText();
            return;
        }
        QToolTip::showText(edit_->viewport()->mapToGlobal(point), editorHint_, edit_->viewport());
        lastHint_ = editorHint_;
        lastMouse_ = point;
    } catch (...) {
        // A hint is never worth an error.
    }
}

void SourceWindow::MarkDropPoint(QPoint point)
{
    int index = CharAtPoint(point);
    if (index < 0) return;
    QTextBlock block = edit_->document()->findBlock(index);
    QTextCursor c(edit_->document());
    if (block.next().isValid()) {
        auto [first, last] = PlaceholderAround(block.text(), index - block.position());
        if (first >= 0) {
            QTextCursor current = edit_->textCursor();
            if (current.selectionStart() == block.position() + first && current.selectionEnd() == block.position() + last)
                return;
            c.setPosition(block.position() + first);
            c.setPosition(block.position() + last, QTextCursor::KeepAnchor);
            edit_->setTextCursor(c);
            return;
        }
    }
    c.setPosition(index);
    edit_->setTextCursor(c);
}

}  // namespace tavro
