// MessageDialog: the one modal message, question and input dialog of the
// environment, skinned with the Workspace and Menu colours and the
// environment font, buttons captioned from the interface texts.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;
class QFrame;

namespace tavro::desktop {

enum MessageFlags { msgNo = 2, msgCancel = 4, msgInput = 16 };
enum MessageAnswer { answerOK = 0, answerNo = 1, answerCancel = 2, answerOther = 3 };
// How long after it shows the dialog takes no key: about the time a typist
// needs to notice it.
inline constexpr int kKeyGuardMs = 400;

// Shows the dialog and returns the answer. An empty message shows nothing
// and answers 0. Flags: 1 message (OK), 3 question (OK, No), 7 three-way
// (OK, No, Cancel), 21 input (OK, Cancel, edit box). For an input, OK
// makes the typed text the last input text. Key events queued before the
// dialog shows are dropped, and so are keys typed in the first moment a
// message or question is visible (kKeyGuardMs): keys typed ahead never
// answer it.
int ShowMessageDialog(const std::string& message, const std::string& file = {}, const std::string& detail = {},
                      int flags = 1);

// The text shared by all input prompts: it pre-fills the edit box.
std::string& LastInputText();

class MessageDialog : public QDialog {
    Q_OBJECT
public:
    MessageDialog(const std::string& message, const std::string& file, const std::string& detail, int flags);
    // Captions, colours and font from the current tables and skin.
    void Relabel();
    QString ShownText() const;
    QPushButton* OkButton() const { return ok_; }
    QPushButton* NoButton() const { return no_; }
    QPushButton* CancelButton() const { return cancel_; }
    QLineEdit* EditBox() const { return edit_; }
    int Answer() const { return answer_; }
    // Keys from now on answer the dialog, however soon after it showed
    // (for the tests, which answer at once).
    void EndKeyGuard() { guardEnded_ = true; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void finish(int answer);
    void layoutButtons();

    QFrame* outer_ = nullptr;
    QFrame* inner_ = nullptr;
    QLabel* label_ = nullptr;
    QLineEdit* edit_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* no_ = nullptr;
    QPushButton* cancel_ = nullptr;
    int flags_ = 1;
    int answer_ = answerOther;
    bool dragging_ = false;
    QElapsedTimer shown_;
    // True while keys still belong to what the user typed before. A prompt
    // for input (Find, a program's question) wants the keys at once.
    bool guarding() const
    {
        return !(flags_ & msgInput) && !guardEnded_ && (!shown_.isValid() || shown_.elapsed() < kKeyGuardMs);
    }
    bool guardEnded_ = false;
    QPoint dragPoint_;
};

// The dialog open right now, or null (it relabels itself when the
// interface texts are applied).
MessageDialog* OpenMessageDialog();

}  // namespace tavro::desktop
