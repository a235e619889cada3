#include "message_dialog.h"

#include <QApplication>
#include <QEventLoop>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>

#include "environment_font.h"
#include "languages.h"
#include "skin.h"

namespace tavro::desktop {

namespace {

constexpr int kWidth = 424, kHeight = 176;
constexpr int kButtonWidth = 89, kButtonHeight = 25, kButtonTop = 112, kButtonGap = 16;
QPointer<MessageDialog> gOpen;

}  // namespace

std::string& LastInputText()
{
    static std::string text;
    return text;
}

MessageDialog* OpenMessageDialog() { return gOpen; }

MessageDialog::MessageDialog(const std::string& message, const std::string& file, const std::string& detail, int flags)
    : flags_(flags)
{
    setObjectName("Msg");
    setWindowTitle("Tavro message");
    setModal(true);
    Qt::WindowFlags f = Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (!CurrentSkin().Plain) f = Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::FramelessWindowHint;
    setWindowFlags(f);
    setFixedSize(kWidth, kHeight);
    outer_ = new QFrame(this);
    outer_->setGeometry(0, 0, kWidth, kHeight);
    outer_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    outer_->setLineWidth(2);
    inner_ = new QFrame(outer_);
    inner_->setGeometry(2, 2, kWidth - 4, kHeight - 4);
    inner_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    inner_->setCursor(Qt::SizeAllCursor);
    inner_->setAutoFillBackground(true);
    label_ = new QLabel(inner_);
    label_->setGeometry(16, 16, kWidth - 4 - 32, 57);
    label_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label_->setWordWrap(true);
    label_->setTextFormat(Qt::PlainText);
    label_->setAutoFillBackground(true);
    edit_ = new QLineEdit(inner_);
    edit_->setGeometry(72, 72, 297, 21);
    edit_->setVisible(flags & msgInput);
    edit_->installEventFilter(this);
    auto makeButton = [this](const char* name) {
        auto* b = new QPushButton(inner_);
        b->setObjectName(name);
        b->setFixedSize(kButtonWidth, kButtonHeight);
        b->setCursor(Qt::PointingHandCursor);
        b->setAutoDefault(false);
        b->setFocusPolicy(Qt::NoFocus);
        return b;
    };
    ok_ = makeButton("PanelOK");
    no_ = makeButton("PanelNo");
    cancel_ = makeButton("PanelCancel");
    connect(ok_, &QPushButton::clicked, this, [this] { finish(answerOK); });
    connect(no_, &QPushButton::clicked, this, [this] { finish(answerNo); });
    connect(cancel_, &QPushButton::clicked, this, [this] { finish(answerCancel); });
    no_->setVisible(flags & msgNo);
    cancel_->setVisible(flags & msgCancel);
    layoutButtons();
    if (flags & msgInput) {
        edit_->setText(QString::fromStdString(LastInputText()));
        edit_->selectAll();
    }
    std::string shown = message;
    if (!file.empty()) shown += " " + Tr("MAIN.INFILE") + " " + file;
    if (!detail.empty()) shown += "\n\n" + detail;
    label_->setText(QString::fromStdString(shown));
    label_->installEventFilter(this);
    inner_->installEventFilter(this);
    Relabel();
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(kWidth / 2, kHeight / 2));
}

QString MessageDialog::ShownText() const { return label_->text(); }

void MessageDialog::layoutButtons()
{
    int n = 1 + (flags_ & msgCancel ? 1 : 0) + (flags_ & msgNo ? 1 : 0);
    int left = (kWidth - n * kButtonWidth - (n - 1) * kButtonGap) / 2;
    // Positions are in the dialog's coordinates; the panels are offset by
    // their bevels.
    int offset = inner_->mapTo(this, QPoint(0, 0)).x();
    ok_->move(left - offset, kButtonTop);
    int next = left + kButtonWidth + kButtonGap;
    if (flags_ & msgNo) {
        no_->move(next - offset, kButtonTop);
        next += kButtonWidth + kButtonGap;
    }
    if (flags_ & msgCancel) cancel_->move(next - offset, kButtonTop);
}

