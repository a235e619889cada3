#include "native_words.h"

#include <string>

#include "errors.h"
#include "reserved_words.h"
#include "state.h"

namespace tavro {

namespace {
NativeResolver gResolver = nullptr;
}

bool IsNativeWord(std::string_view word)
{
    const std::string& prefix = UpperReserved(rwDll);
    if (word.size() <= prefix.size() || word[prefix.size()] != '.') return false;
    return UpperCase(word.substr(0, prefix.size())) == prefix;
}

void SetNativeResolver(NativeResolver resolver) { gResolver = resolver; }

TNativeFunction ResolveNativeWord(std::string_view word)
{
    if (!gResolver) RaiseError("BADNATIVE", {std::string(word)});
    return gResolver(word);
}

}  // namespace tavro
