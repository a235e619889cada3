// Name=value lists: the configuration list, the error-message table and the
// interface-text table all share this format.
//
// Rules: a line NAME=value defines NAME; the value is everything after the
// first "="; names compare without regard to ASCII case and the first line
// of a name counts; lines without "=" are kept but never match. Setting a
// key replaces its first line or appends one; setting an empty value
// removes the line. Files are read as UTF-8; a file in UTF-16LE with its
// byte-order mark, or a single-byte file that is not valid UTF-8 (read as
// code page 1252), is converted to UTF-8 on loading. Lines may end with
// CR LF, LF or CR.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tavro.h"

namespace tavro {

class NameValueList {
public:
    // Replaces the contents with the lines of the file; false when the file
    // cannot be read (the list is then left unchanged).
    bool LoadFile(const std::string& path);
    void LoadText(std::string_view utf8);
    bool SaveFile(const std::string& path) const;

    // The value of the first line named `key`, or nullopt.
    std::optional<std::string> Find(std::string_view key) const;
    // The value, or the key itself when the value is empty or absent.
    std::string TextOrKey(std::string_view key) const;
    int IntOrDefault(std::string_view key, int fallback) const;
    void Set(std::string_view key, std::string_view value);
    void Clear() { lines_.clear(); }
    const std::vector<std::string>& Lines() const { return lines_; }

private:
    std::vector<std::string> lines_;
};

// Converts the bytes of a text file to UTF-8 (see the rules above).
std::string DecodeTextFile(std::string_view bytes);

// The error-message table of the current language.
NameValueList& ErrorMessages();
// The interface-text table of the current language.
NameValueList& InterfaceTexts();

// The service entry that the core uses until a host installs its own: it
// answers code 15 (translate an error key) and 16 (translate an interface
// key) from the tables above and does nothing for every other code.
intptr_t FallbackServiceEntry(int code, TText* text, long double n1, long double n2,
                              long double n3, long double n4);

}  // namespace tavro
