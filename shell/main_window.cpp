#include "main_window.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QToolTip>

#include "command_window.h"
#include "configuration.h"
#include "file_dialogs.h"
#include "info_window.h"
#include "languages.h"
#include "main_window_parts.h"
#include "message_dialog.h"
#include "output_window.h"
#include "plane_window.h"
#include "program_files.h"
#include "skin.h"
#include "source_window.h"
#include "stop_keys.h"
#include "tool_window.h"
#include "window_placement.h"

namespace tavro::shell {

using namespace desktop;

namespace {

MainWindow* gMainWindow = nullptr;

}  // namespace

MainWindow* TheMainWindow() { return gMainWindow; }

// ---- workspace

bool DesktopArea::onBackground(QPoint viewportPos) const
{
    for (QMdiSubWindow* w : subWindowList())
        if (w->isVisible() && w->geometry().contains(viewportPos)) return false;
    return true;
}

void DesktopArea::contextMenuEvent(QContextMenuEvent* event)
{
    QPoint p = viewport()->mapFrom(this, event->pos());
    if (onBackground(p)) emit popupRequested(p, event->globalPos());
}

bool DesktopArea::viewportEvent(QEvent* event)
{
    // The main hint belongs to the background, not to the tool windows.
    if (event->type() == QEvent::ToolTip) {
        if (onBackground(static_cast<QHelpEvent*>(event)->pos()) && !hint_.isEmpty())
            QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), hint_, viewport());
        return true;
    }
    return QMdiArea::viewportEvent(event);
}

// ---- construction

MainWindow::MainWindow()
{
    gMainWindow = this;
    SetApplication(this);
    setObjectName("MainForm");
    desktop_ = new DesktopArea(this);
    desktop_->setObjectName("Workspace");
    setCentralWidget(desktop_);
    SetWorkspace(desktop_);
    connect(desktop_, &DesktopArea::popupRequested, this, &MainWindow::ShowPopeye);
    connect(desktop_, &QMdiArea::subWindowActivated, this, [](QMdiSubWindow* w) {
        if (auto* form = qobject_cast<ToolWindow*>(w)) ToolWindowActivated(form);
    });
    // The edit popup's "Help file" shows the word's topic in the info window.
    SetHelpLookup([](const std::string& topic) { ShowHelpFor(topic); });
    buildActions();
    buildStatusStrip();
    // Escape and Ctrl+Break stop a running program from every window.
    qApp->installEventFilter(new StopKeyFilter(this));
    buildPopeye();
    buildPopupEdit();
    startUpTimer_.setSingleShot(true);
    startUpTimer_.setInterval(1000);
    connect(&startUpTimer_, &QTimer::timeout, this, &MainWindow::RunDeferredWork);
    iconTimer_.setInterval(100);
    connect(&iconTimer_, &QTimer::timeout, this, &MainWindow::iconTick);
    savedTitle_ = kDefaultTitle;
    setWindowTitle(savedTitle_);
}

MainWindow::~MainWindow()
{
    // The tool windows go first, while the workspace they live in exists;
    // the plane closes, so that the scene lets go of its drawing surface.
    if (PlaneWindow* plane = ThePlaneWindow()) plane->close();
    for (QMdiSubWindow* w : desktop_->subWindowList()) delete w;
    if (gMainWindow == this) gMainWindow = nullptr;
    if (TheApplication() == this) SetApplication(nullptr);
}

void MainWindow::buildActions()
{
    struct Shortcut {
        const char* name;
        QKeySequence key;
        std::function<void()> run;
    };
    const Shortcut shortcuts[] = {
        {"EyeOutput", QKeySequence("Ctrl+O"), [this] { ToggleOutput(); }},
        {"EyeCommands", QKeySequence("Ctrl+D"), [this] { ToggleCommands(); }},
        {"EyePlane", QKeySequence("Ctrl+L"), [this] { TogglePlane(); }},
        {"EyeVariables", QKeySequence("Ctrl+M"), [this] { ToggleMemory(); }},
        {"EyeWebBrowser", QKeySequence("Ctrl+I"), [this] { ToggleInfo(); }},
        {"RunFast", QKeySequence(Qt::Key_F9), [this] { RunFast(); }},
        {"RunCommand", QKeySequence(Qt::Key_F8), [this] { RunCommand(); }},
        {"RunStep", QKeySequence(Qt::Key_F7), [this] { RunStep(); }},
        {"RunTo", QKeySequence(Qt::Key_F4), [this] { RunTo(); }},
        {"FindText", QKeySequence("Ctrl+F"), [this] { EditAction("find"); }},
        {"ReplaceText", QKeySequence("Ctrl+R"), [this] { EditAction("replace"); }},
        {"FindNext", QKeySequence(Qt::Key_F3), [this] { EditAction("findnext"); }},
        {"NewProgram", QKeySequence("Ctrl+N"), [this] { NewProgram(); }},
        {"ZoomIn", QKeySequence("Ctrl++"), [this] { Zoom(1); }},
        {"ZoomInEquals", QKeySequence("Ctrl+="), [this] { Zoom(1); }},
        {"ZoomOut", QKeySequence("Ctrl+-"), [this] { Zoom(-1); }},
        {"ZoomReset", QKeySequence("Ctrl+0"), [this] { Zoom(0); }},
    };
    for (const auto& s : shortcuts) {
        auto* a = new QAction(this);
        a->setObjectName(s.name);
        a->setShortcut(s.key);
        a->setShortcutContext(Qt::WindowShortcut);
        connect(a, &QAction::triggered, this, s.run);
        addAction(a);
    }
}

// ---- edit actions

void MainWindow::EditAction(const QString& which)
{
    QWidget* target = nullptr;
    ToolWindow* tool = CurrentToolWindow();
    SourceWindow* source = CurrentSource();
    if (which == "find" || which == "replace" || which == "replaceall" || which == "findnext") {
        if (!source) return;
        if (which == "find") source->AskFind();
        else if (which == "replace") source->AskReplace();
        else if (which == "replaceall") source->AskReplaceAll();
        else source->FindAgain();
        return;
    }
    if (source) target = source->Editor();
    else if (tool && tool == TheCommandWindow()) target = TheCommandWindow()->CommandLine();
    else if (tool && tool == TheOutputWindow()) target = TheOutputWindow()->Editor();
    if (auto* line = qobject_cast<QLineEdit*>(target)) {
        if (which == "cut") line->cut();
        else if (which == "copy") line->copy();
        else if (which == "paste") line->paste();
        else if (which == "delete") line->del();
        else if (which == "undo") line->undo();
        else if (which == "redo") line->redo();
        else if (which == "selectall") line->selectAll();
    } else if (auto* edit = qobject_cast<QPlainTextEdit*>(target)) {
        if (which == "undo") edit->undo();
        else if (which == "redo") edit->redo();
        else if (which == "selectall") edit->selectAll();
        else if (which == "cut") edit->cut();
        else if (which == "copy") edit->copy();
        else if (which == "paste") edit->paste();
        else if (which == "delete") {
            QTextCursor c = edit->textCursor();
            if (!c.hasSelection()) c.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
            c.removeSelectedText();
            edit->setTextCursor(c);
        }
    }
}

}  // namespace tavro::shell
