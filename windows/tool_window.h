// ToolWindow: the base of every tool window (plane, output, command,
// memory, info and each source window).
//
// Contract for subclasses:
//  - The constructor calls InitToolWindow() first, then AddButton() for its
//    own buttons (the close button is always the first, added by
//    InitToolWindow), puts its controls into Body() (setting a layout on
//    it), calls RefreshSettings() and SetCaption().
//  - The opener calls SetInitialBounds() right before constructing the
//    window and ArrangeWindows() after it; InitToolWindow() adds the window
//    to the workspace at the initial bounds (the window is shown by the
//    opener).
//  - RefreshSettings() is overridden to call ApplySettings() and then set
//    the subclass's own texts and colours; the main window calls it for
//    every open tool window when the skin, font or language changes.
//  - The window deletes itself when closed (WA_DeleteOnClose); a subclass
//    that the main window references clears that reference in its
//    closeEvent.
//
// Frames: with the plain skin "Windows" the workspace's own frame is used
// and the buttons sit on a toolbar panel shown when BUTTONS is "Yes". With
// a picture skin the window has no platform frame: it paints its border
// from the skin's sixteen pictures (blended with the desktop picture
// through the shade masks), draws the caption and the buttons into the top
// strip, and moves (top strip) or resizes (every other edge and corner)
// itself when dragged. A click that drags nothing changes nothing.
#pragma once

#include <QImage>
#include <QMdiSubWindow>
#include <QPointer>
#include <functional>
#include <string>
#include <vector>

#include "arrange.h"

class QMdiArea;
class QLabel;
class QToolButton;
class QFrame;

namespace tavro {

class ToolWindow : public QMdiSubWindow {
    Q_OBJECT
public:
    struct ToolButton {
        QImage Image;            // transparent where the bottom-left pixel's colour is
        int X = 0, Y = 0;        // place in the painted title strip; X = -100: did not fit
        int Width = 0, Height = 0;
        std::function<void()> Handler;
        QString Hint;            // display form: "hint  (shortcut)"
        std::string Key;         // interface-text key, e.g. "CLOSE"
        QString ImageFile;       // e.g. "close.bmp"
        QToolButton* PushButton = nullptr;  // the plain skin's toolbar button
    };
    enum HitArea { hitClient, hitCaption, hitRightEdge, hitBottomEdge, hitBottomRight, hitLeftEdge, hitBottomLeft };

    explicit ToolWindow(QWidget* parent = nullptr);
    ~ToolWindow() override;

    void InitToolWindow();
    // At most 16 buttons; further additions are ignored.
    void AddButton(const QString& imageFile, const std::string& key, std::function<void()> handler);
    void SetCaption(const QString& caption);
    QString GetCaption() const { return caption_; }
    // Shown after the caption but no part of it (a source window's "*"
    // for unsaved changes; its caption stays the program's name).
    void SetCaptionMark(const QString& mark);
    QString ShownCaption() const { return caption_ + captionMark_; }
    void ApplySettings();
    virtual void RefreshSettings() { ApplySettings(); }
    // Repaints the painted frame (picture skins); nothing with the plain skin.
    void RepaintFrame();
    // Re-evaluates the frame style after a skin switch.
    void RecreateFrame();

    // Where subclasses put their controls.
    QWidget* Body() const { return body_; }
    bool IsMoving() const { return moving_; }
    bool IsDestroying() const { return destroying_; }
    virtual bool IsSourceWindow() const { return false; }
    // The size the automatic arrangement never goes below: 100 x 100, a
    // source window 12 lines of text; the plane asks for more.
    virtual QSize MinimumArrangedSize() const;
    const std::vector<ToolButton>& Buttons() const { return buttons_; }

