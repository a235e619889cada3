#include "main_window.h"

#include <QAction>
#include <QApplication>
#include <QFontDialog>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenu>
#include <QStatusBar>

#include "command_window.h"
#include "configuration.h"
#include "environment.h"
#include "environment_font.h"
#include "executor.h"
#include "info_window.h"
#include "interpreter.h"
#include "languages.h"
#include "main_window_parts.h"
#include "memory_window.h"
#include "message_dialog.h"
#include "message_table.h"
#include "output_window.h"
#include "plane_window.h"
#include "program_files.h"
#include "scene_host.h"
#include "skin.h"
#include "source_window.h"
#include "tool_window.h"

namespace tavro::shell {

using namespace desktop;

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
    staticIcon_ = QIcon(QString::fromStdString(desktop::Folders().Images + "logo/Tavro51.ico"));
    runIcons_.clear();
    for (int n = 0; n < 14; ++n)
        runIcons_.push_back(QIcon(QString::fromStdString(desktop::Folders().Images + "logo/TavroRun" + std::to_string(n) + ".ico")));
    if (!iconTimer_.isActive()) {
        setWindowIcon(staticIcon_);
        QApplication::setWindowIcon(staticIcon_);
    }
    try {
        LoadSkin(CurrentSkin().Name);
    } catch (const SkinError& e) {
        // A damaged skin is named, and the plain look takes its place: a
        // start must not end on it.
        ShowMessageDialog(e.what());
        LoadSkin("Windows");
    }
    // Missing or damaged pictures leave a skin usable, but never silently.
    if (std::string missing = UnreadablePicturesMessage(CurrentSkin()); !missing.empty()) ShowMessageDialog(missing);
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
    if (ThePlaneWindow() && MakeSceneContextCurrent()) {
        // A frame in the new colours first: the drawings recorded next ask
        // for the plane's colour (the default pen contrasts with it).
        ThePlaneWindow()->View()->repaint();
        MakeSceneContextCurrent();
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
    for (SourceWindow* w : SourceWindows()) w->RefreshSettings();
    desktop_->SetHint(QString::fromStdString(Tr("MAIN.HINT")));
    static const char* const kKeys[] = {
        "MENU.PROGRAMS", "MENU.NEW", "MENU.OPEN", "MENU.REOPEN", "MENU.OPTIONS", "MENU.WINDOW", "MENU.LIBRARIES",
        "MENU.LIBRARIES.LOADED", "MENU.LIBRARIES.LOAD", "MENU.LIBRARIES.LOADNEW", "MENU.WINDOW.BASIC",
        "MENU.WINDOW.OUTPUT", "MENU.WINDOW.COMMANDS", "MENU.WINDOW.PLANE", "MENU.WINDOW.ADDITIONAL",
        "MENU.WINDOW.INFO", "MENU.WINDOW.MEMORY", "MENU.SKINS.SKINS", "MENU.ENVIRONMENT.APPEARANCE",
        "MENU.ENVIRONMENT.SKINS", "MENU.ENVIRONMENT", "MENU.ENVIRONMENT.FONT", "MENU.ENVIRONMENT.LANGUAGE",
        "MENU.ENVIRONMENT.TRANSLATEINTO", "MENU.ENVIRONMENT.TRANSLATEINTO.LANGUAGES", "MENU.RECENT", "CLIPBOARD",
        "CUT", "COPY", "DELETE", "PASTE", "SEARCH", "FIND", "REPLACE", "FINDNEXT", "HELP", "MENU.EXAMPLES",
        "MENU.RESET", "MENU.ARRANGE", "MENU.HELPHEADER", "MENU.HELP", "MENU.EXIT"};
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

}  // namespace tavro::shell
