#include "configuration.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "executor.h"
#include "installation.h"
#include "whole_file.h"

namespace tavro::desktop {

namespace fs = std::filesystem;

namespace {

DesktopFolders gFolders;
std::string gConfigurationPath;

// The sizes and values the windows are designed for: what an absent
// numeric key reads as. Tool-window keys not listed here (the LEFT/TOP of
// a window never opened) read as 0.
const std::map<std::string, int, std::less<>>& designDefaults()
{
    static const std::map<std::string, int, std::less<>> defaults = {
        {"CODEPAGE", 1252},     {"FONT.CHARSET", 0},    {"FONT.SIZE", 10},
        {"MAXPRINT", 4000},     {"MAIN.WIDTH", 1024},   {"MAIN.HEIGHT", 720},
        {"MAIN.STATE", 0},      {"USERS", 0},           {"SOURCE.WIDTH", 520},
        {"SOURCE.HEIGHT", 420}, {"OUTPUT.LEFT", 540},   {"OUTPUT.TOP", 0},
        {"OUTPUT.WIDTH", 460},  {"OUTPUT.HEIGHT", 420}, {"OUTPUT.STATE", 0},
        {"PLANE.LEFT", 0},      {"PLANE.TOP", 0},       {"PLANE.WIDTH", 520},
        {"PLANE.HEIGHT", 420},  {"PLANE.STATE", 0},     {"COMMAND.LEFT", 0},
        {"COMMAND.TOP", 430},   {"COMMAND.WIDTH", 1000}, {"COMMAND.HEIGHT", 120},
        {"COMMAND.STATE", 0},   {"MEMORY.LEFT", 0},     {"MEMORY.TOP", 0},
        {"MEMORY.WIDTH", 320},  {"MEMORY.HEIGHT", 420}, {"MEMORY.STATE", 0},
        {"WEB.LEFT", 0},        {"WEB.TOP", 0},         {"WEB.WIDTH", 560},
        {"WEB.HEIGHT", 480},    {"WEB.STATE", 0},
    };
    return defaults;
}

bool writableFolder(const std::string& folder) { return access(folder.c_str(), W_OK) == 0; }

}  // namespace

void DeriveDesktopFolders(const std::string& executableFolder)
{
    DeriveFolders();
    std::string e = ExecutableFolder();
    if (!executableFolder.empty()) {
        e = executableFolder;
        if (e.back() != '/') e += '/';
        InstallFolders().Executable = e;
        InstallFolders().Parent = e + "../";
    }
    gFolders.Executable = e;
    gFolders.Parent = e + "../";
    gFolders.Images = e + "../Images/";
    gFolders.Languages = e + "../Languages/";
    gFolders.Help = e + "../Help/";
    gFolders.Examples = e + "../Examples/";
}

const DesktopFolders& Folders() { return gFolders; }

ConfigurationChoice ChooseConfiguration(const std::vector<std::string>& params)
{
    ConfigurationChoice c;
    c.Name = ChooseConfigurationName(params, &c.Named);
    return c;
}

std::string UserConfigurationFolder()
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (xdg && *xdg) {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home ? home : ".") + "/.config";
    }
    return base + "/tavro/";
}

std::string LoadChosenConfiguration(const ConfigurationChoice& choice)
{
    std::string name = choice.Name;
    if (!choice.Named) {
        std::string user = UserConfigurationFolder() + "default.ini";
        std::error_code ec;
        if (fs::is_regular_file(user, ec)) {
            name = user;
        } else {
            std::string resolved = ResolveProgramPath(name);
            if (fs::is_regular_file(resolved, ec)) {
                std::string folder = fs::absolute(resolved, ec).parent_path().string();
                if (!writableFolder(folder)) {
                    // An installed copy: the user gets a copy of their own.
                    fs::create_directories(UserConfigurationFolder(), ec);
                    if (!ec) fs::copy_file(resolved, user, fs::copy_options::skip_existing, ec);
                    if (!ec) name = user;
                }
            }
        }
    }
    gConfigurationPath = LoadConfiguration(name);
    if (!gConfigurationPath.empty()) {
        std::error_code ec;
        gConfigurationPath = fs::absolute(gConfigurationPath, ec).lexically_normal().string();
    }
    return gConfigurationPath;
}

const std::string& ConfigurationPath() { return gConfigurationPath; }

bool ParseWholeNumber(std::string_view text, int& value)
{
    size_t b = 0, e = text.size();
    while (b < e && (text[b] == ' ' || text[b] == '\t')) ++b;
    while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t' || text[e - 1] == '\r')) --e;
    if (b == e) return false;
    std::string digits(text.substr(b, e - b));
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(digits.c_str(), &end, 10);
    if (*end != '\0' || errno == ERANGE || v < INT32_MIN || v > INT32_MAX) return false;
    value = static_cast<int>(v);
    return true;
}

int ConfigDefault(std::string_view key)
{
    const auto& d = designDefaults();
    auto it = d.find(key);
    if (it != d.end()) return it->second;
    // USERn placement keys and other numeric keys: the source window's size
    // for widths and heights, 0 otherwise.
    auto ends = [&](std::string_view s) { return key.size() >= s.size() && key.substr(key.size() - s.size()) == s; };
    if (ends(".WIDTH")) return d.find("SOURCE.WIDTH")->second;
    if (ends(".HEIGHT")) return d.find("SOURCE.HEIGHT")->second;
    return 0;
}

int ConfigInt(std::string_view key)
{
    auto v = Configuration().Find(key);
    if (!v || v->empty()) return ConfigDefault(key);
    int value = 0;
    if (!ParseWholeNumber(*v, value)) {
        std::string file = gConfigurationPath.empty() ? std::string("the configuration") : gConfigurationPath;
        throw ConfigurationError("'" + *v + "' is not a valid whole number for " + std::string(key) + " in " + file);
    }
    return value;
}

bool ConfigYes(std::string_view key) { return Configuration().TextOrKey(key) == "Yes"; }
std::string ConfigText(std::string_view key) { return Configuration().TextOrKey(key); }
std::string ConfigValue(std::string_view key) { return Configuration().Find(key).value_or(""); }
void ConfigSet(std::string_view key, std::string_view value) { Configuration().Set(key, value); }
void ConfigSetInt(std::string_view key, int value) { Configuration().Set(key, std::to_string(value)); }
void ConfigSetYes(std::string_view key, bool yes) { Configuration().Set(key, yes ? "Yes" : "No"); }

bool WriteLinesAtomically(const std::string& path, const std::vector<std::string>& lines, std::string* reason)
{
    std::string text;
    for (const auto& l : lines) text += l + "\n";
    return WriteWholeFile(path, text, reason);
}

}  // namespace tavro::desktop
