#include "errors.h"

#include <new>

#include "memory_room.h"
#include "state.h"
#include "text.h"

namespace tavro {

void RaiseLanguageError(const std::string& message)
{
    LastErrorText = message;
    throw LanguageError(message);
}

std::string ErrorFormat(std::string_view key)
{
    TText text = MakeText(key);
    if (State && State->ServiceCallback) State->ServiceCallback(15, &text, 0, 0, 0, 0);
    std::string result(View(text));
    tavro_text_release(text);
    return result.empty() ? std::string(key) : result;
}

std::string FormatMessage(std::string_view format, const std::vector<std::string>& args)
{
    std::string out;
    size_t next = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        char c = format[i];
        if (c != '%' || i + 1 >= format.size()) {
            out += c;
            continue;
        }
        char d = format[i + 1];
        if (d == '%') {
            out += '%';
            ++i;
        } else if (d == 's' || d == 'd') {
            if (next < args.size()) out += args[next];
            ++next;
            ++i;
        } else if (d >= '0' && d <= '9') {
            size_t j = i + 1;
            size_t index = 0;
            while (j < format.size() && format[j] >= '0' && format[j] <= '9')
                index = index * 10 + size_t(format[j++] - '0');
            if (j + 1 < format.size() && format[j] == ':' &&
                (format[j + 1] == 's' || format[j + 1] == 'd')) {
                if (index < args.size()) out += args[index];
                next = index + 1;
                i = j + 1;
            } else {
                out += c;
            }
        } else {
            out += c;
        }
    }
    return out;
}

void RaiseOutOfMemory()
{
    GiveRoomForError();
    std::string message;
    try {
        message = FormatMessage(ErrorFormat("OUTOFMEMORY"), {});
    } catch (const std::bad_alloc&) {
        message = "Out of memory: the program holds too many values";
    }
    RaiseLanguageError(message);
}

void RaiseError(std::string_view key, const std::vector<std::string>& args)
{
    if (key == "OUTOFMEMORY") RaiseOutOfMemory();
    RaiseLanguageError(FormatMessage(ErrorFormat(key), args));
}

void RaiseStop() { RaiseLanguageError(std::string()); }

void RaiseTextRefused() { RaiseOutOfMemory(); }

}  // namespace tavro
