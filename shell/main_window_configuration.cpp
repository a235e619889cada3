#include "main_window.h"

#include <QGuiApplication>
#include <QScreen>
#include <filesystem>

#include "command_window.h"
#include "configuration.h"
#include "configuration_repair.h"
#include "environment_font.h"
#include "executor.h"
#include "info_window.h"
#include "installation.h"
#include "interpreter.h"
#include "languages.h"
#include "errors.h"
#include "message_dialog.h"
#include "main_window_parts.h"
#include "memory_limit.h"
#include "memory_window.h"
#include "message_table.h"
#include "output_window.h"
#include "plane_window.h"
#include "program_files.h"
#include "run_control.h"
#include "run_scope.h"
#include "skin.h"
#include "state.h"
#include "tool_window.h"
#include "window_placement.h"

namespace tavro::shell {

using namespace desktop;

namespace fs = std::filesystem;

// ---- configuration

void MainWindow::ApplyConfiguration(const std::vector<std::string>& params)
{
    applyingFailed_ = true;
    QRect available = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableGeometry()
                                                       : QRect(0, 0, 1280, 1024);
    // Sizes and the font size the screen cannot take are brought into
    // range in the list, so they are never written back as they were.
    ClampConfiguredGeometry(available);
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
    font.setPointSize(std::clamp(ConfigInt("FONT.SIZE"), kSmallestFontSize, kLargestFontSize));
    font.setItalic(ConfigYes("FONT.ITALIC"));
    font.setBold(ConfigYes("FONT.BOLD"));
    SetEnvironmentFont(font);
    // 8-9
    LoadProgramLanguage(ConfigText("LANGUAGE"));
    ApplyInterfaceTexts();
    // 10
    SetCaseSensitive(ConfigText("CASESENSITIVE") != "No");
    SetMaxPrint(ConfigInt("MAXPRINT"));
    // The same memory ceiling as the runner (absent: the default).
    SetMemoryCeiling(ParseMemoryMegabytes(ConfigValue("MEMORYLIMIT")));
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
    const QRect& screen = available;
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
        // A program that cannot be opened (missing, a folder, a pipe,
        // unreadable) says why; the saved windows come back instead.
        std::error_code ec;
        std::string path = fs::absolute(ResolveProgramPath(p), ec).lexically_normal().string();
        if (OpenSourceWindow(QRect(0, 0, ConfigInt("SOURCE.WIDTH"), ConfigInt("SOURCE.HEIGHT")), path)) {
            startupProgram_ = path;
            users = 0;
        }
        break;
    }
    // 16: tool windows.
    restoreToolWindows();
    // 17: source windows.
    RestoreSourceWindows(users);
    // 18: the windows stay as saved (ArrangeAtFirstStart lays them out once).
    applyingFailed_ = false;
}

void MainWindow::ArrangeAtFirstStart()
{
    if (ConfigYes("ARRANGED")) return;
    ArrangeWindows();
    ConfigSetYes("ARRANGED", true);
}

void MainWindow::restoreToolWindows()
{
    auto restore = [&](const std::string& key, auto open) {
        if (!ConfigYes(key)) return;
        const QRect bounds = ReadPlacement(key);
        SetInitialBounds(bounds.left(), bounds.top(), bounds.width(), bounds.height());
        ApplyPlacementState(key, open());
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
    std::string reason;
    if (!ConfigurationPath().empty() && !WriteLinesAtomically(ConfigurationPath(), Configuration().Lines(), &reason))
        ShowMessageDialog(FormatMessage(Tr("FILE.NOTSAVED"), {ConfigurationPath(), reason}));
}

}  // namespace tavro::shell
