// Environment languages and the program language.
//
// An environment language is a folder of the languages folder holding
// "Environment.txt" (the interface-text table) and "Errors.txt" (the
// error-message table), optionally "CodePage.ini" and "CharSet.ini". Both
// tables are the core's name=value lists (InterfaceTexts(), ErrorMessages()).
// Texts are UTF-8 inside; a file in UTF-16LE with its byte-order mark, or a
// single-byte file in the language's code page, is converted when read.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tavro::desktop {

class LanguageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct LanguageState {
    std::string Name = "English";   // the environment language's folder name
    int CodePage = 1252;
    int CharSet = -1;               // from "CharSet.ini"; -1 when none was read
    std::string ProgramLanguagePath;  // languages folder + LANGUAGE (no extension)
    std::vector<std::string> ProgramWords;
};
LanguageState& Language();

// Converts the bytes of a language file to UTF-8: UTF-16LE with the mark
// (the mark dropped), UTF-8 (with or without its mark) as is, anything else
// from the single-byte code page `codePage` (an unknown code page reads as
// 1252).
std::string DecodeLanguageFile(std::string_view bytes, int codePage);

// Loads the files of Language().Name (falling back to "English"); the
// tables keep their contents when neither exists. Throws LanguageError
// when "Errors.txt" cannot be read or an .ini file holds no integer (the
// interface-text table has been replaced by then).
void LoadEnvironmentLanguage();

// The folder names of the languages folder that hold "Environment.txt",
// sorted.
std::vector<std::string> EnvironmentLanguages();

// Loads languages folder + `value` + ".tvl" into the program word list when
// it exists; remembers the path either way.
void LoadProgramLanguage(const std::string& value);

// A single "&" is dropped, a doubled one becomes one "&".
std::string StripAccelerators(std::string_view caption);

// The interface text of `key` (the key itself when missing or empty).
std::string Tr(std::string_view key);
// The interface text of `key` when it has a non-empty value, else "".
std::string TrOrEmpty(std::string_view key);
// A format with one %s filled in (the first %s; "%%" stays "%").
std::string FormatOne(std::string_view format, std::string_view argument);

}  // namespace tavro::desktop
