#include "installation.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "executor.h"
#include "memory_limit.h"
#include "state.h"

namespace tavro {

namespace fs = std::filesystem;

namespace {
std::string gExecutableFolder;

std::string upper(std::string s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = char(c - 32);
    return s;
}
}  // namespace

void DeriveFolders()
{
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    gExecutableFolder = ec ? std::string("./") : exe.parent_path().string() + "/";
    Folders& f = InstallFolders();
    f.Executable = gExecutableFolder;
    f.Parent = gExecutableFolder + "../";
}

std::string ExecutableFolder()
{
    if (gExecutableFolder.empty()) DeriveFolders();
    return gExecutableFolder;
}

std::string LanguagesFolder() { return ExecutableFolder() + "../Languages/"; }

std::string ChooseConfigurationName(const std::vector<std::string>& params, bool* named)
{
    std::string taken;
    for (const auto& p : params) {
        std::string ext = fs::path(p).extension().string();
        if (upper(ext) == ".INI") {
            taken = p;
            break;
        }
        if (ext.empty() && !p.empty() && p[0] != '-') {
            taken = p + ".ini";
            break;
        }
    }
    bool fromParams = !taken.empty() && taken[0] != '!';
    if (named) *named = fromParams;
    if (!fromParams) taken = "default.ini";
    return taken;
}

NameValueList& Configuration()
{
    static NameValueList list;
    return list;
}

std::string LoadConfiguration(const std::string& name)
{
    Configuration().Clear();
    std::string path = ResolveProgramPath(name);
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return "";
    Configuration().LoadFile(path);
    std::string folder = fs::absolute(path, ec).parent_path().string();
    if (chdir(folder.c_str()) != 0) {
    }
    InstallFolders().Configuration = folder;
    return path;
}

bool LoadErrorMessages(const std::string& language)
{
    return ErrorMessages().LoadFile(LanguagesFolder() + language + "/Errors.txt");
}

void ApplyCoreConfiguration()
{
    SetCaseSensitive(Configuration().TextOrKey("CASESENSITIVE") != "No");
    std::string language = Configuration().TextOrKey("ENVIRONMENT");
    if (!LoadErrorMessages(language)) LoadErrorMessages("English");
    SetMemoryCeiling(ParseMemoryMegabytes(Configuration().TextOrKey("MEMORYLIMIT")));
}

std::string BuildLibraryCommandText(const std::string& list)
{
    std::string text;
    size_t start = 0;
    while (start <= list.size()) {
        size_t comma = list.find(',', start);
        if (comma == std::string::npos) comma = list.size();
        std::string entry = list.substr(start, comma - start);
        while (!entry.empty() && entry.front() == ' ') entry.erase(0, 1);
        while (!entry.empty() && entry.back() == ' ') entry.pop_back();
        if (!entry.empty()) {
            std::string quoted;
            for (char c : entry) quoted += c == '\'' ? std::string("''") : std::string(1, c);
            // Only the keyword follows the naming mode: file names on this
            // platform are case-sensitive, and a quoted word keeps its case.
            std::string keyword = NamesCaseSensitive() ? "run" : "RUN";
            text += keyword + " \"'" + quoted + "',";
        }
        start = comma + 1;
    }
    return text;
}

}  // namespace tavro
