// The installation as every environment sees it: the folders derived from
// the executable's folder, the choice and loading of the configuration
// file, the error-message language, and the library command text.
#pragma once

#include <string>
#include <vector>

#include "message_table.h"

namespace tavro {

// Derives the install folders (InstallFolders() of executor.h) from the
// running executable: E = its folder, the parent E/../, the languages
// folder E/../Languages/, the help folder E/../Help/, the images folder
// E/../Images/.
void DeriveFolders();
std::string ExecutableFolder();  // ends with "/"
std::string LanguagesFolder();   // ends with "/"

// The configuration file named by the command-line parameters: the first
// one ending in ".ini" (any case) as given, or the first without any
// extension with ".ini" appended; "default.ini" when there is none or the
// name begins with "!".
// `named`, when given, tells whether a parameter named the file (false when
// "default.ini" is taken because none did).
std::string ChooseConfigurationName(const std::vector<std::string>& params, bool* named = nullptr);

// The one configuration list.
NameValueList& Configuration();
// Resolves `name` with the program path resolution and loads it; makes its
// folder the current directory and the configuration folder. Returns the
// path, or "" when there is no such file (every key is then absent).
std::string LoadConfiguration(const std::string& name);

// Applies the keys that the interpreter core reads: CASESENSITIVE,
// ENVIRONMENT for the error messages (falling back to "English") and
// MEMORYLIMIT, the memory ceiling in megabytes (memory_limit.h; absent:
// the default).
void ApplyCoreConfiguration();
// Loads "Errors.txt" of the language folder `language`; false when absent.
bool LoadErrorMessages(const std::string& language);

// The library command text for a comma-separated list of library program
// files: one `run "'PATH',` per entry (upper-cased unless names are
// case-sensitive).
std::string BuildLibraryCommandText(const std::string& list);

}  // namespace tavro
