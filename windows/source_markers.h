// The marker strip beside a source editor: the step marker (where a paused
// run stands) and the error marker (where a run failed), each drawn
// centred on its line with the skin's "debug.bmp" and "error.bmp"; the
// marked line itself gets a light tint across the editor. A
// marker is tied to a place in the text, so it follows scrolling and
// edits above it.
#pragma once

#include <QImage>
#include <QTextCursor>
#include <QTextEdit>
#include <QWidget>

class QPlainTextEdit;

namespace tavro {

class MarkerStrip : public QWidget {
    Q_OBJECT
public:
    MarkerStrip(QPlainTextEdit* editor, QWidget* parent);
    // Pictures from the skin folder (a small drawn mark when one is
    // missing); the strip becomes as wide as the step marker. Tints follow
    // the skin's Workspace colour.
    void LoadPictures(const std::string& skinFolder);
    void ShowStep(int position);
    // Hides the step marker and forgets its place.
    void HideStep();
    // Hides the step marker keeping its place, or shows it there again
    // (while a command runs nested in a paused program).
    void SetStepShown(bool shown);
    void ShowError(int position);
    void HideError();
    bool StepVisible() const { return stepShown_; }
    bool ErrorVisible() const { return errorShown_; }
    // 0-based line of a marker (-1 when hidden).
    int StepLine() const;
    int ErrorLine() const;
    // Line numbers beside the lines (the strip widens to hold them).
    void SetLineNumbers(bool shown);
    bool LineNumbers() const { return lineNumbers_; }
    // Further tints drawn with the marked lines (the matching brackets).
    void SetExtraMarks(const QList<QTextEdit::ExtraSelection>& marks);
    // The marker's top in strip coordinates (what is painted).
    int MarkerTop(int position, const QImage& picture) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Places a marker at `position`, or hides it for -1.
    void mark(QTextCursor& at, bool& shown, int position);
    // The marked lines are tinted across the editor as well.
    void tintLines();
    QPlainTextEdit* editor_;
    QImage step_, error_;
    QTextCursor stepAt_, errorAt_;
    bool stepShown_ = false, errorShown_ = false;
    bool stepPlaced_ = false;
    bool lineNumbers_ = false;
    QList<QTextEdit::ExtraSelection> extraMarks_;
    void fitWidth();
};

}  // namespace tavro
