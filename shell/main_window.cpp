#include "main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStatusBar>
#include <QLabel>
#include <QToolTip>
#include <filesystem>

#include "command_window.h"
#include "configuration.h"
#include "environment.h"
#include "environment_font.h"
#include "executor.h"
#include "file_dialogs.h"
#include "info_window.h"
#include "installation.h"
#include "interpreter.h"
#include "languages.h"
#include "memory_window.h"
#include "menu_style.h"
#include "message_dialog.h"
#include "message_table.h"
#include "output_window.h"
#include "plane_window.h"
#include "scene_host.h"
#include "program_files.h"
#include "run_control.h"
#include "run_scope.h"
#include "skin.h"
#include "source_window.h"
#include "state.h"
#include "stop_keys.h"
#include "tool_window.h"
#include "window_placement.h"

namespace tavro::shell {

namespace fs = std::filesystem;

namespace {

MainWindow* gMainWindow = nullptr;
constexpr const char* kDefaultTitle = "Tavro " TAVRO_VERSION;
constexpr int kDefaultFontSize = 10;

std::string upper(std::string s)
{
    for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// A path inside the executable's folder, as the libraries menu shows it:
// relative to that folder.
std::string relativeToExecutable(std::string path)
{
    const std::string& exe = Folders().Executable;
    if (path.compare(0, exe.size(), exe) == 0) path = path.substr(exe.size());
    return path;
}

bool fileExists(const std::string& path)
{
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

// The open window of a single-instance kind, or a new one: shown, the
// windows arranged when asked, then made ready.
template <class Window, class Ready>
Window* openSingle(Window* open, bool arrange, Ready ready)
{
    if (open) return open;
    auto* w = new Window();
    w->show();
    if (arrange) ArrangeWindows();
    ready(w);
    return w;
}

MenuStyle* menuStyle()
{
    static MenuStyle* style = new MenuStyle();
    return style;
}

QMenu* newMenu(QWidget* parent)
{
    auto* m = new QMenu(parent);
    m->setStyle(menuStyle());
    m->setSeparatorsCollapsible(false);
    return m;
}

}  // namespace

MainWindow* TheMainWindow() { return gMainWindow; }

void MainWindow::ShowEditPopup(QPoint globalPos)
{
    PreparePopupEdit();
    PopupEdit()->popup(globalPos);
}

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

void DesktopArea::resizeEvent(QResizeEvent* event)
{
    QMdiArea::resizeEvent(event);
    if (StartupComplete()) ArrangeWindows();
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
    // The tool windows go first, while the workspace they live in exists.
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

QAction* MainWindow::entry(QMenu* menu, const std::string& key, const QString& design)
{
    QAction* a = menu->addAction(design);
    a->setObjectName(QString::fromStdString(key));
    if (design.startsWith('-')) a->setEnabled(false);
    entries_[key] = a;
    return a;
}

QMenu* MainWindow::submenu(QMenu* menu, const char* objectName, const std::string& key, const QString& design)
{
    QMenu* sub = newMenu(menu);
    sub->setObjectName(objectName);
    QAction* a = menu->addMenu(sub);
    a->setText(design);
    entries_[key] = a;
    return sub;
}

void MainWindow::toggleEntry(QMenu* menu, const std::string& key, const QString& design, void (MainWindow::*toggle)())
{
    QAction* a = entry(menu, key, design);
    a->setCheckable(true);
    connect(a, &QAction::triggered, this, [this, toggle] { (this->*toggle)(); });
}

void MainWindow::buildPopeye()
{
    popeye_ = newMenu(this);
    popeye_->setObjectName("Popeye");
    entry(popeye_, "MENU.PROGRAMS", "-Programs");
    connect(entry(popeye_, "MENU.NEW", "New"), &QAction::triggered, this, [this] { NewProgram(); });
    connect(entry(popeye_, "MENU.OPEN", "Open"), &QAction::triggered, this, [this] {
        for (const QString& f : AskOpenFileNames(this)) OpenProgramFile(f.toStdString());
        SetRunState(RunState);
    });
    reopenMenu_ = submenu(popeye_, "ReopenMenu", "MENU.REOPEN", "Reopen");
    entry(reopenMenu_, "MENU.RECENT", "-Recently opened programs");

    windowMenu_ = submenu(popeye_, "Window1", "MENU.WINDOW", "Window");
    entry(windowMenu_, "MENU.WINDOW.BASIC", "-Basic");
    toggleEntry(windowMenu_, "MENU.WINDOW.OUTPUT", "Output", &MainWindow::ToggleOutput);
    toggleEntry(windowMenu_, "MENU.WINDOW.COMMANDS", "Commands", &MainWindow::ToggleCommands);
    toggleEntry(windowMenu_, "MENU.WINDOW.PLANE", "Plane", &MainWindow::TogglePlane);
    entry(windowMenu_, "MENU.WINDOW.ADDITIONAL", "-Additional");
    toggleEntry(windowMenu_, "MENU.WINDOW.INFO", "Info", &MainWindow::ToggleInfo);
    toggleEntry(windowMenu_, "MENU.WINDOW.MEMORY", "Memory", &MainWindow::ToggleMemory);
    entry(windowMenu_, "MENU.WINDOW.DIRECT", "Direct manipulation")->setVisible(false);

    entry(popeye_, "MENU.OPTIONS", "-Options");
    environmentMenu_ = submenu(popeye_, "Environment1", "MENU.ENVIRONMENT", "Environment");
    entry(environmentMenu_, "MENU.ENVIRONMENT.APPEARANCE", "-Appearance");
    connect(entry(environmentMenu_, "MENU.ENVIRONMENT.FONT", "Change font"), &QAction::triggered, this,
            &MainWindow::ChangeFont);
    skinsMenu_ = submenu(environmentMenu_, "Skins1", "MENU.ENVIRONMENT.SKINS", "Skins");
    entry(environmentMenu_, "MENU.ENVIRONMENT.LANGUAGE", "-Language");
    translateMenu_ = submenu(environmentMenu_, "TranslateEnvInto", "MENU.ENVIRONMENT.TRANSLATEINTO", "Translate into");

    librariesMenu_ = submenu(popeye_, "Libraries1", "MENU.LIBRARIES", "Libraries");
    entry(librariesMenu_, "MENU.LIBRARIES.LOAD", "-Load new");
    connect(entry(librariesMenu_, "MENU.LIBRARIES.LOADNEW", "Load now"), &QAction::triggered, this, [this] {
        std::vector<std::string> files;
        for (const QString& f : AskOpenFileNames(this)) files.push_back(f.toStdString());
        LoadLibraries(files);
    });
    entry(librariesMenu_, "MENU.LIBRARIES.LOADED", "-Already loaded");
}

void MainWindow::buildPopupEdit()
{
    popupEdit_ = newMenu(this);
    popupEdit_->setObjectName("PopupEdit");
    // Key, design caption and the edit action it runs ("-": a heading).
    static const struct {
        const char* key;
        const char* design;
        const char* action;
    } kEditEntries[] = {
        {"CLIPBOARD", "-Clipboard", nullptr}, {"UNDO", "Undo", "undo"},      {"REDO", "Redo", "redo"},
        {"CUT", "Cut", "cut"},                {"COPY", "Copy", "copy"},
        {"DELETE", "Delete", "delete"},      {"PASTE", "Paste", "paste"},  {"SELECTALL", "Select all", "selectall"},
        {"SEARCH", "-Search", nullptr},
        {"FIND", "Find", "find"},            {"REPLACE", "Replace", "replace"},
        {"SOURCE.REPLACEALL", "Replace all", "replaceall"},
        {"FINDNEXT", "Find next", "findnext"},
    };
    for (const auto& e : kEditEntries) {
        QAction* a = entry(popupEdit_, e.key, e.design);
        if (e.action) connect(a, &QAction::triggered, this, [this, action = e.action] { EditAction(action); });
    }
    entry(popupEdit_, "HELP", "-Help");
    QAction* openFile = entry(popupEdit_, "OPENFILE", "Open file");
    connect(openFile, &QAction::triggered, this, [this, openFile] { OpenProgramFile(openFile->data().toString().toStdString()); });
    QAction* helpFile = entry(popupEdit_, "HELPFILE", "Help file");
    connect(helpFile, &QAction::triggered, this, [helpFile] { LookUpHelp(helpFile->data().toString().toStdString()); });
}

QAction* MainWindow::MenuEntry(const std::string& key) const
{
    auto it = entries_.find(key);
    return it == entries_.end() ? nullptr : it->second;
}

// ---- popups

void MainWindow::PreparePopeye(QPoint viewportPos)
{
    popupPoint_ = viewportPos;
    updateWindowEntries();
}

void MainWindow::ShowPopeye(QPoint viewportPos, QPoint globalPos)
{
    PreparePopeye(viewportPos);
    popeye_->popup(globalPos);
}

void MainWindow::PreparePopupEdit()
{
    // Without a source window there is nothing to search and no word at the
    // cursor.
    TSource* source = CurrentSource();
    for (const char* key : {"SEARCH", "FIND", "REPLACE", "SOURCE.REPLACEALL", "FINDNEXT"}) MenuEntry(key)->setVisible(source);
    QAction* openFile = MenuEntry("OPENFILE");
    QAction* helpFile = MenuEntry("HELPFILE");
    openFile->setVisible(false);
    helpFile->setVisible(false);
    if (source) {
        const std::string& word = source->HintWord();
        if (std::string file = FileOfWord(word); !file.empty()) {
            openFile->setText(QString::fromStdString(FormatOne(Tr("OPENFILE"), word)));
            openFile->setData(QString::fromStdString(file));
            openFile->setVisible(true);
        }
        size_t b = word.find_first_not_of(" \t"), e = word.find_last_not_of(" \t");
        std::string topic = b == std::string::npos ? std::string() : word.substr(b, e - b + 1);
        if (!topic.empty() && topic[0] != ';' && HelpLookupAvailable()) {
            helpFile->setText(QString::fromStdString(FormatOne(Tr("HELPFILE"), word)));
            helpFile->setData(QString::fromStdString(topic));
            helpFile->setVisible(true);
        }
    }
    MenuEntry("HELP")->setVisible(openFile->isVisible() || helpFile->isVisible());
}

void MainWindow::updateWindowEntries()
{
    MenuEntry("MENU.WINDOW.OUTPUT")->setChecked(TheOutputWindow() != nullptr);
    MenuEntry("MENU.WINDOW.COMMANDS")->setChecked(TheCommandWindow() != nullptr);
    MenuEntry("MENU.WINDOW.PLANE")->setChecked(ThePlaneWindow() != nullptr);
    bool advanced = ConfigYes("ADVANCEDGUI");
    MenuEntry("MENU.WINDOW.ADDITIONAL")->setVisible(advanced);
    MenuEntry("MENU.WINDOW.INFO")->setVisible(advanced);
    MenuEntry("MENU.WINDOW.INFO")->setChecked(TheInfoWindow() != nullptr);
    MenuEntry("MENU.WINDOW.MEMORY")->setVisible(advanced);
    MenuEntry("MENU.WINDOW.MEMORY")->setChecked(TheMemoryWindow() != nullptr);
    MenuEntry("MENU.WINDOW.DIRECT")->setVisible(false);
}

// ---- windows

OutputWindow* MainWindow::OpenOutput(bool arrange)
{
    return openSingle(TheOutputWindow(), arrange, [](OutputWindow*) {});
}

CommandWindow* MainWindow::OpenCommands(bool arrange)
{
    return openSingle(TheCommandWindow(), arrange, [](CommandWindow* w) { w->CommandLine()->setFocus(); });
}

PlaneWindow* MainWindow::OpenPlane(int left, int top, bool arrange)
{
    if (!ThePlaneWindow()) SetInitialBounds(left, top, ConfigInt("PLANE.WIDTH"), ConfigInt("PLANE.HEIGHT"));
    return openSingle(ThePlaneWindow(), arrange, [](PlaneWindow* w) { w->RefreshView(); });
}

MemoryWindow* MainWindow::OpenMemory(bool arrange)
{
    return openSingle(TheMemoryWindow(), arrange, [](MemoryWindow* w) { w->RebuildTree(); });
}

InfoWindow* MainWindow::OpenInfo(bool arrange)
{
    return openSingle(TheInfoWindow(), arrange, [](InfoWindow* w) { w->AddressBox()->setFocus(); });
}

void MainWindow::toggleWindow(ToolWindow* open, const std::string& key, const std::function<void()>& opener)
{
    if (open) {
        open->close();
        return;
    }
    SetInitialBounds(popupPoint_.x(), popupPoint_.y(), ConfigInt(key + ".WIDTH"), ConfigInt(key + ".HEIGHT"));
    opener();
}

void MainWindow::ToggleMemory() { toggleWindow(TheMemoryWindow(), "MEMORY", [this] { OpenMemory(); }); }

void MainWindow::ToggleInfo() { toggleWindow(TheInfoWindow(), "WEB", [this] { OpenInfo(); }); }

void MainWindow::TogglePlane()
{
    if (PlaneWindow* p = ThePlaneWindow()) {
        p->close();
        return;
    }
    OpenPlane(popupPoint_.x(), popupPoint_.y());
}

void MainWindow::ToggleOutput() { toggleWindow(TheOutputWindow(), "OUTPUT", [this] { OpenOutput(); }); }

void MainWindow::ToggleCommands() { toggleWindow(TheCommandWindow(), "COMMAND", [this] { OpenCommands(); }); }

// ---- run state

void MainWindow::buildStatusStrip()
{
    runStateLabel_ = new QLabel(this);
    runStateLabel_->setObjectName("RunState");
    statusBar()->setObjectName("StatusStrip");
    statusBar()->setSizeGripEnabled(false);
    statusBar()->addWidget(runStateLabel_, 1);
    showRunStateText(RunState);
}

void MainWindow::NoteRunOutcome(RunOutcome outcome) { outcome_ = outcome; }

QString MainWindow::RunStateText() const { return runStateLabel_->text(); }

void MainWindow::showRunStateText(uint8_t state)
{
    const char* key = "STATE.READY";
    switch (state) {
    case rsIdle:
    case rsStopped:
        key = outcome_ == RunOutcome::Stopped  ? "STATE.STOPPED"
              : outcome_ == RunOutcome::Failed ? "STATE.FAILED"
              : state == rsStopped             ? "STATE.FINISHED"
                                               : "STATE.READY";
        break;
    case rsStopRequested: key = "STATE.STOPPING"; break;
    case rsRunning: key = "STATE.RUNNING"; break;
    case rsPaused: key = "STATE.PAUSED"; break;
    default: key = "STATE.STEPPING"; break;
    }
    runStateLabel_->setText(QString::fromStdString(Tr(key)));
}

void MainWindow::ShowRunState(uint8_t oldState, uint8_t newState)
{
    // A run starting from rest has no outcome yet.
    if (!IsRunActive(oldState) && IsRunActive(newState)) outcome_ = RunOutcome::Finished;
    showRunStateText(newState);
    bool show = newState != oldState && buttons_;
    if (!show) return;
    switch (newState) {
    case rsIdle: setWindowTitle(savedTitle_); break;
    case rsStopRequested:
    case rsRunByCommand:
    case rsStep:
    case rsRunTo: setWindowTitle(savedTitle_ + " is STOPPING"); break;
    case rsStopped:
        setWindowTitle(savedTitle_ + (outcome_ == RunOutcome::Finished  ? " is FINISHED"
                                      : outcome_ == RunOutcome::Stopped ? " is STOPPED"
                                                                        : " is STOPPED BY AN ERROR"));
        break;
    case rsRunning: setWindowTitle(savedTitle_ + " is RUNNING"); break;
    case rsPaused: setWindowTitle(savedTitle_ + " is PAUSED"); break;
    default: break;
    }
    bool animate = newState == rsRunning || (newState >= rsStopRequested && newState <= rsRunTo);
    if (animate) {
        if (!iconTimer_.isActive()) iconTimer_.start();
    } else {
        iconTimer_.stop();
        if (newState == rsIdle || newState == rsStopped) setWindowIcon(staticIcon_);
    }
    QApplication::setWindowIcon(windowIcon());
}

void MainWindow::iconTick()
{
    if (!runIcons_.empty()) setWindowIcon(runIcons_[size_t(nextFrame_) % runIcons_.size()]);
    QApplication::setWindowIcon(windowIcon());
    nextFrame_ = (nextFrame_ + 1) % 14;
}

void MainWindow::RunFast()
{
    LastPauseDepth = -1;
    if (IsRunActive(RunState)) {
        SetRunState(rsRunning);
        return;
    }
    if (TSource* source = CurrentSource()) source->SourceRun();
}

void MainWindow::RunCommand()
{
    if (IsRunActive(RunState)) SetRunState(rsRunByCommand);
    else if (TSource* source = CurrentSource()) source->SourceRunCommand();
}

void MainWindow::RunStep()
{
    if (IsRunActive(RunState)) SetRunState(rsStep);
    else if (TSource* source = CurrentSource()) source->SourceRunStep();
}

void MainWindow::RunTo()
{
    if (TSource* source = CurrentSource()) source->SourceRunTo();
}

// ---- edit actions

void MainWindow::EditAction(const QString& which)
{
    QWidget* target = nullptr;
    ToolWindow* tool = CurrentToolWindow();
    TSource* source = CurrentSource();
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

// ---- look

void MainWindow::setDesktopBackground()
{
    const Skin& s = CurrentSkin();
    if (!s.Slots[slotDesktop].isNull())
        desktop_->setBackground(QBrush(QPixmap::fromImage(s.Slots[slotDesktop])));
    else
        desktop_->setBackground(s.Colours.Desktop);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, s.Colours.Desktop);
    setPalette(pal);
}

void MainWindow::ApplySkin(bool repaint)
{
    staticIcon_ = QIcon(QString::fromStdString(Folders().Images + "logo/Tavro51.ico"));
    runIcons_.clear();
    for (int n = 0; n < 14; ++n)
        runIcons_.push_back(QIcon(QString::fromStdString(Folders().Images + "logo/TavroRun" + std::to_string(n) + ".ico")));
    if (!iconTimer_.isActive()) {
        setWindowIcon(staticIcon_);
        QApplication::setWindowIcon(staticIcon_);
    }
    LoadSkin(CurrentSkin().Name);
    setDesktopBackground();
    QPalette strip = statusBar()->palette();
    strip.setColor(QPalette::Window, CurrentSkin().Colours.Menu);
    strip.setColor(QPalette::WindowText, CurrentSkin().Colours.Text);
    statusBar()->setAutoFillBackground(true);
    statusBar()->setPalette(strip);
    runStateLabel_->setPalette(strip);
    if (repaint) {
        for (QMdiSubWindow* w : desktop_->subWindowList(QMdiArea::CreationOrder)) {
            if (auto* plane = qobject_cast<PlaneWindow*>(w)) plane->RecreateView();
            else if (auto* form = qobject_cast<ToolWindow*>(w)) form->RecreateFrame();
        }
    }
    desktop_->viewport()->update();
    update();
    ArrangeWindows();
    if (ThePlaneWindow() && MakeSceneContextCurrent()) {
        try {
            TheScene().RebuildScene();
        } catch (const std::exception&) {
            // A drawing procedure's error shows at its next run.
        }
        ThePlaneWindow()->RefreshView();
    }
}

void MainWindow::ApplyInterfaceTexts()
{
    setFont(EnvironmentFont());
    showRunStateText(RunState);
    std::string project = ConfigValue("PROJECT");
    savedTitle_ = QString::fromStdString(project.empty() ? std::string(kDefaultTitle) : project);
    setWindowTitle(savedTitle_);
    uint8_t state = RunState;
    if (buttons_ && state != rsIdle) {
        // The caption keeps showing the run state under the new title.
        ShowRunState(rsIdle, state);
    }
    if (CommandWindow* c = TheCommandWindow()) c->RefreshSettings();
    if (OutputWindow* o = TheOutputWindow()) o->RefreshSettings();
    if (PlaneWindow* p = ThePlaneWindow()) p->RefreshSettings();
    if (MemoryWindow* m = TheMemoryWindow()) m->RefreshSettings();
    if (InfoWindow* w = TheInfoWindow()) w->RefreshSettings();
    if (MessageDialog* m = OpenMessageDialog()) m->Relabel();
    for (TSource* w : SourceWindows()) w->RefreshSettings();
    desktop_->SetHint(QString::fromStdString(Tr("MAIN.HINT")));
    static const char* const kKeys[] = {
        "MENU.PROGRAMS", "MENU.NEW", "MENU.OPEN", "MENU.REOPEN", "MENU.OPTIONS", "MENU.WINDOW", "MENU.LIBRARIES",
        "MENU.LIBRARIES.LOADED", "MENU.LIBRARIES.LOAD", "MENU.LIBRARIES.LOADNEW", "MENU.WINDOW.BASIC",
        "MENU.WINDOW.OUTPUT", "MENU.WINDOW.COMMANDS", "MENU.WINDOW.PLANE", "MENU.WINDOW.ADDITIONAL",
        "MENU.WINDOW.INFO", "MENU.WINDOW.MEMORY", "MENU.SKINS.SKINS", "MENU.ENVIRONMENT.APPEARANCE",
        "MENU.ENVIRONMENT.SKINS", "MENU.ENVIRONMENT", "MENU.ENVIRONMENT.FONT", "MENU.ENVIRONMENT.LANGUAGE",
        "MENU.ENVIRONMENT.TRANSLATEINTO", "MENU.ENVIRONMENT.TRANSLATEINTO.LANGUAGES", "MENU.RECENT", "CLIPBOARD",
        "CUT", "COPY", "DELETE", "PASTE", "SEARCH", "FIND", "REPLACE", "FINDNEXT", "HELP"};
    for (const char* key : kKeys)
        if (QAction* a = MenuEntry(key)) a->setText(QString::fromStdString(Tr(key)));
    setDesktopBackground();
    update();
    desktop_->viewport()->update();
}

void MainWindow::buildSkinsMenu(const std::string& skin)
{
    skinsMenu_->clear();
    entry(skinsMenu_, "MENU.SKINS.SKINS", QString::fromStdString(Tr("MENU.SKINS.SKINS")));
    std::string chosen = skin;
    std::vector<std::string> names = SkinNames();
    if (chosen.empty() && !names.empty()) chosen = names.front();
    for (const auto& name : names) {
        std::string caption = TrOrEmpty("SKIN." + name);
        QAction* a = skinsMenu_->addAction(QString::fromStdString(caption.empty() ? name : caption));
        a->setCheckable(true);
        a->setChecked(upper(name) == upper(chosen));
        a->setData(QString::fromStdString(name));
        connect(a, &QAction::triggered, this, [this, a] { PickSkin(a); });
    }
    CurrentSkin().Name = chosen;
}

void MainWindow::PickSkin(QAction* entry)
{
    std::string name = StripAccelerators(entry->text().toStdString());
    if (std::string back = TrOrEmpty(name); !back.empty()) name = back;
    CurrentSkin().Name = name;
    try {
        ApplySkin(true);
    } catch (const std::exception& e) {
        ShowMessageDialog(e.what());
    }
    for (QAction* a : skinsMenu_->actions())
        if (a->isCheckable()) a->setChecked(a == entry);
    ApplyInterfaceTexts();
}

void MainWindow::buildLanguagesMenu()
{
    translateMenu_->clear();
    entry(translateMenu_, "MENU.ENVIRONMENT.TRANSLATEINTO.LANGUAGES",
          QString::fromStdString(Tr("MENU.ENVIRONMENT.TRANSLATEINTO.LANGUAGES")));
    for (const auto& name : EnvironmentLanguages()) {
        std::string caption = TrOrEmpty("LANGUAGE." + name);
        QAction* a = translateMenu_->addAction(QString::fromStdString(caption.empty() ? name : caption));
        a->setCheckable(true);
        a->setChecked(upper(name) == upper(Language().Name));
        connect(a, &QAction::triggered, this, [this, a] { SwitchLanguage(a); });
    }
}

void MainWindow::SwitchLanguage(QAction* clicked)
{
    auto entriesOf = [](QMenu* menu) {
        std::vector<QAction*> list;
        for (QAction* a : menu->actions())
            if (a->isCheckable()) list.push_back(a);
        return list;
    };
    // Captions back to folder names with the current table.
    for (QMenu* menu : {skinsMenu_, translateMenu_})
        for (QAction* a : entriesOf(menu))
            if (std::string back = TrOrEmpty(a->text().toStdString()); !back.empty())
                a->setText(QString::fromStdString(back));
    for (QAction* a : entriesOf(translateMenu_)) a->setChecked(a == clicked);
    std::string name = StripAccelerators(clicked->text().toStdString());
    if (std::string back = TrOrEmpty(name); !back.empty()) name = back;
    Language().Name = name;
    try {
        LoadEnvironmentLanguage();
    } catch (const std::exception& e) {
        ShowMessageDialog(e.what());
        return;
    }
    ApplyInterfaceTexts();
    // Captions from folder names with the new table.
    for (QAction* a : entriesOf(skinsMenu_))
        if (std::string shown = TrOrEmpty("SKIN." + a->text().toStdString()); !shown.empty())
            a->setText(QString::fromStdString(shown));
    for (QAction* a : entriesOf(translateMenu_))
        if (std::string shown = TrOrEmpty("LANGUAGE." + a->text().toStdString()); !shown.empty())
            a->setText(QString::fromStdString(shown));
}

void MainWindow::NewProgram()
{
    OpenSourceWindow(QRect(popupPoint_, QSize(ConfigInt("SOURCE.WIDTH"), ConfigInt("SOURCE.HEIGHT"))), {});
    SetRunState(RunState);
}

void MainWindow::Zoom(int step)
{
    QFont font = EnvironmentFont();
    int size = step == 0 ? kDefaultFontSize : std::clamp(font.pointSize() + step, 6, 48);
    if (size == font.pointSize()) return;
    font.setPointSize(size);
    SetEnvironmentFont(font);
    // Written with the configuration like a font chosen in the dialog.
    ConfigSetInt("FONT.SIZE", size);
    ApplyInterfaceTexts();
}

void MainWindow::ChangeFont()
{
    bool ok = false;
    QFont font = QFontDialog::getFont(&ok, EnvironmentFont(), this);
    if (!ok) return;
    SetEnvironmentFont(font);
    ApplyInterfaceTexts();
}

// ---- recent programs and libraries

void MainWindow::AddRecentFile(const std::string& path)
{
    std::string wanted = StripAccelerators(path);
    const QList<QAction*> actions = reopenMenu_->actions();
    for (int i = 1; i < actions.size(); ++i) {
        if (StripAccelerators(actions[i]->text().toStdString()) == wanted) {
            reopenMenu_->removeAction(actions[i]);
            actions[i]->deleteLater();
            break;
        }
    }
    auto* a = new QAction(QString::fromStdString(path), reopenMenu_);
    connect(a, &QAction::triggered, this, [this, a] {
        if (!MessagePumpingSuppressed) QCoreApplication::processEvents();
        std::string file = StripAccelerators(a->text().toStdString());
        SetRunState(RunState);
        if (TSource* open = WindowOfFile(file)) open->BringToFront();
        else OpenProgramFile(file);
    });
    const QList<QAction*> now = reopenMenu_->actions();
    reopenMenu_->insertAction(now.size() > 1 ? now[1] : nullptr, a);
}

std::vector<std::string> MainWindow::RecentFiles() const
{
    std::vector<std::string> files;
    const QList<QAction*> actions = reopenMenu_->actions();
    for (int i = 1; i < actions.size(); ++i) files.push_back(actions[i]->text().toStdString());
    return files;
}

void MainWindow::OpenProgramFile(const std::string& path)
{
    if (path.empty() || WindowOfFile(path)) return;
    OpenSourceWindow(QRect(popupPoint_, QSize(ConfigInt("SOURCE.WIDTH"), ConfigInt("SOURCE.HEIGHT"))), path);
}

void MainWindow::addLibraryEntry(const std::string& caption)
{
    QAction* a = librariesMenu_->addAction(QString::fromStdString(caption));
    a->setCheckable(true);
    a->setChecked(true);
    connect(a, &QAction::triggered, this, [this, a] {
        a->setChecked(true);
        UnloadLibrary(a);
    });
}

std::vector<std::string> MainWindow::LibraryEntries() const
{
    std::vector<std::string> list;
    const QList<QAction*> actions = librariesMenu_->actions();
    for (int i = 3; i < actions.size(); ++i) list.push_back(actions[i]->text().toStdString());
    return list;
}

void MainWindow::AddLibraryList(std::string list)
{
    if (list.empty() || list.back() != ',') list += ',';
    auto trim = [](std::string s) {
        size_t b = s.find_first_not_of(" \t"), e = s.find_last_not_of(" \t");
        return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
    };
    size_t comma;
    while ((comma = list.find(',')) != std::string::npos) {
        std::string name = trim(list.substr(0, comma));
        if (!name.empty()) {
            std::string path = ResolveProgramPath(name);
            if (fileExists(path)) {
                path = relativeToExecutable(path);
                addLibraryEntry(path);
                LibraryCommandText += BuildLibraryCommandText(path);
            }
        }
        list = trim(list.substr(comma + 1));
    }
}

void MainWindow::LoadLibraries(const std::vector<std::string>& files)
{
    for (const std::string& file : files) {
        // Compared as the menu shows it, so that a library of the
        // executable's folder is not loaded twice.
        const std::string f = relativeToExecutable(file);
        std::vector<std::string> loaded = LibraryEntries();
        if (std::find(loaded.begin(), loaded.end(), f) != loaded.end()) continue;
        addLibraryEntry(f);
        ShowMessageDialog(FormatOne(Tr("MAIN.RELOAD"), f));
        LibraryCommandText += BuildLibraryCommandText(f);
        RunScope scope;
        Reset();
    }
}

void MainWindow::rebuildLibraryCommandText()
{
    LibraryCommandText.clear();
    std::string exe = Folders().Executable;
    std::string lowerExe = exe;
    for (char& c : lowerExe) c = char(std::tolower(static_cast<unsigned char>(c)));
    for (const std::string& caption : LibraryEntries()) {
        if (upper(caption).find(".TVR") == std::string::npos) continue;
        std::string p = caption;
        if (!fileExists(p)) {
            if (fileExists(lowerExe + caption)) p = lowerExe + caption;
            else if (fileExists(exe + caption)) p = exe + caption;  // folders here keep their case
            else continue;
        }
        LibraryCommandText += BuildLibraryCommandText(p);
    }
}

void MainWindow::UnloadLibrary(QAction* entry, bool ask)
{
    if (ask && ShowMessageDialog(FormatOne(Tr("MAIN.UNLOAD"), entry->text().toStdString()), {}, {}, 3) != answerOK)
        return;
    librariesMenu_->removeAction(entry);
    entry->deleteLater();
    rebuildLibraryCommandText();
    RunScope scope;
    Reset();
}

// ---- configuration

void MainWindow::ApplyConfiguration(const std::vector<std::string>& params)
{
    applyingFailed_ = true;
    // 1-2: the tables and the environment language.
    InterfaceTexts().Clear();
    ErrorMessages().Clear();
    Language().Name = ConfigText("ENVIRONMENT");
    Language().CodePage = ConfigInt("CODEPAGE");
    LoadEnvironmentLanguage();
    // 3-4: skins and languages menus; the skin without repainting.
    buildSkinsMenu(ConfigValue("SKIN"));
    ApplySkin(false);
    buildLanguagesMenu();
    // 5-6
    updateWindowEntries();
    buttons_ = ConfigYes("BUTTONS");
    // 7: the environment font.
    QFont font(QString::fromStdString(ConfigText("FONT.NAME")));
    SetEnvironmentCharSet(ConfigInt("FONT.CHARSET"));
    font.setPointSize(std::max(1, ConfigInt("FONT.SIZE")));
    font.setItalic(ConfigYes("FONT.ITALIC"));
    font.setBold(ConfigYes("FONT.BOLD"));
    SetEnvironmentFont(font);
    // 8-9
    LoadProgramLanguage(ConfigText("LANGUAGE"));
    ApplyInterfaceTexts();
    // 10
    SetCaseSensitive(ConfigText("CASESENSITIVE") != "No");
    SetMaxPrint(ConfigInt("MAXPRINT"));
    // 11: recent programs, the most recent ending up first.
    for (int k = 9; k >= 0; --k)
        if (std::string f = ConfigValue("REOPEN" + std::to_string(k)); !f.empty()) AddRecentFile(f);
    // 12-13: reset, libraries.
    LibraryCommandText.clear();
    {
        RunScope scope;
        Reset();
    }
    std::string libraries = ConfigText("LIBRARIES");
    if (!params.empty() && !params[0].empty() && params[0][0] == '!') {
        libraries = params[0].substr(1, 255);
        librariesFromCommandLine_ = true;
    }
    AddLibraryList(libraries);
    // 14: the main window.
    int w = ConfigInt("MAIN.WIDTH"), h = ConfigInt("MAIN.HEIGHT"), state = ConfigInt("MAIN.STATE");
    QRect screen = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableGeometry()
                                                    : QRect(0, 0, 1280, 1024);
    if (state == 2)
        showMaximized();
    else if (state == 1)
        showMinimized();
    else {
        setGeometry((screen.width() - w) / 2 + screen.left(), (screen.height() - h) / 2 + screen.top(), w, h);
        show();
    }
    // 15: the start-up program, shown in a source window as well.
    int users = ConfigInt("USERS");
    for (const auto& p : params) {
        if (p.empty() || p[0] == '!') continue;
        if (upper(fs::path(p).extension().string()) != ".TVR") continue;
        std::string path = ResolveProgramPath(p);
        if (fileExists(path)) {
            startupProgram_ = fs::absolute(path).lexically_normal().string();
            OpenSourceWindow(QRect(0, 0, ConfigInt("SOURCE.WIDTH"), ConfigInt("SOURCE.HEIGHT")), startupProgram_);
            users = 0;
        }
        break;
    }
    // 16: tool windows.
    restoreToolWindows();
    // 17: source windows.
    RestoreSourceWindows(users);
    // 18
    ArrangeWindows();
    applyingFailed_ = false;
}

void MainWindow::restoreToolWindows()
{
    auto restore = [&](const std::string& key, auto open) {
        if (!ConfigYes(key)) return;
        const QRect bounds = ReadPlacement(key);
        SetInitialBounds(bounds.left(), bounds.top(), bounds.width(), bounds.height());
        ApplyPlacementState(key, open());
        ArrangeWindows();
    };
    restore("OUTPUT", [this] { return OpenOutput(false); });
    restore("PLANE", [this] { return OpenPlane(InitialBounds().left(), InitialBounds().top(), false); });
    restore("COMMAND", [this] { return OpenCommands(false); });
    if (ConfigYes("ADVANCEDGUI")) restore("MEMORY", [this] { return OpenMemory(false); });
    restore("WEB", [this] { return OpenInfo(false); });
}

void MainWindow::SaveConfiguration()
{
    if (applyingFailed_) return;  // a failed start never overwrites the user's file
    if (!ConfigYes("AUTOSAVE")) return;
    ConfigSetYes("CASESENSITIVE", NamesCaseSensitive());
    std::vector<std::string> recent = RecentFiles();
    for (size_t k = 0; k < recent.size() && k < 10; ++k) ConfigSet("REOPEN" + std::to_string(k), recent[k]);
    ConfigSet("ENVIRONMENT", Language().Name);
    ConfigSetInt("CODEPAGE", Language().CodePage);
    QFont font = EnvironmentFont();
    ConfigSet("FONT.NAME", font.family().toStdString());
    ConfigSetInt("FONT.CHARSET", EnvironmentCharSet());
    ConfigSetInt("FONT.SIZE", font.pointSize());
    ConfigSetYes("FONT.ITALIC", font.italic());
    ConfigSetYes("FONT.BOLD", font.bold());
    ConfigSet("SKIN", CurrentSkin().Name);
    ConfigSet("LANGUAGE", fs::path(Language().ProgramLanguagePath).filename().string());
    int state = isMaximized() ? 2 : isMinimized() ? 1 : 0;
    ConfigSetInt("MAIN.STATE", state);
    if (state == 0) {
        ConfigSetInt("MAIN.WIDTH", width());
        ConfigSetInt("MAIN.HEIGHT", height());
    }
    auto saveWindow = [](const std::string& key, ToolWindow* w) {
        if (!w) {
            ConfigSetYes(key, false);
            return;
        }
        ConfigSetYes(key, true);
        WritePlacement(key, w);
    };
    saveWindow("PLANE", ThePlaneWindow());
    saveWindow("OUTPUT", TheOutputWindow());
    saveWindow("COMMAND", TheCommandWindow());
    saveWindow("MEMORY", TheMemoryWindow());
    saveWindow("WEB", TheInfoWindow());
    SaveSourceWindows();
    if (!librariesFromCommandLine_) {
        std::string list;
        for (const std::string& caption : LibraryEntries())
            if (upper(caption).find(".TVR") != std::string::npos) list += caption + ",";
        ConfigSet("LIBRARIES", list);
    }
    if (!ConfigurationPath().empty()) WriteLinesAtomically(ConfigurationPath(), Configuration().Lines());
}

// ---- deferred start-up work and shutdown

void MainWindow::StartDeferredWork(int delayMs)
{
    startUpTimer_.setInterval(delayMs);
    startUpTimer_.start();
}

void MainWindow::RunDeferredWork()
{
    startUpTimer_.stop();
    if (closing_) return;
    RunScope scope;
    try {
        if (!LibraryCommandText.empty()) RunSystemCommand(LibraryCommandText);
        NoteLibraryNames();
        if (!startupProgram_.empty() && !closing_) {
            // File names here are case-sensitive: only the keyword follows
            // the naming mode.
            RunSystemCommand(BuildLibraryCommandText(startupProgram_));
        }
    } catch (...) {
        // Failures of the deferred work are swallowed.
    }
    if (!closing_) Env().RebuildTree();
}

void MainWindow::InterpreterIdle()
{
    if (closePending_) QTimer::singleShot(0, this, &MainWindow::close);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (RunScope::Depth() > 0) {
        // A program runs below this event: ask it to stop and close once
        // it has unwound, before any window goes away.
        closePending_ = true;
        closing_ = true;
        SetRunState(rsStopRequested);
        event->ignore();
        return;
    }
    if (!QuerySourceWindowsAtExit()) {
        closing_ = closePending_ = false;
        event->ignore();
        return;
    }
    closing_ = true;
    if (IsRunActive(RunState)) SetRunState(rsStopRequested);
    QCoreApplication::processEvents();
    event->accept();
    QCoreApplication::quit();
}

}  // namespace tavro::shell
