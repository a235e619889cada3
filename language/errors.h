// Language errors. Every error of the language is one exception class that
// carries an already translated and formatted message. A user stop raises
// the same class with an empty message, which is never reported.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tavro {

class LanguageError : public std::runtime_error {
public:
    explicit LanguageError(const std::string& message) : std::runtime_error(message) {}
    bool IsStop() const { return what()[0] == '\0'; }
};

// Stores the message in LastErrorText and throws LanguageError.
[[noreturn]] void RaiseLanguageError(const std::string& message);

// The format for an error key, fetched through the state's service entry
// (code 15); the key itself when no text exists for it.
std::string ErrorFormat(std::string_view key);

// Applies arguments to a message format. "%s" and "%d" take the next
// argument, "%N:s" / "%N:d" take argument N (0-based), "%%" is a percent
// sign. A missing argument reads as empty; anything else is copied as is.
std::string FormatMessage(std::string_view format, const std::vector<std::string>& args);

// Translates `key`, formats it with `args` and raises it.
[[noreturn]] void RaiseError(std::string_view key, const std::vector<std::string>& args = {});

// Raises OUTOFMEMORY: first gives the environment room (memory_room.h),
// so that the message can be made, then formats it; when even that fails
// the message is the untranslated English text.
[[noreturn]] void RaiseOutOfMemory();

// Raises the stop interruption (empty message).
[[noreturn]] void RaiseStop();

}  // namespace tavro