void MessageDialog::Relabel()
{
    const SkinColours& c = CurrentSkin().Colours;
    QFont font = EnvironmentFont();
    setFont(font);
    QString buttonStyle = QString("QPushButton { background: %1; color: %2; border: 1px solid %3; }")
                              .arg(c.Menu.name(), c.Text.name(), c.MenuCap.name());
    for (QPushButton* b : {ok_, no_, cancel_}) {
        b->setFont(font);
        b->setStyleSheet(buttonStyle);
    }
    QPalette pal = palette();
    pal.setColor(QPalette::Window, c.Workspace);
    pal.setColor(QPalette::WindowText, c.Text);
    for (QWidget* w : {static_cast<QWidget*>(this), static_cast<QWidget*>(outer_), static_cast<QWidget*>(inner_),
                       static_cast<QWidget*>(label_)})
        w->setPalette(pal);
    setAutoFillBackground(true);
    label_->setFont(font);
    ok_->setText(QString::fromStdString(Tr("MSGWIN.YES")));
    no_->setText(QString::fromStdString(Tr("MSGWIN.NO")));
    cancel_->setText(QString::fromStdString(Tr("MSGWIN.CANCEL")));
}

void MessageDialog::finish(int answer)
{
    answer_ = answer;
    if (answer == answerOK && (flags_ & msgInput)) LastInputText() = edit_->text().toStdString();
    done(answer == answerOK ? QDialog::Accepted : QDialog::Rejected);
}

void MessageDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    shown_.start();
}

void MessageDialog::keyPressEvent(QKeyEvent* event)
{
    if (guarding()) return;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: finish(answerOK); return;
    case Qt::Key_Escape:
        if (flags_ & msgCancel) finish(answerCancel);
        return;  // without Cancel, Escape does nothing
    case Qt::Key_Space:
        if (!(flags_ & msgInput)) finish(answerOK);
        return;
    default: QDialog::keyPressEvent(event);
    }
}

bool MessageDialog::eventFilter(QObject* watched, QEvent* event)
{
    // The dialog sees every key first, also those typed into the edit box.
    if (watched == edit_ && event->type() == QEvent::KeyPress) {
        if (guarding()) return true;
        auto* k = static_cast<QKeyEvent*>(event);
        if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter || k->key() == Qt::Key_Escape) {
            keyPressEvent(k);
            return true;
        }
    }
    // A press on the face or the label drags the dialog.
    if ((watched == inner_ || watched == label_) && event->type() >= QEvent::MouseButtonPress &&
        event->type() <= QEvent::MouseMove) {
        auto* m = static_cast<QMouseEvent*>(event);
        QMouseEvent mapped(m->type(), mapFromGlobal(m->globalPosition()), m->globalPosition(), m->button(),
                           m->buttons(), m->modifiers());
        if (event->type() == QEvent::MouseButtonPress) mousePressEvent(&mapped);
        else if (event->type() == QEvent::MouseMove) mouseMoveEvent(&mapped);
        else if (event->type() == QEvent::MouseButtonRelease) mouseReleaseEvent(&mapped);
        return event->type() != QEvent::MouseButtonDblClick;
    }
    return QDialog::eventFilter(watched, event);
}

void MessageDialog::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        dragging_ = true;
        dragPoint_ = event->position().toPoint();
    }
}

void MessageDialog::mouseMoveEvent(QMouseEvent* event)
{
    if (dragging_ && (event->buttons() & Qt::LeftButton)) move(pos() + event->position().toPoint() - dragPoint_);
}

void MessageDialog::mouseReleaseEvent(QMouseEvent*) { dragging_ = false; }

namespace {

// Eats every key event while installed: keys typed before the dialog
// appeared were meant for the window the user was typing into, and must
// not answer the dialog (a Space typed after "print" would press OK).
class StaleKeyFilter : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override
    {
        return event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease ||
               event->type() == QEvent::ShortcutOverride;
    }
};

// Delivers, and so drops, the key events that are already queued.
void dropQueuedKeys()
{
    StaleKeyFilter filter;
    qApp->installEventFilter(&filter);
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    qApp->removeEventFilter(&filter);
}

}  // namespace

int ShowMessageDialog(const std::string& message, const std::string& file, const std::string& detail, int flags)
{
    if (message.empty()) return answerOK;
    dropQueuedKeys();
    MessageDialog dialog(message, file, detail, flags);
    gOpen = &dialog;
    dialog.show();
    if (flags & msgInput) dialog.EditBox()->setFocus();
    dialog.exec();
    gOpen = nullptr;
    return dialog.Answer();
}

}  // namespace tavro::desktop
