#include "native_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <string>

#include "errors.h"
#include "installation.h"
#include "reserved_words.h"
#include "state.h"

namespace tavro {

namespace {

constexpr const char* kLibrarySuffix = ".DLL";
constexpr const char* kOrdinalTable = "TAVRO_ORDINALS";

void* LoadLibrary(const std::string& file)
{
    // A name without "/" makes dlopen search the usual places.
    if (void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL)) return handle;
    std::string folder = ExecutableFolder();
    if (void* handle = dlopen((folder + file).c_str(), RTLD_NOW | RTLD_LOCAL)) return handle;
    // Names read without regard to case arrive upper-cased; file names here
    // are case-sensitive, so the executable's folder is searched for the
    // file in any letter case.
    std::error_code ec;
    std::string wanted = UpperCase(file);
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        std::string name = entry.path().filename().string();
        if (UpperCase(name) == wanted && entry.is_regular_file(ec))
            return dlopen(entry.path().c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    return nullptr;
}

// Ordinal `text` (digits only) through the library's ordinal table.
void* LookUpOrdinal(void* handle, std::string_view text)
{
    auto* table = static_cast<const char* const*>(dlsym(handle, kOrdinalTable));
    if (!table) return nullptr;
    long ordinal = 0;
    for (char c : text) {
        ordinal = ordinal * 10 + (c - '0');
        if (ordinal > INT_MAX) return nullptr;  // beyond any table
    }
    if (ordinal < 1) return nullptr;
    for (long i = 1; table[i - 1]; ++i)
        if (i == ordinal) return dlsym(handle, table[i - 1]);
    return nullptr;
}

}  // namespace

TNativeFunction ResolveNative(std::string_view word)
{
    if (!IsNativeWord(word)) RaiseError("BADNATIVE", {std::string(word)});
    std::string_view rest = word.substr(UpperReserved(rwDll).size() + 1);
    size_t point = rest.find('.');
    if (point == std::string_view::npos || point == 0 || point + 1 == rest.size())
        RaiseError("BADNATIVE", {std::string(word)});
    std::string library(rest.substr(0, point));
    std::string function(rest.substr(point + 1));

    std::string file = library + kLibrarySuffix;
    void* handle = LoadLibrary(file);
    if (!handle) RaiseError("UNKNOWNFILE", {file});

    void* address = nullptr;
    if (function[0] >= '0' && function[0] <= '9') {
        if (function.find_first_not_of("0123456789") != std::string::npos)
            RaiseError("BADORDINAL", {function});
        address = LookUpOrdinal(handle, function);
    } else {
        address = dlsym(handle, UpperCase(function).c_str());
    }
    if (!address) RaiseError("INMODULE", {function, library});
    NoteResolvedNative(library, UpperCase(function), reinterpret_cast<TNativeFunction>(address));
    return reinterpret_cast<TNativeFunction>(address);
}

namespace {
// The compiler finds native words through this loader wherever the loader
// is linked in; InstallHostServices installs it as well.
struct ResolverInstaller {
    ResolverInstaller() { SetNativeResolver(&ResolveNative); }
} gResolverInstaller;
}  // namespace

}  // namespace tavro