    // Frame geometry of a picture skin, in window coordinates.
    HitArea HitTest(QPoint p) const;
    // Lays the buttons out from the right of the title strip (X, Y of each
    // record) and returns the x left of the leftmost button that fitted.
    int LayoutFrameButtons();
    // The whole window's off-screen frame picture (the interior unpainted).
    QImage ComposeFrame();
    // The button under p (bounds inclusive), or -1.
    int ButtonAt(QPoint p) const;
    // Clicks the button as a release on it would (a handler's exception is
    // swallowed).
    void ClickButton(int index);

protected:
    // Writes the window's size as KEY.WIDTH and KEY.HEIGHT, so that the next
    // window of its kind opens with it (called when it closes).
    void StoreSize(const std::string& key);
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    class FrameSurface;
    friend class FrameSurface;
    bool painted() const;  // a picture skin is active
    // The window draws its own frame: a picture skin, or the plain look
    // with the button panel as its title bar.
    bool selfFramed() const;
    QMargins frameMargins() const;
    static constexpr int kPlainEdge = 3;
    void applyFrameMode();
    void showCaption();
    void loadButtonImage(ToolButton& b);
    void beginDrag(HitArea area, QPoint globalPos);
    void dragTo(QPoint globalPos);
    void endDrag();

    FrameSurface* surface_ = nullptr;
    QWidget* body_ = nullptr;
    QFrame* toolbar_ = nullptr;
    QLabel* captionPanel_ = nullptr;
    QString caption_;
    QString captionMark_;
    std::vector<ToolButton> buttons_;
    bool destroying_ = false;
    bool moving_ = false;
    HitArea dragArea_ = hitClient;
    QPoint dragStart_;
    QRect dragGeometry_;
};

// ---- shared state of all tool windows

// The bounds for the next window created.
void SetInitialBounds(int left, int top, int width, int height);
QRect InitialBounds();

// The workspace the tool windows live in (set by the main window).
void SetWorkspace(QMdiArea* workspace);
QMdiArea* Workspace();
// Until start-up completes, ArrangeWindows leaves the windows where they are.
void SetStartupComplete(bool complete);
bool StartupComplete();

// Keeps every tool window inside the workspace, at least 100 x 100 and
// apart from the others (picture skins only). It runs when the user asks
// for it and at the first start only: windows otherwise stay where the
// user put them.
void ArrangeWindows();

// Gives a window that has just opened a readable size and a free place:
// `text` (the part that shows its text) gets at least `lines` lines and
// `columns` columns of its font where the workspace allows, the window
// up to `wanted`; it covers none of `avoid` when there is room beside
// them, else it goes on top at that size (FreePlace).
void PlaceReadable(ToolWindow* window, const QWidget* text, QSize wanted, const std::vector<const QWidget*>& avoid,
                   int lines = 15, int columns = 40);
// The source window the user works in: the active one, else the one
// nearest the front (null when none is open).
ToolWindow* FrontSourceWindow();

// Activation tracking: the tool window activated last, and the current
// source window (none after a deactivation).
ToolWindow* CurrentToolWindow();
ToolWindow* CurrentSourceWindow();
void ToolWindowActivated(ToolWindow* window);

// The caption shortened character by character until it and "..." fit
// into `room` pixels (or just "..."); the caption itself when it fits.
QString ShortenCaption(const QString& caption, const QFontMetrics& metrics, int room);

// One frame piece w x h from image I and mask M. Without a desktop picture
// or a mask, I is tiled along the piece (down the first column, then along
// the first row). Otherwise image and mask are tiled the same way over the
// desktop picture tiled from the phase (phaseX, phaseY), and every channel
// is blended: mask 0 shows the image, 255 the desktop.
QImage BlendFill(const QImage& image, const QImage& mask, const QImage& desktop, int w, int h, int phaseX,
                 int phaseY);

// The picture with every pixel of its bottom-left pixel's colour made
// transparent (how skin pictures are drawn).
QImage TransparentByBottomLeft(const QImage& source);

// The hint display form of an interface text: "hint  (shortcut)" when it
// holds "||", else the text.
QString HintDisplayForm(const QString& text);

}  // namespace tavro
