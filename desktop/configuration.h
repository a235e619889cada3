// The environment's configuration: the folders of the installation, the
// choice of the configuration file, typed reads of its keys and the atomic
// write at exit.
//
// The configuration list itself is the core's name=value list
// (Configuration() of installation.h); this unit adds what only the
// desktop environment needs:
//  - every numeric key with the size or value the windows are designed
//    for, used when the key is absent (a missing key never stops the
//    program); a present but malformed value raises ConfigurationError,
//    which names the key and the file;
//  - a per-user copy of the default configuration when the installation
//    folder cannot be written (an installed copy under /usr): the copy in
//    $XDG_CONFIG_HOME/tavro/default.ini is read and written from then on,
//    unless a configuration file is named on the command line.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tavro::desktop {

// The folders derived from the running executable; each ends with "/".
struct DesktopFolders {
    std::string Executable;
    std::string Images;
    std::string Parent;
    std::string Languages;
    std::string Help;
    std::string Examples;  // the example programs
};
// Derives the folders (also the core's folders for path resolution) from
// the running executable, or from `executableFolder` when given (tests).
void DeriveDesktopFolders(const std::string& executableFolder = {});
const DesktopFolders& Folders();

class ConfigurationError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The configuration file to use for the command-line parameters (the
// program's own name excluded). `named` tells whether the command line
// named it (then no per-user copy is ever made).
struct ConfigurationChoice {
    std::string Name;  // as chosen: a name to resolve, or a full path
    bool Named = false;
};
ConfigurationChoice ChooseConfiguration(const std::vector<std::string>& params);

// The per-user configuration folder ($XDG_CONFIG_HOME/tavro, or
// ~/.config/tavro), ending with "/".
std::string UserConfigurationFolder();

// Loads the chosen configuration into the configuration list and returns
// its path ("" when there is none). When the command line named no file
// and the resolved default is in a folder that cannot be written, the
// per-user copy is used (made from the default on first use).
std::string LoadChosenConfiguration(const ConfigurationChoice& choice);
// The path loaded last ("" when there is no configuration file).
const std::string& ConfigurationPath();

// Typed reads of the configuration list.
// A numeric key: its integer value; the design default when absent or
// empty; ConfigurationError when present and not an integer.
int ConfigInt(std::string_view key);
// The design default of a numeric key (0 for keys without one).
int ConfigDefault(std::string_view key);
// True exactly when the value is "Yes".
bool ConfigYes(std::string_view key);
// The value, or the key itself when empty (TextOrKey).
std::string ConfigText(std::string_view key);
// The value, or "" when absent.
std::string ConfigValue(std::string_view key);
void ConfigSet(std::string_view key, std::string_view value);
void ConfigSetInt(std::string_view key, int value);
void ConfigSetYes(std::string_view key, bool yes);

// Reads a whole decimal number the way the configuration does (leading
// and trailing blanks allowed); false when `text` is not one.
bool ParseWholeNumber(std::string_view text, int& value);

// Writes `lines` to `path` with WriteWholeFile (whole_file.h): a failed
// write (a full disk included) leaves the previous file as it was and
// gives the system's reason.
bool WriteLinesAtomically(const std::string& path, const std::vector<std::string>& lines,
                          std::string* reason = nullptr);

}  // namespace tavro::desktop
