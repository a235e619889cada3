#include "source_markers.h"

#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextEdit>

#include "skin.h"
#include "tool_window.h"

namespace tavro {

namespace {

QImage drawnMark(QColor colour)
{
    QImage image(12, 12, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(colour);
    p.setPen(Qt::NoPen);
    p.drawEllipse(1, 1, 10, 10);
    return image;
}

}  // namespace

MarkerStrip::MarkerStrip(QPlainTextEdit* editor, QWidget* parent) : QWidget(parent), editor_(editor)
{
    setObjectName("DebugPanel");
    setAutoFillBackground(true);
    // Scrolling or editing moves the lines: the markers move with them.
    connect(editor_, &QPlainTextEdit::updateRequest, this, [this] { update(); });
    connect(editor_, &QPlainTextEdit::blockCountChanged, this, [this] {
        if (lineNumbers_) fitWidth();
    });
}

void MarkerStrip::LoadPictures(const std::string& skinFolder)
{
    step_ = TransparentByBottomLeft(desktop::LoadPicture(skinFolder + "debug.bmp"));
    error_ = TransparentByBottomLeft(desktop::LoadPicture(skinFolder + "error.bmp"));
    if (step_.isNull()) step_ = drawnMark(QColor(40, 160, 40));
    if (error_.isNull()) error_ = drawnMark(QColor(200, 40, 40));
    fitWidth();
    tintLines();
    update();
}

void MarkerStrip::fitWidth()
{
    int digits = QString::number(std::max(999, editor_->document()->blockCount())).size();
    int numbers = lineNumbers_ ? editor_->fontMetrics().horizontalAdvance(QString(digits, '9')) + 6 : 0;
    setFixedWidth(step_.width() + 1 + numbers);
}

void MarkerStrip::SetLineNumbers(bool shown)
{
    lineNumbers_ = shown;
    fitWidth();
    update();
}

void MarkerStrip::SetExtraMarks(const QList<QTextEdit::ExtraSelection>& marks)
{
    if (marks.isEmpty() && extraMarks_.isEmpty()) return;
    extraMarks_ = marks;
    tintLines();
}

void MarkerStrip::mark(QTextCursor& at, bool& shown, int position)
{
    at = QTextCursor(editor_->document());
    at.setPosition(std::clamp(position, 0, editor_->document()->characterCount() - 1));
    shown = position >= 0;
    tintLines();
    update();
}

void MarkerStrip::tintLines()
{
    const QColor base = desktop::CurrentSkin().Colours.Workspace;
    auto tint = [&base](QColor mark) {
        const double k = 0.22;
        return QColor(int(base.red() * (1 - k) + mark.red() * k), int(base.green() * (1 - k) + mark.green() * k),
                      int(base.blue() * (1 - k) + mark.blue() * k));
    };
    QList<QTextEdit::ExtraSelection> lines;
    auto add = [&](bool shown, const QTextCursor& at, QColor colour) {
        if (!shown) return;
        QTextEdit::ExtraSelection line;
        line.cursor = at;
        line.cursor.clearSelection();
        line.format.setBackground(tint(colour));
        line.format.setProperty(QTextFormat::FullWidthSelection, true);
        lines.append(line);
    };
    add(stepShown_, stepAt_, QColor(240, 190, 40));
    add(errorShown_, errorAt_, QColor(230, 40, 40));
    editor_->setExtraSelections(lines + extraMarks_);
}

void MarkerStrip::ShowStep(int position)
{
    stepPlaced_ = true;
    mark(stepAt_, stepShown_, position);
}

void MarkerStrip::HideStep()
{
    stepPlaced_ = false;
    mark(stepAt_, stepShown_, -1);
}

void MarkerStrip::SetStepShown(bool shown)
{
    if (stepShown_ == (shown && stepPlaced_)) return;
    stepShown_ = shown && stepPlaced_;
    tintLines();
    update();
}
void MarkerStrip::ShowError(int position) { mark(errorAt_, errorShown_, position); }
void MarkerStrip::HideError() { mark(errorAt_, errorShown_, -1); }

int MarkerStrip::StepLine() const { return stepShown_ ? stepAt_.blockNumber() : -1; }
int MarkerStrip::ErrorLine() const { return errorShown_ ? errorAt_.blockNumber() : -1; }

int MarkerStrip::MarkerTop(int position, const QImage& picture) const
{
    QTextCursor c(editor_->document());
    c.setPosition(std::clamp(position, 0, editor_->document()->characterCount() - 1));
    QRect line = editor_->cursorRect(c);
    // The editor's viewport and the strip share their top edge.
    int top = editor_->viewport()->mapTo(parentWidget(), QPoint(0, line.top())).y() - pos().y();
    return top + line.height() / 2 - picture.height() / 2;
}

void MarkerStrip::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    auto draw = [&](bool shown, const QTextCursor& at, const QImage& picture) {
        if (!shown || picture.isNull()) return;
        int y = MarkerTop(at.position(), picture);
        if (y + picture.height() < 0 || y > height()) return;  // scrolled out of view
        p.drawImage(width() - picture.width() - 1, y, picture);
    };
    if (lineNumbers_) {
        // The numbers of the lines in view, right-aligned before the marks.
        p.setFont(editor_->font());
        p.setPen(desktop::CurrentSkin().Colours.Comment);
        int right = width() - step_.width() - 2;
        QTextCursor c = editor_->cursorForPosition(QPoint(0, 0));
        for (QTextBlock block = c.block(); block.isValid(); block = block.next()) {
            QTextCursor at(block);
            QRect line = editor_->cursorRect(at);
            int top = editor_->viewport()->mapTo(parentWidget(), QPoint(0, line.top())).y() - pos().y();
            if (top > height()) break;
            p.drawText(QRect(0, top, right, line.height()), Qt::AlignRight | Qt::AlignVCenter,
                       QString::number(block.blockNumber() + 1));
        }
    }
    draw(errorShown_, errorAt_, error_);
    draw(stepShown_, stepAt_, step_);
}

}  // namespace tavro
