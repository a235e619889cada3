#include "main_window.h"

#include <QAction>
#include <QCoreApplication>

#include "configuration.h"
#include "environment.h"
#include "executor.h"
#include "info_window.h"
#include "installation.h"
#include "interpreter.h"
#include "languages.h"
#include "main_window_parts.h"
#include "message_dialog.h"
#include "message_table.h"
#include "program_files.h"
#include "run_control.h"
#include "run_scope.h"
#include "skin.h"
#include "source_window.h"
#include "tool_window.h"

namespace tavro::shell {

using namespace desktop;

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
        if (SourceWindow* open = WindowOfFile(file)) open->BringToFront();
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
    std::string exe = desktop::Folders().Executable;
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

}  // namespace tavro::shell
