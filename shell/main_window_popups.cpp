#include "main_window.h"

#include <QAction>
#include <QMenu>

#include "command_window.h"
#include "configuration.h"
#include "environment.h"
#include "file_dialogs.h"
#include "info_window.h"
#include "interpreter.h"
#include "languages.h"
#include "main_window_parts.h"
#include "memory_window.h"
#include "message_table.h"
#include "output_window.h"
#include "plane_window.h"
#include "program_files.h"
#include "skin.h"
#include "source_window.h"
#include "message_dialog.h"
#include "run_control.h"
#include "run_scope.h"
#include "tool_window.h"
#include "typed_procedures.h"

#include <algorithm>
#include <filesystem>

namespace tavro::shell {

using namespace desktop;
namespace fs = std::filesystem;

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
    buildExamplesMenu(submenu(popeye_, "ExamplesMenu", "MENU.EXAMPLES", "Examples"));
    connect(entry(popeye_, "MENU.RESET", "Reset the memory..."), &QAction::triggered, this, &MainWindow::AskResetMemory);

    windowMenu_ = submenu(popeye_, "Window1", "MENU.WINDOW", "Window");
    entry(windowMenu_, "MENU.WINDOW.BASIC", "-Basic");
    toggleEntry(windowMenu_, "MENU.WINDOW.OUTPUT", "Output", &MainWindow::ToggleOutput);
    toggleEntry(windowMenu_, "MENU.WINDOW.COMMANDS", "Commands", &MainWindow::ToggleCommands);
    toggleEntry(windowMenu_, "MENU.WINDOW.PLANE", "Plane", &MainWindow::TogglePlane);
    entry(windowMenu_, "MENU.WINDOW.ADDITIONAL", "-Additional");
    toggleEntry(windowMenu_, "MENU.WINDOW.INFO", "Info", &MainWindow::ToggleInfo);
    toggleEntry(windowMenu_, "MENU.WINDOW.MEMORY", "Memory", &MainWindow::ToggleMemory);
    entry(windowMenu_, "MENU.WINDOW.DIRECT", "Direct manipulation")->setVisible(false);
    connect(entry(windowMenu_, "MENU.ARRANGE", "Arrange windows"), &QAction::triggered, this,
            [] { ArrangeWindows(); });

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

    entry(popeye_, "MENU.HELPHEADER", "-Help");
    connect(entry(popeye_, "MENU.HELP", "Help"), &QAction::triggered, this, [] { ShowHelpFor("help"); });
    connect(entry(popeye_, "MENU.EXIT", "Exit"), &QAction::triggered, this, &QWidget::close);
}

void MainWindow::buildExamplesMenu(QMenu* menu)
{
    // The example programs shipped beside the executable, each opening in
    // a source window.
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(Folders().Examples, ec))
        if (upper(e.path().extension().string()) == ".TVR") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    for (const fs::path& f : files) {
        QString shown = QString::fromStdString(f.stem().string()).replace('_', ' ');
        QAction* a = menu->addAction(shown);
        a->setData(QString::fromStdString(f.string()));
        connect(a, &QAction::triggered, this, [this, a] {
            OpenProgramFile(a->data().toString().toStdString());
            SetRunState(RunState);
        });
    }
}

void MainWindow::AskResetMemory()
{
    // A running program keeps its names (the entry is off meanwhile).
    if (IsRunActive(RunState)) return;
    if (ShowMessageDialog(Tr("MAIN.RESET"), {}, {}, msgNo | 1) != answerOK) return;
    TheTypedProcedures().Forget();
    {
        RunScope scope;
        Reset();
    }
    SetRunState(rsIdle);
    if (PlaneWindow* p = ThePlaneWindow()) p->RefreshView();
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
    MenuEntry("MENU.RESET")->setEnabled(!IsRunActive(RunState));
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
    SourceWindow* source = CurrentSource();
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

void MainWindow::ShowEditPopup(QPoint globalPos)
{
    PreparePopupEdit();
    PopupEdit()->popup(globalPos);
}

}  // namespace tavro::shell
